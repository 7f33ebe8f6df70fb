#!/usr/bin/env bash
# Screenshots of the window on a virtual display: the control panel, the panel
# running with ACCENT on, the about overlay, the audio setup page and the
# Practice page running.
# Usage: scripts/screenshots.sh [path/to/tocksley] [output directory]
set -euo pipefail

binary=$(realpath "${1:-build/tocksley}")
out=$(mkdir -p "${2:-screenshots}" && realpath "${2:-screenshots}")
work=$(mktemp -d)
pids=()

cleanup()
{
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -u "$displayfd" display_number
export DISPLAY=":$display_number"

HOME="$work" ALSA_CONFIG_PATH=/dev/null "$binary" >/dev/null 2>&1 &
pids+=($!)

window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Tocksley$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "no window appeared" >&2; exit 1; }
sleep 1.5

# Window coordinates: the tab bar is 30 pixels deep; the panel starts one pixel in.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.6; }
shoot() { xdotool mousemove --window "$window" 430 740; sleep 0.4; import -window "$window" "$out/$1"; }

shoot panel.png
click $((1 + 340)) $((30 + 276))           # ACCENT
click $((1 + 276)) $((30 + 636))           # START
sleep 0.7
shoot running.png
click $((1 + 276)) $((30 + 636))           # STOP
click $((1 + 432 - 104 + 43)) $((30 + 20)) # About
shoot about.png
click $((1 + 432 - 104 + 43)) $((30 + 20)) # the overlay closes on a click
click 180 15                               # "Audio Setup" tab
shoot audio-setup.png
click 300 15                               # "Practice" tab
click $((1 + 24 + 50 + 22)) $((30 + 48))   # beat 2: normal to soft
click $((1 + 24 + 100 + 22)) $((30 + 48))  # beat 3: normal to soft, silent
click $((1 + 24 + 100 + 22)) $((30 + 48))
click $((1 + 70)) $((30 + 202))            # TRAINER on, a step every bar
for _ in 1 2 3; do click $((1 + 367)) $((30 + 220)); done
click $((1 + 276)) $((30 + 636))           # START
sleep 3.3
shoot practice.png
click $((1 + 276)) $((30 + 636))           # STOP
echo "screenshots in $out"
