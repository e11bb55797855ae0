#!/usr/bin/env bash
# The guard's locks are the same for every account, whatever runtime folder a copy was
# given: a copy whose runtime folder it cannot write (inherited through su) runs normally,
# and a copy with a runtime folder of its own, as another account has, is still refused
# beside it.
source "$(dirname "$0")/../lib/e2e.sh"
source "$(dirname "$0")/copies.sh"

e2e_start_x
e2e_start_db
guard_start_sim

# /proc/version is a file: nothing can be made under it, whoever asks.
XDG_RUNTIME_DIR=/proc/version/runtime guard_start_copy unwritable
first=$COPY_PID
win=$(guard_wait_overlay) || e2e_fail "no overlay from a copy whose runtime folder is not writable"
[ "$(guard_window_pid "$win")" = "$first" ] || e2e_fail "the overlay on screen is not the first copy's"
guard_no_box_for 1 || e2e_fail "a copy whose runtime folder is not writable was refused"
guard_wait_connections 1 || e2e_fail "the first copy never connected to the timing server"

other="$E2E_WORK/runtime-other"
mkdir -p "$other"
chmod 700 "$other"
XDG_RUNTIME_DIR=$other guard_start_copy other
second=$COPY_PID
box=$(guard_wait_box) || e2e_fail "a copy with another runtime folder was not refused"
[ "$(guard_window_pid "$box")" = "$second" ] || e2e_fail "the box is not the second copy's"
guard_press_ok "$box"
e2e_wait_exit "$second" || e2e_fail "the second copy did not end after OK"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS of the second copy, expected 0"
[ "$(guard_overlays | wc -l)" = 1 ] || e2e_fail "two overlays on screen"
[ "$(guard_connections)" = 1 ] || e2e_fail "the timing server saw $(guard_connections) connections"

e2e_x11_close "$win"
e2e_wait_exit "$first" || e2e_fail "the first copy did not end after its window was closed"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after close, expected 0"
e2e_log "PASS"
