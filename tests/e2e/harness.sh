# The setting of the end-to-end tests and benchmarks, sourced by them: a JACK
# server of their own (the dummy backend at 48 kHz, periods of JACK_PERIOD samples,
# 2048 unless set), a virtual display with a window manager, the real program in a
# fresh HOME, and helpers to click at the panel's controls and to record the output.
# Every process started here is stopped by its PID on exit, also when a check fails;
# with KEEP_WORK=DIR, the logs and recordings of the run are copied there first.

harness=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
pids=()
jackPid=""
appPid=""
window=""

export JACK_DEFAULT_SERVER="${JACK_DEFAULT_SERVER:-tocksley-e2e}"

fail() { echo "FAIL: $*"; exit 1; }

stop_jack()
{
    # Asked to stop, the server leaves its shared-memory registry clean.
    [ -n "$jackPid" ] || return 0
    kill -TERM "$jackPid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$jackPid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$jackPid" 2>/dev/null || true
    wait "$jackPid" 2>/dev/null || true
    jackPid=""
}

harness_cleanup()
{
    # The shell's own notices of killed jobs are noise here.
    exec 2> /dev/null
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    stop_jack
    [ -n "${KEEP_WORK:-}" ] && cp -r "$work" "$KEEP_WORK"
    rm -rf "$work"
}
trap harness_cleanup EXIT

start_jack()
{
    # A server killed outright leaves its entries in JACK's shared-memory registry, which
    # holds only a few; with no JACK server running at all they are stale and can go.
    if ! pgrep -x jackd > /dev/null && ! pgrep -x jackdbus > /dev/null; then
        rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.*"$JACK_DEFAULT_SERVER"* \
              /dev/shm/jack_"$JACK_DEFAULT_SERVER"* /dev/shm/jack-0-* /dev/shm/jack_db-* 2>/dev/null || true
    fi

    launch_jackd
    for _ in $(seq 1 100); do jack_lsp > /dev/null 2>&1 && return 0; sleep 0.1; done
    cat "$work/jackd.log"
    fail "the JACK server did not start"
}

# Periods of 2048 samples: where the machine's processors are shared (a virtual machine
# whose host takes them away for many milliseconds), one of 512 is missed every few
# seconds, and a take with a missed cycle says nothing about the clicks. The clicks are
# placed to the sample whatever the period.
jackPeriod=${JACK_PERIOD:-2048}

# Starts the server in the background and sets jackPid; start_jack also waits for it.
launch_jackd()
{
    # Verbose, so that the server logs every cycle a client missed (an xrun). Without
    # realtime scheduling by default, as a test needs no privileges; JACK_REALTIME=1
    # runs it as musicians do, for long takes that a scheduling hiccup would spoil.
    local scheduling=--no-realtime
    [ "${JACK_REALTIME:-0}" = 1 ] && scheduling=--realtime
    jackd -v "$scheduling" -d dummy -r 48000 -p "$jackPeriod" >> "$work/jackd.log" 2>&1 & jackPid=$!
}

start_display()
{
    exec 3> "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 & pids+=($!)
    for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n 1 "$work/display")"
    openbox > /dev/null 2>&1 & pids+=($!)
    sleep 0.5
}

