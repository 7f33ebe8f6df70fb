#!/usr/bin/env bash
# The main window under a real window manager (openbox on a virtual display):
# it keeps its size when the window manager is asked to stretch it, and its
# size hints tell the window manager that the size is fixed.
# Usage: window_size.sh path/to/tocksley
set -euo pipefail
app=$(realpath "$1")
source "$(dirname "$0")/harness.sh"

start_display
start_app "$work/home"

hints=$(xprop -id "$window" WM_NORMAL_HINTS)
grep -q "program specified minimum size: 432 by 710" <<< "$hints" || fail "no minimum size of 432 x 710: $hints"
grep -q "program specified maximum size: 432 by 710" <<< "$hints" || fail "no maximum size of 432 x 710: $hints"

xdotool windowsize "$window" 700 900
sleep 1
[ "$(window_size)" = "432x710" ] || fail "xdotool windowsize stretched the window to $(window_size)"

wmctrl -i -r "$window" -e 0,-1,-1,300,400
sleep 1
[ "$(window_size)" = "432x710" ] || fail "wmctrl -e shrank the window to $(window_size)"

# After the window has idled and painted again, the hints still hold.
sleep 4
clickPanel $muteButton
clickPanel $muteButton
xdotool windowsize "$window" 800 600
sleep 1
[ "$(window_size)" = "432x710" ] || fail "after a repaint from idle the window became $(window_size)"

close_app
echo "the window stays 432 x 710 when the window manager is asked to resize it"
