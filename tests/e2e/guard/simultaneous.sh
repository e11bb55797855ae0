#!/usr/bin/env bash
# Two copies started at the same moment, ten times over: each time exactly one of them
# shows the overlay and the other shows the guard's box and ends with status 0.
source "$(dirname "$0")/../lib/e2e.sh"
source "$(dirname "$0")/copies.sh"

e2e_start_x
guard_watch_maps
e2e_start_db

for round in $(seq 1 10); do
  maps_before=$(guard_overlay_maps | wc -l)
  "$QUORVEL_BIN" >"$E2E_WORK/$round-a.log" 2>&1 &
  a=$!
  "$QUORVEL_BIN" >"$E2E_WORK/$round-b.log" 2>&1 &
  b=$!
  e2e_track "$a"
  e2e_track "$b"

  box=$(guard_wait_box) || e2e_fail "round $round: neither copy was refused"
  loser=$(guard_window_pid "$box")
  case "$loser" in
    "$a") winner=$b ;;
    "$b") winner=$a ;;
    *) e2e_fail "round $round: the box belongs to pid $loser, neither $a nor $b" ;;
  esac
  guard_press_ok "$box"
  e2e_wait_exit "$loser" || e2e_fail "round $round: the refused copy did not end"
  [ "$E2E_STATUS" = 0 ] || e2e_fail "round $round: the refused copy ended with $E2E_STATUS"

  win=$(guard_wait_overlay) || e2e_fail "round $round: no overlay on screen"
  [ "$(guard_window_pid "$win")" = "$winner" ] || e2e_fail "round $round: the overlay is not the winner's"
  kill -0 "$winner" || e2e_fail "round $round: the winner ended"
  maps=$(($(guard_overlay_maps | wc -l) - maps_before))
  [ "$maps" = 1 ] || e2e_fail "round $round: $maps overlay windows were shown"
  e2e_log "round $round: $winner runs, $loser refused"

  # The next round needs the screen and the locks free; how the winner ends is not the
  # point here, and a close would wait behind its retry tick's discovery.
  kill -TERM "$winner"
  e2e_wait_exit "$winner" || e2e_fail "round $round: the winner did not end"
done
e2e_log "PASS"
