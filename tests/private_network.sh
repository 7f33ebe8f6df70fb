#!/bin/sh
# Runs a command in a network namespace of its own that has only loopback, with
# multicast routed to it: Ableton Link's peers find each other there, and no
# packet leaves the machine.
set -e

if [ -z "$TOCKSLEY_IN_PRIVATE_NETWORK" ]; then
    if ! unshare -n true 2> /dev/null; then
        echo "private_network.sh: cannot make a network namespace (needs root or user namespaces)" >&2
        exit 1
    fi
    TOCKSLEY_IN_PRIVATE_NETWORK=1 exec unshare -n "$0" "$@"
fi

ip link set lo up
ip link set lo multicast on
ip route add 224.0.0.0/4 dev lo
exec "$@"
