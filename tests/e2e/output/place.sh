#!/usr/bin/env bash
# A program output at a configured place with another key colour: the strip at the
# screen's top-left corner, green wherever the window shows magenta and around the picture.
source "$(dirname "$0")/../lib/e2e.sh"

printf '[ProgramOutput]\nScreen=1\nLeft=0\nTop=0\nKeyColour=#00FF00\n' >"$QUORVEL_CONFIG"
e2e_start_x 2
e2e_start_db
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
second="$DISPLAY.1"
green() { e2e_count_colour "$1" "$2" "$3" "$4" "$5" "0,255,0"; }
green_corner() {
  import -display "$second" -window root "$E2E_WORK/out.png" && [ "$(e2e_pixel "$E2E_WORK/out.png" 1900 1000)" = "0,255,0" ]
}
e2e_wait_for "the output's screen is not green" green_corner
# same_strip_now: the output's strip at 0, 0 is the window's, within the tolerance but for a
# few pixels. The two pictures are taken one after the other, and the overlay may still be
# changing what it shows just after its start: they are taken again until they agree.
same_strip_now() {
  local n
  e2e_screenshot "$win" "$E2E_WORK/op.png"
  import -display "$second" -window root "$E2E_WORK/out.png"
  convert "$E2E_WORK/op.png" -crop 1629x104+0+0 +repage "$E2E_WORK/op-strip.png"
  convert "$E2E_WORK/out.png" -crop 1629x104+0+0 +repage "$E2E_WORK/out-strip.png"
  n=$(e2e_differing "$E2E_WORK/op-strip.png" "$E2E_WORK/out-strip.png")
  [ "$n" -lt 20 ] || e2e_fail "the output's strip differs from the window's in $n pixels"
}
e2e_until same_strip_now || same_strip_now
# no magenta anywhere; green at least wherever the window is magenta
[ "$(e2e_count_colour "$E2E_WORK/out.png" 0 0 1920 1080 "255,0,255")" = 0 ] || e2e_fail "magenta on the output"
window_magenta=$(e2e_count_colour "$E2E_WORK/op.png" 0 0 1629 551 "255,0,255")
output_green=$(green "$E2E_WORK/out.png" 0 0 1629 551)
[ "$window_magenta" -gt 100000 ] || e2e_fail "the window shows little magenta ($window_magenta)"
[ "$output_green" -ge "$window_magenta" ] || e2e_fail "green $output_green < the window's magenta $window_magenta"
e2e_key_around "$E2E_WORK/out.png" "0,255,0" 0 0 1629 551 || e2e_fail "not green around the picture"
e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
