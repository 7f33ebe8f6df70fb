#!/usr/bin/env bash
# Prints the click timing error of the real program over a long recording: START
# at the given tempo on a JACK dummy server (48 kHz, periods of 512), the output
# recorded with jack_capture, every click's onset compared with the ideal grid
# first onset + k x 60 x 48000 / BPM.
# Usage: bench/long_recording.sh [path/to/tocksley] [seconds] [bpm]
set -euo pipefail
app=$(realpath "${1:-build/tocksley}")
seconds=${2:-600}
bpm=${3:-120}
source "$(dirname "$0")/../tests/e2e/harness.sh"

start_jack
start_display
start_app "$work/home"

if [ "$bpm" != 120 ]; then
    clickPanel $bpmNumber "--repeat 2 1"
    xdotool key ctrl+a type "$bpm"
    xdotool key Return
    sleep 0.5
fi
clickPanel $startButton
sleep 1

echo "recording $seconds s at $bpm BPM ..."
record "$seconds" "$work/long.wav"
grep -iE "xrun|overrun|underrun" "$work/long.wav.log" || echo "no xruns reported by jack_capture"

python3 - "$work/long.wav.onsets" "$bpm" "$seconds" <<'PY'
import sys
onsets = [int(x) for x in open(sys.argv[1])]
bpm, seconds = float(sys.argv[2]), float(sys.argv[3])
spacing = 48000 * 60 / bpm
errors = [o - onsets[0] - k * spacing for k, o in enumerate(onsets)]
gaps = sorted({b - a for a, b in zip(onsets, onsets[1:])})
expected = int(seconds * bpm / 60)
print(f"{len(onsets)} clicks in {seconds:.0f} s (about {expected} expected) at {bpm:g} BPM, spacing {spacing:.4f} samples")
print(f"distinct gaps: {gaps[:6]}{' ...' if len(gaps) > 6 else ''}")
print(f"timing error against the ideal grid: worst {max(errors, key=abs):+.3f} samples, "
      f"range [{min(errors):+.3f}, {max(errors):+.3f}]")
PY
