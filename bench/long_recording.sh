#!/usr/bin/env bash
# Prints the click timing error of the real program over a long recording: START
# at the given tempo on a JACK dummy server (48 kHz, periods of 512), the output
# recorded with jack_capture, every click's onset compared with the ideal grid
# first onset + k x 60 x 48000 / BPM. The server runs with realtime scheduling where
# the machine allows it (JACK_REALTIME=0 turns it off): without it a ten-minute take
# on a busy machine seldom passes without a missed cycle, which is taken again.
# Usage: bench/long_recording.sh [path/to/tocksley] [seconds] [bpm]
set -euo pipefail
app=$(realpath "${1:-build/tocksley}")
seconds=${2:-600}
bpm=${3:-120}
export JACK_REALTIME=${JACK_REALTIME:-1}
# The lost-cycle accounting below counts in periods of 512.
export JACK_PERIOD=512
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

echo "recording $seconds s at $bpm BPM (JACK realtime: $JACK_REALTIME) ..."
# One take, kept whatever happens: cycles the server reports missed are listed, so
# that a shortened gap can be told from a fault of the program.
missedBefore=$(server_xruns)
jack_capture -d "$seconds" -dc "$work/long.wav" > "$work/long.log" 2>&1 || fail "jack_capture failed"
python3 "$harness/click_onsets.py" "$work/long.wav" 1000 > "$work/long.wav.onsets"
echo "cycles the JACK server reports missed during the take: $(( $(server_xruns) - missedBefore ))"
grep "was not finished" "$work/jackd.log" | sort | uniq -c || true

python3 - "$work/long.wav.onsets" "$bpm" "$seconds" <<'PY'
import math, sys
onsets = [int(x) for x in open(sys.argv[1])]
bpm, seconds = float(sys.argv[2]), float(sys.argv[3])
spacing = 48000 * 60 / bpm
gaps = [b - a for a, b in zip(onsets, onsets[1:])]
print(f"{len(onsets)} clicks in {seconds:.0f} s (about {int(seconds * bpm / 60)} expected) at {bpm:g} BPM, "
      f"spacing {spacing:.4f} samples; distinct gaps {sorted(set(gaps))[:8]}")

def report(label, positions):
    errors = [o - positions[0] - k * spacing for k, o in enumerate(positions)]
    print(f"{label}: worst {max(errors, key=abs):+.3f} samples, range [{min(errors):+.3f}, {max(errors):+.3f}]")

report("timing error against the ideal grid", onsets)

# A gap off by whole periods (512 samples) is a missed cycle: shorter when the recorder
# missed one (the program's clicks went on while nothing was recorded), longer when the
# program was not run in one. Putting those periods back shows the program's own timing.
usual = {math.floor(spacing), math.ceil(spacing)}
lost, restored = 0, [onsets[0]]
for gap, onset in zip(gaps, onsets[1:]):
    if gap not in usual:
        periods = round((round(spacing) - gap) / 512)
        who = "the recorder missed" if periods > 0 else "the program was not run in"
        print(f"  gap of {gap} samples at {onset / 48000:.1f} s: {who} {abs(periods)} cycle(s) of 512")
        lost += periods
    restored.append(onset + 512 * lost)
if restored != onsets:
    report("timing error with the lost periods put back", restored)
PY
