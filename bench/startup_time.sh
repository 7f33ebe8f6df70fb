#!/usr/bin/env bash
# Prints how long Tocksley takes from launch to a mapped window, under a virtual
# display with a fresh HOME and, where the machine allows it, without any network
# (a network namespace of its own: no DNS, no route), so that the update check
# cannot answer. Usage: bench/startup_time.sh [path/to/tocksley] [runs]
set -euo pipefail
app=${1:-build/tocksley}
runs=${2:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

isolate=()
if unshare -n true 2>/dev/null; then
    isolate=(unshare -n)
    echo "network: none (own network namespace)"
else
    echo "network: as the machine has it (unshare not permitted)"
fi

cat > "$work/measure.sh" <<'INNER'
set -euo pipefail
app=$1; home=$2
start=$(date +%s%N)
HOME="$home" "$app" > /dev/null 2>&1 &
pid=$!
while true; do
    w=$(xdotool search --name '^Tocksley$' 2>/dev/null | head -n 1 || true)
    if [ -n "$w" ] && xwininfo -id "$w" 2>/dev/null | grep -q IsViewable; then break; fi
    if [ $(( $(date +%s%N) - start )) -gt 20000000000 ]; then echo "no window after 20 s"; kill -9 $pid; exit 1; fi
    sleep 0.005
done
end=$(date +%s%N)
kill -INT $pid; wait $pid || true
echo $(( (end - start) / 1000000 ))
INNER

for run in $(seq 1 "$runs"); do
    rm -rf "$work/home"; mkdir -p "$work/home"
    ms=$("${isolate[@]}" xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$work/measure.sh" "$app" "$work/home" | tail -n 1)
    echo "run $run: window mapped after $ms ms"
done
