#!/usr/bin/env bash
# Installs every Debian package Tocksley needs to build, run and test.
# Runs as root, or through sudo when it is available.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache
    juce-modules-source libaubio-dev
    libgtest-dev libbenchmark-dev
    libasound2-dev libjack-jackd2-dev libcurl4-gnutls-dev libfreetype-dev
    libflac-dev libvorbis-dev libogg-dev libpng-dev libjpeg-dev
    libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev
    fonts-crosextra-carlito fonts-dejavu-core
    xvfb xauth x11-utils imagemagick xdotool openbox wmctrl
    jackd2 jack-capture klick
    ableton-link-dev libasio-dev ableton-link-utils iproute2
    debootstrap appstream dpkg-dev file desktop-file-utils
    clang libclang-rt-14-dev
    python3 procps util-linux mount
)

if [ "$(id -u)" -eq 0 ]; then
    asRoot=()
elif command -v sudo >/dev/null 2>&1; then
    asRoot=(sudo)
else
    echo "setup: needs root or sudo to install packages" >&2
    exit 1
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    "${asRoot[@]}" apt-get update -q
    # jackd2 asks about realtime priority through debconf; answer for it.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | "${asRoot[@]}" debconf-set-selections
    DEBIAN_FRONTEND=noninteractive "${asRoot[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
