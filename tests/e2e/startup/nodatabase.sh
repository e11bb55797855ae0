#!/usr/bin/env bash
# With the race database unreachable, start-up ends with the "Application Error" box; the
# overlay window is never shown, and the exit status is 1 once the box is dismissed.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
export MYSQL_UNIX_PORT="$E2E_WORK/no-such-server.sock"
e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "no error box"
xdotool search --onlyvisible --name "^VYD - Quorvel V3\$" >/dev/null 2>&1 && e2e_fail "the overlay window is shown"
shot="$E2E_WORK/box.png"
e2e_screenshot "$box" "$shot"
[ -n "${E2E_SCREENSHOT_OUT:-}" ] && cp "$shot" "$E2E_SCREENSHOT_OUT"
grep -q "SQL Error: Can't connect to local server through socket" "$E2E_WORK/quorvel.log" \
  || e2e_fail "the message does not name the failure: $(cat "$E2E_WORK/quorvel.log")"
kill -0 "$QUORVEL_PID" || e2e_fail "quorvel ended before the box was dismissed"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after the box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS, expected 1"
e2e_log "PASS"
