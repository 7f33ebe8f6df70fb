#!/usr/bin/env bash
# The keys and the Practice page as a musician uses them: the real binary in a
# real window on a JACK dummy server, driven with xdotool, its output recorded.
#   Tab moves a visible ring from control to control.
#   Keys on the panel: Space starts and stops, Up/Down by 1 BPM, Shift+Up and
#   Page Down by 10, A accents, M mutes, L switches LISTEN, T taps; letters and
#   Space typed into the BPM number stay text.
#   The Practice page: a count-in of 2 bars, beats set to accent, soft, silent
#   and normal by clicking them, the trainer raising the tempo every bar, the
#   gap muting every other bar; its START is the panel's.
# Usage: jack_practice.sh path/to/tocksley
set -euo pipefail
app=$(realpath "$1")
source "$(dirname "$0")/harness.sh"
here=$harness

start_jack
start_display
start_app "$work/home"

# Keys go to the window as the window manager mapped it, without a click first.
key() { xdotool key "$@"; sleep 0.3; }
picture() { import -window "$window" -crop "$1" +repage rgb:- 2>/dev/null | md5sum | cut -c1-32; }

check()   # name, recording, python assertions on `onsets`, `gaps`, `peaks`, `shapes`
{
    python3 - "$2" "$here" "$1" "$3" <<'PY' || fail "$1"
import sys
sys.path.insert(0, sys.argv[2])
from click_onsets import read_first_channel
path, name, body = sys.argv[1], sys.argv[3], sys.argv[4]
onsets = [int(x) for x in open(path + ".onsets")]
_, signal = read_first_channel(path)
gaps = [b - a for a, b in zip(onsets, onsets[1:])]
peaks = [max(abs(s) for s in signal[o:o + 400]) for o in onsets]
shapes = [round(signal[o + 40] / max(p, 1e-9), 4) for o, p in zip(onsets, peaks)]
exec(body)
print(f"{name}: {len(onsets)} clicks; gaps {sorted(set(gaps))[:6]}")
PY
}

# Tab from the start: the first control, ABOUT, is ringed; the next Tab moves the ring on.
# changed_then_back AREA KEY WHAT: the first press of KEY changes what AREA shows, the second restores it.
changed_then_back()
{
    local before
    before=$(picture "$1")
    key "$2"
    [ "$(picture "$1")" != "$before" ] || fail "$3: the first $2 changed nothing"
    key "$2"
    [ "$(picture "$1")" = "$before" ] || fail "$3: the second $2 did not restore it"
    echo "$3"
}

changed_then_back 92x3+326+35 Tab "Tab rings ABOUT (the ring's top edge, above the button), then moves on"

key space
record 3 "$work/space.wav"
check "Space starts at 120 BPM" "$work/space.wav" 'assert len(onsets) >= 5 and set(gaps) == {24000}, gaps'

key Up; key Up; key Up; key shift+Up; key Page_Down
record 4 "$work/nudged.wav"
check "Up x3, Shift+Up, Page Down: 123 BPM" "$work/nudged.wav" 'assert len(onsets) >= 7 and set(gaps) <= {23414, 23415}, gaps'

key a
record 4 "$work/accent.wav"
check "A accents every fourth click" "$work/accent.wav" '
assert len(set(shapes)) == 2, shapes
accents = [i for i, s in enumerate(shapes) if shapes.count(s) < len(shapes) / 2]
assert accents and all((i - accents[0]) % 4 == 0 for i in accents), shapes'
key a

key m
record 2 "$work/muted.wav"
[ ! -s "$work/muted.wav.onsets" ] || fail "clicks after M"
echo "M mutes"
key m

changed_then_back 120x40+153+150 l "L switches LISTEN on and off"

key space
sleep 0.3
record 2 "$work/stopped.wav"
[ ! -s "$work/stopped.wav.onsets" ] || fail "clicks after the second Space"
echo "Space stops"

for _ in 1 2 3 4 5; do xdotool key t; sleep 0.5; done
key space
record 4 "$work/tapped.wav"
check "T tapped every 0.5 s: about 120 BPM" "$work/tapped.wav" '
spacing = sum(gaps) / len(gaps)
assert len(gaps) >= 5 and 48000 * 60 / 135 < spacing < 48000 * 60 / 105, spacing'

# Typed into the BPM number, letters and a space are text: nothing mutes, accents or stops.
clickPanel $bpmNumber "--repeat 2 1"
xdotool key ctrl+a; xdotool type "90 am"; xdotool key Return
sleep 0.5
record 3 "$work/typed.wav"
check "90 am typed: 90 BPM, still running, unaccented" "$work/typed.wav" '
assert len(onsets) >= 4 and set(gaps) == {32000}, gaps
assert len(set(shapes)) == 1, shapes'
key space



