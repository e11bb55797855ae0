#!/usr/bin/env bash
# The overlay starts, shows its magenta window centred on the screen with the on-air strip
# at the top, and ends with status 0 when its close box is used.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
e2e_start_db
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"

read -r x y w h < <(e2e_geometry "$win")
e2e_log "window at $x,$y size ${w}x$h"
[ "$w" = 1629 ] && [ "$h" = 551 ] || e2e_fail "client area is ${w}x$h, expected 1629x551"
# Centred by its outer size, halves truncated; without a window manager there is no frame.
[ "$x" = $(((1920 - 1629) / 2)) ] && [ "$y" = $(((1080 - 551) / 2)) ] \
  || e2e_fail "window at $x,$y, expected centred"

# Magenta wherever no element lies: right of the legends, below the panels, the gap
# between the diagnostics and the lane-B legends. The strip is opaque: not one magenta
# pixel in the top 104 rows.
painted() {
  local shot=$1 point magenta
  for point in "1500 300" "1600 500" "100 500" "700 450" "1250 280" "20 300"; do
    set -- $point
    e2e_expect_pixel "$shot" "$1" "$2" "255,0,255" "nothing is laid out here"
  done
  magenta=$(e2e_count_colour "$shot" 0 0 1629 104 "255,0,255")
  [ "$magenta" = 0 ] || e2e_fail "$magenta magenta pixels inside the on-air strip"
}
shot="$E2E_WORK/window.png"
e2e_shot_until "$win" "$shot" painted
[ -n "${E2E_SCREENSHOT_OUT:-}" ] && cp "$shot" "$E2E_SCREENSHOT_OUT"

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after its window was closed"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after close, expected 0"
e2e_log "PASS"
