#!/usr/bin/env bash
# With no timing server, every retry tick waits five seconds for discovery answers. The
# window goes on meanwhile: a click on the camera box ticks it at once, and the clock's
# minute turns on screen within a tick of the wall clock's. Quorvel is started so that a
# minute boundary falls inside the wait of the first retry tick's discovery.
source "$(dirname "$0")/../lib/e2e.sh"

now_ms() { date +%s%3N; }
# the next boundary of the local clock's minute, in ms since the epoch
next_boundary() {
  local epoch_ms in_minute
  read -r epoch_ms in_minute < <(date '+%s%3N %S%3N')
  echo $((epoch_ms + 60000 - 10#$in_minute))
}

# waits until the simulator has logged N discovery requests; prints when it saw the last
requests_seen() {
  local n=$1 timeout_ms=$2 start
  start=$(now_ms)
  while [ "$(grep -c 'udp recv' "$E2E_WORK/sim.log" 2>/dev/null || true)" -lt "$n" ]; do
    [ $(($(now_ms) - start)) -lt "$timeout_ms" ] || return 1
    sleep 0.02
  done
  now_ms
}

e2e_start_x
e2e_start_db
# Hears the requests and answers none: the overlay's host stays on loopback, where
# nobody listens, so every retry cycle is a discovery wait and a refused connect.
e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --udp-off
e2e_wait_log "$E2E_WORK/sim.log" 'listening udp' || e2e_fail "the simulator did not start"

# The start-up discovery (5 s), the window, then the retry tick's discovery (5 s more):
# start 7.8 s before a minute boundary, so that it falls inside the second wait.
while :; do
  to_boundary=$(($(next_boundary) - $(now_ms)))
  [ "$to_boundary" -le 8000 ] && [ "$to_boundary" -gt 7600 ] && break
  sleep 0.05
done
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
second_request=$(requests_seen 2 20000) || e2e_fail "no retry tick's discovery"
e2e_log "the retry tick's discovery waits from $second_request"

# The camera box: its indicator sits at the left of ckCameraPos (175, 109, 244 x 19).
"$QUORVEL_X11_WATCH" "$win" 175 109 20 19 4000 >"$E2E_WORK/ticked" 2>"$E2E_WORK/ticked.err" &
watcher=$!
e2e_wait_log "$E2E_WORK/ticked.err" ready || e2e_fail "the watcher did not start"
clicked=$(now_ms)
xdotool mousemove --window "$win" 183 118 click 1
wait "$watcher" || e2e_fail "the camera box never changed on screen"
ticked=$(cat "$E2E_WORK/ticked")
e2e_log "camera box ticked $((ticked - clicked)) ms after the click"
[ $((ticked - clicked)) -le 1000 ] || e2e_fail "the click waited $((ticked - clicked)) ms"
[ "$ticked" -lt $((second_request + 5000)) ] || e2e_fail "the click was handled only after the discovery wait"
e2e_screenshot "$win" "$E2E_WORK/ticked.png"

# The clock (lblHora, 35, 74, 97 x 15) shows hours and minutes: it changes at the boundary.
boundary=$(next_boundary)
[ $((boundary - $(now_ms))) -gt 300 ] || e2e_fail "too late for the boundary: the start took too long"
"$QUORVEL_X11_WATCH" "$win" 35 74 97 15 $((boundary - $(now_ms) + 10000)) >"$E2E_WORK/turned" 2>"$E2E_WORK/turned.err" &
watcher=$!
e2e_wait_log "$E2E_WORK/turned.err" ready || e2e_fail "the watcher did not start"
wait "$watcher" || e2e_fail "the clock's minute never turned"
turned=$(cat "$E2E_WORK/turned")
late=$((turned - boundary))
inside="outside"
[ "$boundary" -gt "$second_request" ] && [ "$boundary" -lt $((second_request + 5000)) ] && inside="inside"
e2e_log "the minute turned $late ms after the wall clock's, $inside the discovery wait"
[ "$late" -ge 0 ] || e2e_fail "the minute turned $((-late)) ms early"
[ "$late" -le 1100 ] || e2e_fail "the minute turned $late ms late"
[ "$(grep -c 'udp recv' "$E2E_WORK/sim.log")" -ge 2 ]

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
