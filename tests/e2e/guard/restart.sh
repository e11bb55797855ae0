#!/usr/bin/env bash
# Once the running copy has ended, closed by the operator or killed, a new copy starts
# normally; a copy started after a killed one still brings itself forward for a second.
source "$(dirname "$0")/../lib/e2e.sh"
source "$(dirname "$0")/copies.sh"

e2e_start_x
e2e_start_db

guard_start_copy closed
closed=$COPY_PID
win=$(guard_wait_overlay) || e2e_fail "the first copy's window never appeared"
e2e_x11_close "$win"
e2e_wait_exit "$closed" || e2e_fail "the first copy did not end after its window was closed"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after close, expected 0"

# A second copy would wait on its box and never show the overlay.
guard_start_copy afterclose
killed=$COPY_PID
win=$(guard_wait_overlay) || e2e_fail "no overlay from the copy started after a close"
[ "$(guard_window_pid "$win")" = "$killed" ] || e2e_fail "the overlay on screen is not the new copy's"
guard_no_box_for 1 || e2e_fail "the copy started after a close was refused"
kill -KILL "$killed"
e2e_wait_exit "$killed" || e2e_fail "the copy did not die"

guard_start_copy afterkill
running=$COPY_PID
win=$(guard_wait_overlay) || e2e_fail "no overlay from the copy started after a kill"
[ "$(guard_window_pid "$win")" = "$running" ] || e2e_fail "the overlay on screen is not the new copy's"
guard_no_box_for 1 || e2e_fail "the copy started after a kill was refused"

# The killed copy's lock is free and its listening socket is gone for good: the new copy
# is the one a second copy brings forward.
xmessage -geometry +200+300 "covering the overlay" >/dev/null 2>&1 &
cover=$!
e2e_track "$cover"
guard_start_copy second
second=$COPY_PID
box=$(guard_wait_box) || e2e_fail "a copy beside the new one was not refused"
[ "$(guard_window_pid "$box")" = "$second" ] || e2e_fail "the box is not the second copy's"
[ "$(guard_top_window)" != "$win" ] || e2e_fail "the overlay is not covered"
guard_press_ok "$box"
e2e_wait_exit "$second" || e2e_fail "the second copy did not end after OK"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS of the second copy, expected 0"
guard_raised_and_active "$win" || e2e_fail "the new copy was not brought forward"
kill "$cover"

e2e_x11_close "$win"
e2e_wait_exit "$running" || e2e_fail "the copy did not end after its window was closed"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after close, expected 0"
e2e_log "PASS"
