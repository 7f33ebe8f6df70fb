#!/usr/bin/env bash
# Prints Tocksley's CPU share and resident memory on a JACK dummy server (48 kHz,
# periods of 512): stopped and clicking at 120 BPM with the first tab shown, the
# same with the Practice page shown, clicking with the window minimised, and
# clicking with LISTEN, each over the same span; the same for every other build
# given (an older one, to compare), for a bare JUCE window of the same size on
# the same device (the framework's own floor, build/bench/tocksley-bare-window),
# and for klick (Debian's JACK metronome), all on the same server in one run.
# Usage: bench/cpu_memory.sh [path/to/tocksley] [seconds] [other builds...]
set -euo pipefail
app=$(realpath "${1:-build/tocksley}")
seconds=${2:-30}
others=("${@:3}")
bareWindow=$(dirname "$app")/bench/tocksley-bare-window
# The figures are for the period musicians commonly set.
export JACK_PERIOD=512
source "$(dirname "$0")/../tests/e2e/harness.sh"

command -v klick > /dev/null || fail "klick is not installed (apt-get install klick)"

ticksPerSecond=$(getconf CLK_TCK)
cpuTicks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rssKiB()   { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# measure PID LABEL: CPU share of one core and mean resident memory over $seconds.
measure()
{
    local pid=$1 label=$2 before after rssSum=0 samples=0
    before=$(cpuTicks "$pid")
    for _ in $(seq 1 "$seconds"); do
        sleep 1
        rssSum=$(( rssSum + $(rssKiB "$pid") )); samples=$(( samples + 1 ))
    done
    after=$(cpuTicks "$pid")
    python3 - "$label" "$before" "$after" "$ticksPerSecond" "$seconds" "$rssSum" "$samples" "$pid" <<'PY' | tee -a "$work/figures"
import sys
label, before, after, hz, seconds, rss_sum, samples, pid = sys.argv[1:]
cpu = (int(after) - int(before)) / int(hz) / int(seconds) * 100
rss = int(rss_sum) / int(samples) / 1024
peak = next(int(l.split()[1]) for l in open(f"/proc/{pid}/status") if l.startswith("VmHWM:")) / 1024
print(f"{label:<40} cpu {cpu:6.2f} % of one core   rss {rss:7.1f} MiB (peak {peak:.1f})")
PY
}

# measure_build BINARY NAME: the figures of one build, from start to LISTEN.
measure_build()
{
    app=$1
    local name=$2
    start_app "$work/home-$name"
    sleep 2
    measure "$appPid" "$name, stopped"
    clickPanel $startButton
    sleep 2
    measure "$appPid" "$name, clicks"
    clickPanel 300 -15                  # the Practice tab (nothing there in a build without it)
    sleep 2
    measure "$appPid" "$name, clicks, Practice"
    clickPanel $startButton             # the Practice page's START lies where the panel's does
    sleep 2
    measure "$appPid" "$name, stopped, Practice"
    clickPanel $startButton
    xdotool windowminimize "$window"
    sleep 2
    measure "$appPid" "$name, clicks, minimised"
    wmctrl -i -a "$window"
    sleep 1
    clickPanel 60 -15                   # back to the first tab
    clickPanel $listenButton
    sleep 2
    measure "$appPid" "$name, clicks + LISTEN"
    close_app
}

start_jack
start_display
echo "JACK dummy 48 kHz, period 512; $seconds s per figure; $(nproc) cores"

measure_build "$app" "Tocksley"
for i in "${!others[@]}"; do measure_build "$(realpath "${others[$i]}")" "build $(( i + 2 ))"; done

if [ -x "$bareWindow" ]; then
    app=$bareWindow
    start_app "$work/home-bare"
    sleep 2
    measure "$appPid" "bare JUCE window"
    close_app
fi

klick -n klick -P 120 > "$work/klick.log" 2>&1 & klickPid=$!; pids+=($klickPid)
sleep 2
kill -0 "$klickPid" 2> /dev/null || { cat "$work/klick.log"; fail "klick did not start"; }
measure "$klickPid" "klick, clicks"

python3 - "$work/figures" <<'PY'
import re, sys
rows = {}
for line in open(sys.argv[1]):
    label = line[:40].strip()
    cpu, rss = (float(x) for x in re.findall(r"cpu +([\d.]+).*rss +([\d.]+)", line)[0])
    rows[label] = (cpu, rss)
kcpu, krss = rows["klick, clicks"]
for label in rows:
    if label.startswith("klick"):
        continue
    cpu, rss = rows[label]
    ratio = f"{cpu / kcpu:.1f}" if kcpu > 0 else "n/a (klick below one tick)"
    print(f"{label} / klick: cpu x {ratio}, rss x {rss / krss:.1f}")
PY
