#!/usr/bin/env bash
# Tocksley when the JACK server goes away and comes back, in the end-to-end
# setting (real binary, real window, JACK dummy server, window manager):
#   - its JACK client is "Tocksley": ports Tocksley:in_1, in_2, out_1, out_2,
#     connected to the server's capture and playback ports;
#   - START on at 150 BPM, the server stopped (TERM, then kill -9 the second
#     time): the program stays up, its tabs still switch at a click, no other
#     window appears, and the Audio Setup page shows no device; the server
#     started again: the same ports with the same connections within 2 s of the
#     server answering (the time is printed), the Audio Setup page naming the
#     device again, and clicks 19200 samples apart without START pressed again;
#   - START off: after a restart the device is back and silent, and START then
#     clicks at once.
# The server comes back as a musician's would, with JACK's shared-memory
# registry left in place: a client maps it once and keeps it for its life.
# Usage: jack_restart.sh path/to/tocksley
set -euo pipefail
app=$(realpath "$1")
# A server name of its own: another end-to-end test started beside this one
# while its server is down must not take the name, and Tocksley with it.
export JACK_DEFAULT_SERVER="${JACK_DEFAULT_SERVER:-tocksley-e2e-restart}"
source "$(dirname "$0")/harness.sh"

restart_jack()
{
    launch_jackd
    for _ in $(seq 1 200); do jack_lsp > /dev/null 2>&1 && return 0; sleep 0.05; done
    cat "$work/jackd.log"
    fail "the JACK server did not start again"
}

kill_jack()
{
    kill -9 "$jackPid"
    wait "$jackPid" 2> /dev/null || true
    jackPid=""
}

# The titles of the visible top-level windows other than the main one.
other_windows()
{
    for w in $(xdotool search --onlyvisible --name '.' 2> /dev/null); do
        xdotool getwindowname "$w"
    done | grep -v '^Tocksley$' || true
}

# The program's ports with their connections, as jack_lsp lists them.
tocksley_ports() { jack_lsp -c 2> /dev/null | awk '/^[^ ]/ { own = /^Tocksley:/ } own' || true; }

now() { date +%s.%N; }
since() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.2f}')" "$1" "$(now)"; }

picture() { import -window "$window" -crop "$1" +repage rgb:- 2>/dev/null | md5sum | cut -c1-32; }
tabBar() { picture 432x30+0+0; }
# The Audio Setup page's output device, as its drop-down shows it.
outputDevice() { picture 150x16+160+98; }
panelTab="60 15"; setupTab="180 15"

# settle_tab_bar: sets settled to the tab bar's picture once it has stopped
# changing: a loaded machine may take a while to draw it.
settle_tab_bar()
{
    local before
    before=$(tabBar)
    for _ in $(seq 1 25); do
        sleep 0.2
        settled=$(tabBar)
        [ "$settled" = "$before" ] && return 0
        before=$settled
    done
    fail "the tab bar keeps changing"
}

# show_tab TAB PICTURE: clicks the tab and waits until the tab bar shows PICTURE
# (a window held up by a dialog or a long call never does; a loaded machine may
# take a while); sets answeredIn to the seconds the program took.
show_tab()
{
    local start
    start=$(now)
    xdotool mousemove --window "$window" $1 click 1
    for _ in $(seq 1 100); do
        [ "$(tabBar)" = "$2" ] && { answeredIn=$(since "$start"); return 0; }
        sleep 0.05
    done
    fail "the window did not switch tabs within 5 s"
}

# ports_back: waits for the program's ports once the server answers, at most 2 s;
# sets backIn to the seconds they took.
ports_back()
{
    local start ports
    start=$(now)
    for _ in $(seq 1 400); do
        ports=$(jack_lsp 2> /dev/null || true)
        grep -qx 'Tocksley:out_1' <<< "$ports" && break
        sleep 0.02
    done
    backIn=$(since "$start")
    grep -qx 'Tocksley:out_1' <<< "$ports" || fail "Tocksley's ports did not come back"
    python3 -c "import sys; sys.exit(float(sys.argv[1]) > 2.0)" "$backIn" \
        || fail "Tocksley's ports came back $backIn s after the server, not within 2 s"
}