# The Practice page: the page lies where the panel does.
clickPanel 300 -15
clickPage() { clickPanel "$@"; }
pageStart="276 636"; countIn="68 308"; trainer="70 202"; everyMinus="367 220"; gap="204 312"
playMinus="318 322"; muteMinus="392 322"
beat() { clickPanel $(( 46 + 50 * ($1 - 1) )) 48; }

# Bars at 90 BPM from here on; 4/4 as set on the first tab.
spb=32000

# choose COMBO STEPS: opens the selector and moves its highlight by STEPS (negative: up).
choose()
{
    clickPanel $1 $2
    local direction=Down steps=$3
    [ "$steps" -lt 0 ] && { direction=Up; steps=$(( -steps )); }
    for _ in $(seq 1 "$steps"); do xdotool key $direction; sleep 0.1; done
    xdotool key Return; sleep 0.3
}

# take_from_start SECONDS FILE: records from before the page's START, stops after.
take_from_start()
{
    local missed
    for attempt in 1 2 3; do
        missed=$(server_xruns)
        jack_capture -d "$1" -dc "$2" > "$2.log" 2>&1 & local capture=$!
        sleep 0.7
        clickPage $pageStart
        wait "$capture" || fail "jack_capture failed"
        clickPage $pageStart
        ! take_had_xruns "$2.log" && [ "$(server_xruns)" = "$missed" ] && break
        echo "(take $attempt had xruns; again)"
    done
    python3 "$harness/click_onsets.py" "$2" 1000 > "$2.onsets"
}

choose $countIn 2
beat 1; beat 1; beat 1            # normal, soft, silent, accent
beat 2                            # soft
beat 3; beat 3                    # silent
# Compared with the pointer resting on it, as after the clicks on it; inside the focus ring.
xdotool mousemove --window "$window" 277 666; sleep 0.3
startBefore=$(picture 256x64+149+634)
take_from_start 14 "$work/pattern.wav"
check "count-in of 2 bars, then accent, soft, silent, normal" "$work/pattern.wav" "
spb = $spb
assert len(onsets) >= 8 + 6, onsets
countIn, bars = onsets[:8], onsets[8:]
assert [b - a for a, b in zip(countIn, countIn[1:])] == [spb] * 7, countIn
assert bars[0] - countIn[-1] == spb, (countIn[-1], bars[0])
t0 = bars[0]
expected = [t0 + bar * 4 * spb + beat * spb for bar in range(3) for beat in (0, 1, 3)]
assert bars[:len(expected)] == expected[:len(bars)], (bars, expected)
normal = peaks[8 + 2]
soft = peaks[8 + 1]
assert abs(soft / normal - 0.25) < 0.02, (soft, normal)
assert shapes[8] != shapes[10] and shapes[8] == shapes[11], shapes[8:]"
# The page redraws START from its refresh, which a busy machine delays.
for _ in $(seq 1 20); do [ "$(picture 256x64+149+634)" = "$startBefore" ] && break; sleep 0.1; done
[ "$(picture 256x64+149+634)" = "$startBefore" ] || fail "the page's START does not show STOP again"

choose $countIn -2
clickPanel $trainer
clickPanel $everyMinus; clickPanel $everyMinus; clickPanel $everyMinus
take_from_start 12 "$work/trainer.wav"
check "the trainer adds 5 BPM every bar" "$work/trainer.wav" "
starts = [o for o, s in zip(onsets, shapes) if s == shapes[0]]
lengths = [b - a for a, b in zip(starts, starts[1:])]
expected = [4 * 48000 * 60 / (90 + 5 * k) for k in range(len(lengths))]
assert len(lengths) >= 3, starts
assert all(abs(l - e) <= 2 for l, e in zip(lengths, expected)), (lengths, expected)"
clickPanel $trainer

choose $gap 1
clickPanel $playMinus; clickPanel $playMinus; clickPanel $playMinus
clickPanel $muteMinus; clickPanel $muteMinus; clickPanel $muteMinus
take_from_start 9 "$work/gap.wav"
check "the gap plays a bar and mutes a bar" "$work/gap.wav" "
spb = $spb
t0 = onsets[0]
assert all(not (t0 + 4 * spb - 100 <= o < t0 + 8 * spb - 100) for o in onsets), onsets
assert t0 + 8 * spb in onsets, onsets
assert t0 + 3 * spb in onsets, onsets"

close_app
