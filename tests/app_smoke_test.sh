#!/usr/bin/env bash
# Starts the real application under a virtual display with a fresh HOME holding
# a malformed preset file, checks that its window appears at 432 x 710 named
# "Tocksley", quits it, and checks that the malformed file was kept aside and a
# well-formed one written in its place.
# With SCREENSHOT set, leaves a picture of the window there.
set -euo pipefail
app=$1

workDir=$(mktemp -d)
trap 'rm -rf "$workDir"' EXIT

presetDir="$workDir/.config/Orlavane/Tocksley"
mkdir -p "$presetDir"
printf '<presets><preset name="Half" bpm="9' > "$presetDir/preset.dat"

cat > "$workDir/inner.sh" <<'INNER'
set -euo pipefail
app=$1; workDir=$2
HOME="$workDir" "$app" > "$workDir/app.log" 2>&1 &
pid=$!
trap 'kill -9 $pid 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Tocksley$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && xwininfo -id "$window" | grep -q "Map State: IsViewable" && break
    window=""
    kill -0 $pid 2>/dev/null || { echo "the app exited early:"; cat "$workDir/app.log"; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { echo "no window appeared"; cat "$workDir/app.log"; exit 1; }

# A slow start (a sanitizer build) can show the window before its size has settled.
for _ in $(seq 1 50); do
    geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    [ "$geometry" = "432x710" ] && break
    sleep 0.1
done
echo "window $window: $geometry"
[ "$geometry" = "432x710" ] || { echo "expected 432x710"; exit 1; }

if [ -n "${SCREENSHOT:-}" ]; then
    sleep 1
    import -display "$DISPLAY" -window "$window" "$SCREENSHOT"
fi

kill -INT $pid
for _ in $(seq 1 100); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
if kill -0 $pid 2>/dev/null; then echo "the app did not quit"; exit 1; fi
wait $pid && status=0 || status=$?
echo "exit status $status"
[ $status -eq 0 ]
INNER

xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$workDir/inner.sh" "$app" "$workDir"

[ "$(cat "$presetDir/preset.dat.bad")" = '<presets><preset name="Half" bpm="9' ] || { echo "the malformed preset file was not kept"; exit 1; }
grep -q '^<presets' "$presetDir/preset.dat" || { echo "no well-formed preset file was written"; cat "$presetDir/preset.dat"; exit 1; }
echo "malformed preset file kept as preset.dat.bad"
