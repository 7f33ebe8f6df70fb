#!/usr/bin/env bash
# Tocksley as a musician uses it: the real binary in a real window, on a real
# JACK server (the dummy backend at 48 kHz, periods of 2048), driven with the
# mouse and keyboard, its output recorded and measured.
#   START at 120 BPM with ACCENT: clicks exactly 24000 samples apart, the accent
#   sample on every fourth; BPM typed as 97: every click within one sample of
#   the 29690.72-sample grid; MUTE: silence while the beat number keeps
#   counting; STOP: silence; a preset added through the
#   dialog, its name typed without a click into the field, on disk at once; the window closed by the window manager: the
#   preset file still holds it.
# Every process it starts is stopped by its PID, also when a check fails.
# Usage: jack_end_to_end.sh path/to/tocksley
set -euo pipefail
app=$(realpath "$1")
source "$(dirname "$0")/harness.sh"
here=$harness

start_jack
start_display
start_app "$work/home"

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
# At 97 BPM in 4/4 the number changes every 0.62 s: six looks 0.3 s apart see it change.
shown=$(for _ in $(seq 1 6); do beat_display; sleep 0.3; done | sort -u | wc -l)
[ "$shown" -ge 3 ] || fail "the beat number stopped counting while muted ($shown different pictures)"
echo "MUTE: silent, the beat number keeps counting ($shown different numbers seen)"
clickPanel $muteButton

clickPanel $startButton
sleep 0.3
record 2 "$work/stopped.wav"
[ ! -s "$work/stopped.wav.onsets" ] || fail "clicks after STOP"
echo "STOP: silent"

add_preset "Ninety-seven"
sleep 0.5

# Written at once, before any exit: a crash now would lose nothing.
presets="$work/home/.config/Orlavane/Tocksley/preset.dat"
grep -q 'name="Ninety-seven" bpm="97"' "$presets" || { cat "$presets"; fail "the new preset is not on disk before the exit"; }
echo "the new preset is on disk before the exit"

close_app
grep -q 'name="Ninety-seven" bpm="97"' "$presets" || { cat "$presets"; fail "the preset file lacks the preset"; }
echo "closed by the window manager; the preset file holds the new preset"