# clicks_at SECONDS NAME: records, and checks clicks 19200 samples apart (150 BPM at 48 kHz).
# Where every take had an xrun (a machine whose processors are taken away), a gap off
# by whole periods is a cycle lost by the recorder or the program, as the server's log
# says; the other gaps must still be exact.
clicks_at()
{
    record "$1" "$work/$2.wav"
    python3 - "$work/$2.wav.onsets" "$2" "$takeClean" "$jackPeriod" <<'PY' || fail "$2"
import sys
onsets = [int(x) for x in open(sys.argv[1])]
gaps = [b - a for a, b in zip(onsets, onsets[1:])]
assert len(onsets) >= 5, onsets
if sys.argv[3] == "1":
    assert set(gaps) == {19200}, (onsets, set(gaps))
    print(f"{sys.argv[2]}: {len(onsets)} clicks 19200 samples apart")
else:
    period = int(sys.argv[4])
    lost = [g for g in gaps if g != 19200]
    assert all((g - 19200) % period == 0 and abs(g - 19200) <= 4 * period for g in lost), (onsets, set(gaps))
    assert len(lost) * 2 < len(gaps), (onsets, set(gaps))
    print(f"{sys.argv[2]}: {len(onsets)} clicks 19200 samples apart, "
          f"but for {len(lost)} gaps off by whole periods (every take had an xrun)")
PY
}

silent()
{
    record "$1" "$work/$2.wav"
    [ ! -s "$work/$2.wav.onsets" ] || fail "$2: clicks at $(tr '\n' ' ' < "$work/$2.wav.onsets")"
    echo "$2: silent"
}

start_jack
# A second server runs throughout: a test beside this one that finds no JACK
# server at all clears the registry (see start_jack), and Tocksley could then
# never reach a new server.
jackd -n "$JACK_DEFAULT_SERVER-guard" --no-realtime -d dummy -r 48000 -p 4096 > /dev/null 2>&1 & guardPid=$!
pids+=($guardPid)
start_display
start_app "$work/home"

# --- The client's name and ports.
ports=$(tocksley_ports)
[ "$(grep -v '^ ' <<< "$ports" | tr '\n' ' ')" = "Tocksley:in_1 Tocksley:in_2 Tocksley:out_1 Tocksley:out_2 " ] \
    || fail "the program's JACK ports: $(jack_lsp | tr '\n' ' ')"
grep -qx '   system:playback_1' <<< "$ports" && grep -qx '   system:capture_1' <<< "$ports" \
    || fail "the program's ports are not connected: $ports"
echo "JACK client Tocksley: $(grep -v '^ ' <<< "$ports" | tr '\n' ' ')"

clickPanel $bpmNumber "--repeat 2 1"
xdotool key ctrl+a type 150
xdotool key Return
sleep 0.3
clickPanel $startButton
clicks_at 3 "START at 150 BPM"

# The tab bar as it looks with the pointer on the tab just clicked.
xdotool mousemove --window "$window" $panelTab click 1
settle_tab_bar
onPanel=$settled
xdotool mousemove --window "$window" $setupTab click 1
settle_tab_bar
onSetup=$settled
sleep 0.5
withDevice=$(outputDevice)
show_tab "$panelTab" "$onPanel"

for how in TERM KILL; do
    if [ "$how" = TERM ]; then stop_jack; else kill_jack; fi
    sleep 1
    kill -0 "$appPid" 2> /dev/null || fail "the program died with the JACK server ($how)"
    show_tab "$setupTab" "$onSetup"
    took=$answeredIn
    [ "$(outputDevice)" != "$withDevice" ] || fail "the Audio Setup page still shows the device without the server"
    show_tab "$panelTab" "$onPanel"
    [ -z "$(other_windows)" ] || fail "a window without the server: $(other_windows)"
    echo "server stopped ($how): the tabs switch in $took s and $answeredIn s, no other window, the Audio Setup page shows no device"

    restart_jack
    ports_back
    echo "server started again: Tocksley's ports back after $backIn s"
    sleep 0.5
    [ "$(tocksley_ports)" = "$ports" ] || fail "other ports or connections after the restart: $(tocksley_ports)"
    show_tab "$setupTab" "$onSetup"
    [ "$(outputDevice)" = "$withDevice" ] || fail "the Audio Setup page does not show the device again"
    show_tab "$panelTab" "$onPanel"
    clicks_at 3 "after the restart ($how), START not pressed again"
done

# --- START off: the device comes back, silent until START.
clickPanel $startButton
sleep 0.3
silent 2 "STOP"
stop_jack
sleep 1
restart_jack
ports_back
echo "server started again, START off: Tocksley's ports back after $backIn s"
sleep 0.5
[ "$(tocksley_ports)" = "$ports" ] || fail "other ports or connections after the restart: $(tocksley_ports)"
silent 2 "after the restart with START off"
clickPanel $startButton
clicks_at 3 "START after the restart"

close_app
echo "closed cleanly"
kill -TERM "$guardPid"
wait "$guardPid" 2> /dev/null || true
