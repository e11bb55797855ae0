#!/usr/bin/env bash
# Started with no timing server, the overlay shows its window after the discovery wait and
# keeps retrying. When the server appears it connects within one retry cycle, announces
# itself once, says goodbye when the server closes, and comes back after a close and after
# a reset; the strip then follows the server's messages.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db
started=$(date +%s%N)
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
shown_after=$((($(date +%s%N) - started) / 1000000))
e2e_log "window shown after $shown_after ms"
[ "$shown_after" -ge 4900 ] || e2e_fail "the window came before the discovery wait ended"

sleep 2
e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 \
  --script "$QUORVEL_SOURCE_DIR/tests/e2e/link/cycle.txt"
# A retry tick: at most 3 s, then discovery (5 s after the answer), then the connect.
started=$SECONDS
e2e_wait_log "$E2E_WORK/sim.log" 'tcp connected' || e2e_fail "no connection"
[ $((SECONDS - started)) -le 25 ] || e2e_fail "no connection within a retry cycle"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' || e2e_fail "no announcement"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"VurazeZO:Desconectou"' || e2e_fail "no farewell after the close"
[ "$(grep -c 'tcp connected' "$E2E_WORK/sim.log")" -ge 1 ]
connections_at_least() { [ "$(grep -c 'tcp connected' "$E2E_WORK/sim.log")" -ge "$1" ]; }
for n in 2 3; do
  e2e_wait_for "no reconnection number $n" connections_at_least "$n"
done
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"RA:0.777' || e2e_fail "the script stalled"
reaction_time_shown() {
  local white
  white=$(e2e_count_where "$1" 692 25 124 34 "r>0.85&&g>0.85&&b>0.85")
  [ "$white" -gt 25 ] || e2e_fail "the strip does not show the reaction time sent after the reset"
}
e2e_shot_until "$win" "$E2E_WORK/after.png" reaction_time_shown

# Only the two texts of the overlay ever reach the server: one announcement per
# connection and one farewell for the close (none for the reset).
received=$(grep 'tcp recv' "$E2E_WORK/sim.log" | sed 's/.*tcp recv [^ ]* //')
[ "$(grep -c '"Quorvel:Conectado"' <<<"$received")" = 3 ] || e2e_fail "announcements: $received"
[ "$(grep -c '"VurazeZO:Desconectou"' <<<"$received")" = 1 ] || e2e_fail "farewells: $received"
[ "$(wc -l <<<"$received")" = 4 ] || e2e_fail "unexpected texts: $received"

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
