#!/usr/bin/env bash
# A second copy started with the same installer's file as the running one, the feed
# configured: it shows the guard's box and ends with status 0 after OK, without trying the
# feed's port, and the running copy's feed still answers.
source "$(dirname "$0")/../lib/e2e.sh"
source "$(dirname "$0")/copies.sh"

e2e_start_x
e2e_start_db
printf '[Feed]\nListen=8765\nToken=s3cret\n' >"$QUORVEL_CONFIG"
e2e_start_quorvel
e2e_wait_window "$GUARD_TITLE" >/dev/null || e2e_fail "the first copy's window never appeared"
feed_answers() {
  local fd
  exec {fd}<>/dev/tcp/127.0.0.1/8765 || return 1
  printf 'GET /state?token=s3cret HTTP/1.1\r\nHost: localhost:8765\r\n\r\n' >&"$fd"
  timeout 10 head -n1 <&"$fd" | grep -q '200 OK'
  local status=$?
  exec {fd}>&-
  return $status
}
e2e_wait_for "the first copy's feed does not answer" feed_answers

guard_start_copy second
second=$COPY_PID
box=$(guard_wait_box) || e2e_fail "the guard's box never appeared"
[ -z "$(xdotool search --onlyvisible --name '^Application Error$' 2>/dev/null)" ] ||
  e2e_fail "the second copy failed: $(cat "$E2E_WORK/second.log")"
guard_press_ok "$box"
ended_or_failed() { e2e_gone "$second" || [ -n "$(e2e_window_named "Application Error")" ]; }
e2e_until ended_or_failed || true
[ -z "$(e2e_window_named "Application Error")" ] ||
  e2e_fail "the second copy failed after OK: $(cat "$E2E_WORK/second.log")"
e2e_wait_exit "$second" || e2e_fail "the second copy did not end after OK"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS of the second copy, expected 0: $(cat "$E2E_WORK/second.log")"
feed_answers || e2e_fail "the first copy's feed stopped answering"
kill -0 "$QUORVEL_PID" || e2e_fail "the first copy ended"
e2e_log "PASS"
