#!/usr/bin/env bash
# The operator's mouse: a double click on the header band shrinks the window to the
# on-air strip and clears the widgets; a later single click changes nothing. A click on a
# label of the strip does nothing at all.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
e2e_start_db
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
widgets_shown() {
  local widgets
  widgets=$(e2e_count_colour "$1" 346 294 850 130 "255,255,255")
  [ "$widgets" -gt 1000 ] || e2e_fail "the diagnostic widgets are not shown ($widgets)"
}
e2e_shot_until "$win" "$E2E_WORK/before.png" widgets_shown

# A click on lane A's empty pilot label is taken by the label: the window and the widgets
# stay as they are.
full_window() {
  local w h
  read -r _ _ w h < <(e2e_geometry "$win")
  [ "$h" = 551 ] || e2e_fail "a click on a label changed the window to ${w}x$h"
  widgets_shown "$1"
}
xdotool mousemove --window "$win" 370 40 click 1
e2e_shot_holds "$win" "$E2E_WORK/label.png" 2 full_window

# The double click on the header band, between two headers.
xdotool mousemove --window "$win" 470 12 click --repeat 2 --delay 80 1
e2e_until e2e_height_is "$win" 104 || true
read -r _ _ w h < <(e2e_geometry "$win")
[ "$w" = 1629 ] && [ "$h" = 104 ] || e2e_fail "client area ${w}x$h after the double click, expected 1629x104"
read -r x y _ _ < <(e2e_geometry "$win")
[ "$x" = 145 ] && [ "$y" = 264 ] || e2e_fail "the window moved to $x,$y"
e2e_screenshot "$win" "$E2E_WORK/strip.png"
[ -n "${E2E_SCREENSHOT_OUT:-}" ] && cp "$E2E_WORK/strip.png" "$E2E_SCREENSHOT_OUT"
magenta=$(e2e_count_colour "$E2E_WORK/strip.png" 0 0 1629 104 "255,0,255")
[ "$magenta" = 0 ] || e2e_fail "$magenta magenta pixels in the strip"

strip_height() {
  local h
  read -r _ _ _ h < <(e2e_geometry "$win")
  [ "$h" = 104 ] || e2e_fail "a later click changed the height to $h"
}
xdotool mousemove --window "$win" 470 12 click 1
e2e_shot_holds "$win" "$E2E_WORK/later.png" 2 strip_height
e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
