#!/usr/bin/env bash
# Tocksley under faults, in the end-to-end setting (real binary, real window,
# JACK dummy server, window manager):
#   - the JACK server killed while the metronome runs: the program stays up and
#     answers, keeps what is added, and closes cleanly; the server restarted;
#   - the program killed with SIGKILL right after a preset is added, at several
#     moments: the preset file is always well-formed, always holds the earlier
#     presets, and holds the new one once it had time to be written;
#   - the application-data directory removed while the program runs, then made
#     read-only: the first is recreated on the next save, the second leaves the
#     file as it was, the program says so once and carries on;
#   - an unreadable preset file: set aside, and named once in the preset frame;
#   - no audio server and no ALSA device at all: the full window, no dialog.
# Usage: jack_faults.sh path/to/tocksley
set -euo pipefail
app=$(realpath "$1")
source "$(dirname "$0")/harness.sh"

presetFile() { echo "$1/.config/Orlavane/Tocksley/preset.dat"; }

# holds_presets FILE NAME...: FILE parses as XML and has a preset of each NAME.
holds_presets()
{
    python3 - "$@" <<'PY'
import sys, xml.etree.ElementTree as ET
names = {e.get("name") for e in ET.parse(sys.argv[1]).getroot().iter() if e.get("name") is not None}
missing = [n for n in sys.argv[2:] if n not in names]
if missing:
    sys.exit(f"{sys.argv[1]}: no preset {missing}; it holds {sorted(names)}")
PY
}

# The titles of the program's top-level windows other than the main one.
other_windows()
{
    for w in $(xdotool search --onlyvisible --name '.' 2> /dev/null); do
        xdotool getwindowname "$w"
    done | grep -v '^Tocksley$' || true
}

start_jack
start_display

# --- The JACK server dies while the metronome runs, then comes back.
home="$work/server-killed"
start_app "$home"
clickPanel $startButton
sleep 1
kill -9 "$jackPid"; wait "$jackPid" 2> /dev/null || true; jackPid=""
sleep 2
kill -0 "$appPid" 2> /dev/null || fail "the program died with the JACK server"
add_preset "After the server died"
sleep 0.5
holds_presets "$(presetFile "$home")" "After the server died" || fail "no preset saved after the server died"
echo "JACK server killed: the program stays up, answers and saves"

start_jack
sleep 2
kill -0 "$appPid" 2> /dev/null || fail "the program died when the JACK server came back"
clickPanel $startButton
close_app
holds_presets "$(presetFile "$home")" "After the server died" || fail "the preset file lost a preset at exit"
echo "JACK server restarted: the program still closes cleanly and keeps its presets"

# --- SIGKILL right after a preset is added, at several moments.
home="$work/sigkill"
presets=$(presetFile "$home")
start_app "$home"
add_preset "Before"
sleep 0.5
close_app
holds_presets "$presets" "Before" || fail "no preset file to start from"

for delay in 0 0.01 0.05 0.2 0.5; do
    start_app "$home"
    add_preset "Killed $delay"
    sleep "$delay"
    kill -9 "$appPid"; wait "$appPid" 2> /dev/null || true
    holds_presets "$presets" "Before" || fail "SIGKILL $delay s after adding a preset damaged the file"
    [ ! -e "$presets.bad" ] || fail "the file was set aside after a SIGKILL"
done
holds_presets "$presets" "Killed 0.5" || fail "a preset added 0.5 s before the SIGKILL was lost"

# The next start reads the file as it is, and keeps it.
start_app "$home"
close_app
[ ! -e "$presets.bad" ] || fail "the file left by SIGKILL could not be read"
holds_presets "$presets" "Before" "Killed 0.5" || fail "presets lost after the SIGKILLs"
echo "SIGKILL after adding a preset: the file is always whole; $(grep -o 'name="Killed [^"]*"' "$presets" | wc -l) of 5 additions kept"

# --- An unreadable preset file: set aside, and said once in the preset frame, without a dialog.
# The frame's top edge right of its caption, where the notice goes, as a checksum.
preset_notice_area() { import -window "$window" -crop 320x15+81+534 +repage rgb:- 2>/dev/null | md5sum | cut -c1-32; }

home="$work/unreadable"
presets=$(presetFile "$home")
start_app "$home"
clean=$(preset_notice_area)
close_app

printf '<presets><preset name="cut off' > "$presets"
start_app "$home"
[ -e "$presets.bad" ] || fail "the unreadable preset file was not set aside"
[ -z "$(other_windows)" ] || fail "a dialog for the unreadable preset file: $(other_windows)"
[ "$(preset_notice_area)" != "$clean" ] || fail "the window does not say that the presets were set aside"
close_app

start_app "$home"
[ "$(preset_notice_area)" = "$clean" ] || fail "the notice came again with a readable file"
close_app
echo "unreadable preset file: kept as preset.dat.bad, and the preset frame says so once, without a dialog"

# --- The data directory removed while the program runs: recreated on the next save.
home="$work/removed"
presets=$(presetFile "$home")
start_app "$home"
add_preset "First"
sleep 0.5
rm -rf "$home/.config/Orlavane"
add_preset "Second"
sleep 0.5
holds_presets "$presets" "First" "Second" || fail "the removed directory was not recreated with every preset"
close_app
echo "data directory removed while running: recreated with every preset"

# --- The data directory read-only: nothing written, the file kept, one notice.
if unshare -m true 2> /dev/null; then
    dataDir=$(dirname "$presets")
    before=$(md5sum < "$presets")
    start_app "$home" unshare -m sh -c 'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" "$0" && exec "$@"' "$dataDir"
    [ -z "$(other_windows)" ] || fail "a dialog at start-up: $(other_windows)"
    add_preset "Third"
    sleep 1
    [ "$(md5sum < "$presets")" = "$before" ] || fail "the read-only preset file changed"
    notice=$(other_windows)
    [ -n "$notice" ] || fail "adding a preset that cannot be saved said nothing"
    xdotool key Return
    sleep 0.5
    add_preset "Fourth"
    sleep 1
    [ -z "$(other_windows)" ] || fail "the notice came again: $(other_windows)"
    close_app
    [ "$(md5sum < "$presets")" = "$before" ] || fail "the read-only preset file changed at exit"
    holds_presets "$presets" "First" "Second" || fail "the read-only preset file is damaged"
    echo "data directory read-only: the program says \"$notice\" once, the file stays as it was"
else
    echo "(no mount namespace here: the read-only data directory is not tried)"
fi

# --- No audio at all.
stop_jack
home="$work/no-audio"
start_app "$home"
sleep 1
[ -z "$(other_windows)" ] || fail "a dialog without audio: $(other_windows)"
[ "$(window_size)" = "432x710" ] || fail "the window is $(window_size) without audio"
close_app
echo "no audio server and no ALSA device: the full window, no dialog"
