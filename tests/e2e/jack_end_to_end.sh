#!/usr/bin/env bash
# Tocksley as a musician uses it: the real binary in a real window, on a real
# JACK server (the dummy backend at 48 kHz, periods of 512), driven with the
# mouse and keyboard, its output recorded and measured.
#   START at 120 BPM with ACCENT: clicks exactly 24000 samples apart, the accent
#   sample on every fourth; BPM typed as 97: every click within one sample of
#   the 29690.72-sample grid; MUTE and STOP: silence; a preset added through the
#   dialog, on disk at once; the window closed by the window manager: the
#   preset file still holds it.
# Every process it starts is stopped by its PID, also when a check fails.
# Usage: jack_end_to_end.sh path/to/tocksley
set -euo pipefail
app=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
pids=()
jackPid=""
cleanup()
{
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done

    # The JACK server is asked to stop, so that it leaves its shared-memory registry clean.
    if [ -n "$jackPid" ]; then
        kill -TERM "$jackPid" 2>/dev/null || true
        for _ in $(seq 1 50); do kill -0 "$jackPid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$jackPid" 2>/dev/null || true
    fi

    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# A JACK server and a display of this test's own.
export JACK_DEFAULT_SERVER="tocksley-e2e"

# A server killed outright leaves its entries in JACK's shared-memory registry, which
# holds only a few; with no JACK server running at all they are stale and can go.
if ! pgrep -x jackd > /dev/null && ! pgrep -x jackdbus > /dev/null; then
    rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.*tocksley-e2e* /dev/shm/jack_tocksley-e2e* /dev/shm/jack-0-* /dev/shm/jack_db-* 2>/dev/null || true
fi

jackd --no-realtime -d dummy -r 48000 -p 512 > "$work/jackd.log" 2>&1 & jackPid=$!
for _ in $(seq 1 100); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
jack_lsp > /dev/null 2>&1 || { cat "$work/jackd.log"; fail "the JACK server did not start"; }

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 & pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
openbox > /dev/null 2>&1 & pids+=($!)
sleep 0.5

# No ALSA device: JUCE opens the JACK server as its default device by itself.
: > "$work/no-alsa.conf"
mkdir -p "$work/home"
ALSA_CONFIG_PATH="$work/no-alsa.conf" HOME="$work/home" "$app" > "$work/app.log" 2>&1 & appPid=$!; pids+=($appPid)

window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Tocksley$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && xwininfo -id "$window" | grep -q IsViewable && break
    window=""
    sleep 0.1
done
[ -n "$window" ] || fail "no window"
sleep 1

# Panel coordinates: the page lies 1 pixel in and 30 pixels down in the window.
clickPanel() { xdotool mousemove --window "$window" $(( $1 + 1 )) $(( $2 + 30 )) click ${3:-1}; sleep 0.3; }
startButton="276 636"; accentButton="340 276"; muteButton="76 468"; bpmNumber="80 88"; addPreset="304 548"

record()   # seconds, file
{
    # A cycle that misses its deadline (an xrun, on a loaded machine) drops a
    # period from the recording: such a take says nothing about the clicks, so
    # it is taken again.
    for attempt in 1 2 3; do
        jack_capture -d "$1" -dc "$2" > "$2.log" 2>&1 || fail "jack_capture failed"
        grep -qiE "xrun.*[1-9]|overrun|underrun" "$2.log" || break
        echo "(take $attempt had xruns; again)"
    done
    python3 "$here/click_onsets.py" "$2" 1000 > "$2.onsets"
}

clickPanel $accentButton
clickPanel $startButton
record 5 "$work/at120.wav"
python3 - "$work/at120.wav.onsets" "$work/at120.wav" "$here" <<'PY' || fail "120 BPM"
import sys
sys.path.insert(0, sys.argv[3])
from click_onsets import read_first_channel
onsets = [int(x) for x in open(sys.argv[1])]
_, signal = read_first_channel(sys.argv[2])
assert len(onsets) >= 8, onsets
gaps = {b - a for a, b in zip(onsets, onsets[1:])}
assert gaps == {24000}, gaps
# The accent is its own sample, on every fourth click.
shapes = [round(signal[o + 40], 5) for o in onsets]
accents = [i for i, s in enumerate(shapes) if shapes.count(s) <= (len(shapes) + 3) // 4]
assert len(set(shapes)) == 2 and all((i - accents[0]) % 4 == 0 for i in accents), shapes
print(f"120 BPM: {len(onsets)} clicks 24000 samples apart, accents on clicks {accents}")
PY

clickPanel $bpmNumber "--repeat 2 1"
xdotool key ctrl+a type 97
xdotool key Return
sleep 0.5
record 8 "$work/at97.wav"
python3 - "$work/at97.wav.onsets" <<'PY' || fail "97 BPM"
import sys
onsets = [int(x) for x in open(sys.argv[1])]
spacing = 48000 * 60 / 97
assert len(onsets) >= 10, onsets
gaps = {b - a for a, b in zip(onsets, onsets[1:])}
assert gaps <= {29690, 29691}, (gaps, [b - a for a, b in zip(onsets, onsets[1:])])
worst = max(abs(o - onsets[0] - k * spacing) for k, o in enumerate(onsets))
assert worst < 1.0 + 1e-9, worst
print(f"97 BPM: {len(onsets)} clicks, gaps {sorted(gaps)}, worst distance from the grid {worst:.2f} samples")
PY

clickPanel $muteButton
record 2 "$work/muted.wav"
[ ! -s "$work/muted.wav.onsets" ] || fail "clicks while muted"
echo "MUTE: silent"
clickPanel $muteButton

clickPanel $startButton
sleep 0.3
record 2 "$work/stopped.wav"
[ ! -s "$work/stopped.wav.onsets" ] || fail "clicks after STOP"
echo "STOP: silent"

clickPanel $addPreset
dialog=""
for _ in $(seq 1 50); do
    dialog=$(xdotool search --name '^Preset Name$' 2>/dev/null | head -n 1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || fail "the Preset Name dialog did not open"
# Click into the name field, as a musician would, then type.
xdotool mousemove --window "$dialog" 175 75 click 1
sleep 0.3
xdotool type "Ninety-seven" || fail "could not type the preset name"
xdotool key Return
sleep 0.5

# Written at once, before any exit: a crash now would lose nothing.
presets="$work/home/.config/Orlavane/Tocksley/preset.dat"
grep -q 'name="Ninety-seven" bpm="97"' "$presets" || { cat "$presets"; fail "the new preset is not on disk before the exit"; }
echo "the new preset is on disk before the exit"

wmctrl -i -c "$window" || fail "wmctrl could not send the close request"
for _ in $(seq 1 100); do kill -0 $appPid 2>/dev/null || break; sleep 0.1; done
kill -0 $appPid 2>/dev/null && fail "the window manager's close request did not end the program"
grep -q 'name="Ninety-seven" bpm="97"' "$presets" || { cat "$presets"; fail "the preset file lacks the preset"; }
echo "closed by the window manager; the preset file holds the new preset"