# start_app HOME [command prefix...]: the program with that HOME and no ALSA device, so
# that JUCE opens the JACK server as its default device by itself, with the arguments
# in appArgs. Sets appPid and window.
appArgs=()
start_app()
{
    local home=$1; shift
    : > "$work/no-alsa.conf"
    mkdir -p "$home"
    # The pointer rests outside where the window opens: a tooltip is not a dialog.
    xdotool mousemove 1020 760

    ALSA_CONFIG_PATH="$work/no-alsa.conf" HOME="$home" "$@" "$app" "${appArgs[@]}" >> "$work/app.log" 2>&1 & appPid=$!
    pids+=($appPid)

    # Mapped at its full size: a slow (sanitizer) build maps a small window first.
    # It maps in a third of a second; the wait is long for a machine busy with
    # the rest of the suite, which runs beside these tests.
    window=""
    for _ in $(seq 1 400); do
        window=$(xdotool search --name '^Tocksley$' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q IsViewable \
            && [ "$(window_size)" = "432x710" ] && break
        window=""
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window of 432 x 710"
    sleep 1
}

window_size() { xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }

# Closes the window with the window manager's close request and waits for the exit.
close_app()
{
    wmctrl -i -c "$window" || fail "wmctrl could not send the close request"
    # A sanitizer build takes seconds to check for leaks on its way out.
    for _ in $(seq 1 300); do kill -0 "$appPid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$appPid" 2>/dev/null && fail "the window manager's close request did not end the program"
    wait "$appPid" 2>/dev/null || fail "the program exited with status $?"
}

# Panel coordinates: the page lies 1 pixel in and 30 pixels down in the window.
clickPanel() { xdotool mousemove --window "$window" $(( $1 + 1 )) $(( $2 + 30 )) click ${3:-1}; sleep 0.3; }
startButton="276 636"; accentButton="340 276"; muteButton="76 468"; bpmNumber="80 88"; addPreset="304 548"
listenButton="212 140"

# add_preset NAME: through the "Preset Name" dialog, as a musician would: "+",
# the name typed at once, Return.
add_preset()
{
    clickPanel $addPreset
    local dialog="" waited
    for waited in $(seq 1 200); do
        dialog=$(xdotool search --name '^Preset Name$' 2>/dev/null | head -n 1 || true)
        [ -n "$dialog" ] && break
        sleep 0.1
    done
    [ -n "$dialog" ] || fail "the Preset Name dialog did not open within 20 s"
    # A sanitized build on a busy machine can take seconds; said, so that it is seen.
    [ "$waited" -le 20 ] || echo "(the Preset Name dialog took about $(( waited / 10 )) s to open)"
    # Typed once the dialog has the focus, as a musician sees it come up.
    for _ in $(seq 1 100); do
        [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$dialog" ] && break
        sleep 0.1
    done
    sleep 0.3
    xdotool type "$1" || fail "could not type the preset name"
    xdotool key Return

    # Typed once, as a musician does: a dialog still open has lost what was typed.
    for _ in $(seq 1 30); do
        xdotool search --name '^Preset Name$' > /dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the Preset Name dialog did not take the name typed into it"
}

# The beat number's pixels, as a checksum.
beat_display() { import -window "$window" -crop 112x72+17+630 +repage rgb:- 2>/dev/null | md5sum | cut -c1-32; }

# Cycles in which a client (the program or the recorder) did not finish: their period is lost.
server_xruns() { grep -c "was not finished" "$work/jackd.log" || true; }

# Whether jack_capture's log of a take reports a lost cycle ("no message buffer
# overruns" is its all-clear, not a fault).
take_had_xruns() { grep -iE "xrun.*[1-9]|overrun|underrun" "$1" | grep -viqE "no message buffer overruns"; }

record()   # seconds, file [jack_capture's port arguments...]
{
    # A cycle that misses its deadline (an xrun, on a loaded machine) drops a
    # period from the recording: such a take says nothing about the clicks, so
    # it is taken again, up to recordAttempts times. takeClean tells whether the
    # take kept is free of them.
    local missed
    takeClean=0
    for attempt in $(seq 1 "${recordAttempts:-3}"); do
        missed=$(server_xruns)
        jack_capture -d "$1" "${@:3}" -dc "$2" > "$2.log" 2>&1 || fail "jack_capture failed"
        if ! take_had_xruns "$2.log" && [ "$(server_xruns)" = "$missed" ]; then takeClean=1; break; fi
        echo "(take $attempt had xruns)"
    done
    python3 "$harness/click_onsets.py" "$2" 1000 > "$2.onsets"
}
