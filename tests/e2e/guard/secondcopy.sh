#!/usr/bin/env bash
# A second copy started beside a running overlay shows the guard's box, brings the running
# copy to the front when the operator presses OK (whether it was covered or minimised),
# and ends with status 0 without showing its own window or connecting to the timing
# server. With the database unreachable a second copy fails at start-up instead.
source "$(dirname "$0")/../lib/e2e.sh"
source "$(dirname "$0")/copies.sh"
: "${QUORVEL_X11_ICONIFY:?QUORVEL_X11_ICONIFY must name the x11-iconify helper}"

e2e_start_x
guard_watch_maps
e2e_start_db
guard_start_sim
e2e_start_quorvel
first=$(e2e_wait_window "$GUARD_TITLE") || e2e_fail "the first copy's window never appeared"
guard_wait_connections 1 || e2e_fail "the first copy never connected to the timing server"

# refuse ROUND: a second copy is started, shows the box, OK is pressed, it ends with 0.
refuse() {
  local round=$1 box shot
  guard_start_copy "$round"
  local second=$COPY_PID
  box=$(guard_wait_box) || e2e_fail "$round: the guard's box never appeared"
  shot="$E2E_WORK/$round-box.png"
  read -r _ _ w h < <(e2e_geometry "$box")
  e2e_log "$round: box $box, ${w}x$h"
  [ "$w" -lt 600 ] && [ "$h" -lt 300 ] || e2e_fail "$round: the box is ${w}x$h"
  # The warning icon is the box's only yellow. A box just mapped may not be painted yet
  # on a busy machine.
  warning_icon() {
    local yellow
    yellow=$(e2e_count_colour "$1" 0 0 "$w" "$h" "255,255,0")
    [ "$yellow" -gt 100 ] || e2e_fail "$round: no warning icon in the box ($yellow yellow pixels)"
  }
  e2e_shot_until "$box" "$shot" warning_icon
  [ -n "${E2E_SCREENSHOT_OUT:-}" ] && cp "$shot" "${E2E_SCREENSHOT_OUT%.png}-$round.png"
  xprop -id "$box" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG \
    || e2e_fail "$round: the box is not a dialog"
  kill -0 "$second" || e2e_fail "$round: the second copy ended before OK"

  guard_press_ok "$box"
  e2e_wait_exit "$second" || e2e_fail "$round: the second copy did not end after OK"
  [ "$E2E_STATUS" = 0 ] || e2e_fail "$round: exit status $E2E_STATUS, expected 0"
  [ -z "$(guard_overlay_maps | grep -vx "$first")" ] || e2e_fail "$round: the second copy showed its window"
  [ "$(guard_connections)" = 1 ] || e2e_fail "$round: the timing server saw $(guard_connections) connections"
  e2e_log "$round: refused, status 0"
}

# Covered by another window: after OK the overlay is on top again and has the focus.
xmessage -geometry +200+300 "covering the overlay" >/dev/null 2>&1 &
cover=$!
e2e_track "$cover"
covered() { [ "$(guard_top_window)" != "$first" ]; }
e2e_wait_for "the overlay could not be covered" covered
# The pointer rests on the bare screen, so no crossing event gives the overlay a fresh
# server time before it takes the focus back from the box.
xdotool mousemove 5 5
refuse covered
guard_raised_and_active "$first" ||
  e2e_fail "the overlay ($first) was not raised above the covering window and activated: on top $(guard_top_window), focus $(guard_focus)"
kill "$cover"

# Minimised: after OK the overlay is restored.
"$QUORVEL_X11_ICONIFY" "$first"
minimised() { ! guard_is_viewable "$first"; }
e2e_wait_for "the overlay could not be minimised" minimised
refuse minimised
e2e_wait_for "the minimised overlay was not restored" guard_is_viewable "$first"
[ "$(guard_top_window)" = "$first" ] || e2e_fail "the restored overlay is not on top"

# The database is unreachable: the start-up error box comes first, before any check, and
# the copy ends with status 1.
MYSQL_UNIX_PORT="$E2E_WORK/no-database.sock" guard_start_copy nodb
nodb=$COPY_PID
error=$(e2e_wait_window "Application Error") || e2e_fail "no start-up error box without the database"
guard_no_box_for 1 || e2e_fail "the guard's box appeared although start-up had failed"
guard_press_ok "$error"
e2e_wait_exit "$nodb" || e2e_fail "the copy without the database did not end"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS without the database, expected 1"

# The first copy is still the one running, and ends normally.
kill -0 "$QUORVEL_PID" || e2e_fail "the first copy ended"
e2e_x11_close "$first"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "the first copy did not end after its window was closed"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS of the first copy, expected 0"
[ "$(guard_connections)" = 1 ] || e2e_fail "the timing server saw $(guard_connections) connections in all"
e2e_log "PASS"
