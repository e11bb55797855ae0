#!/usr/bin/env bash
# An installer's file with a setting that does not parse: the "Application Error" box names
# the file and the key, the overlay window never shows, nothing is broadcast, and the exit
# status is 1 once the box is dismissed.
source "$(dirname "$0")/../lib/e2e.sh"

printf '[TimingServer]\nAddress=192.168.0.100\n[ProgramOutput]\nKeyColour=pink\n' >"$QUORVEL_CONFIG"
e2e_start_x
export MYSQL_UNIX_PORT="$E2E_WORK/no-such-server.sock"
e2e_start_sim --listen 127.0.0.1:3399 --udp 0.0.0.0:3334
e2e_wait_log "$E2E_WORK/sim.log" 'listening udp' || e2e_fail "the simulator did not start"
e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "no error box"
xdotool search --onlyvisible --name "^VYD - Quorvel V3\$" >/dev/null 2>&1 && e2e_fail "the overlay window is shown"
grep -qF "$QUORVEL_CONFIG, [ProgramOutput] KeyColour" "$E2E_WORK/quorvel.log" \
  || e2e_fail "the message does not name the file and the key: $(cat "$E2E_WORK/quorvel.log")"
grep -q "SQL Error" "$E2E_WORK/quorvel.log" && e2e_fail "the database was tried before the refusal"
grep -q 'udp recv' "$E2E_WORK/sim.log" && e2e_fail "a discovery request went out: $(cat "$E2E_WORK/sim.log")"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after the box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS, expected 1"

# A file named by QUORVEL_CONFIG that is not there is refused the same way.
QUORVEL_CONFIG="$E2E_WORK/no-such.conf" e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "no error box for a missing file"
grep -qF "$E2E_WORK/no-such.conf" "$E2E_WORK/quorvel.log" || e2e_fail "the file is not named: $(cat "$E2E_WORK/quorvel.log")"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after the second box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS, expected 1"

# A journal folder that cannot be made (a file stands in its way) is refused the same way.
: >"$E2E_WORK/a-file"
printf '[Journal]\nFolder=%s\n' "$E2E_WORK/a-file/journal" >"$QUORVEL_CONFIG"
e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "no error box for the journal's folder"
grep -qF "$QUORVEL_CONFIG, [Journal] Folder: the folder $E2E_WORK/a-file/journal cannot be created" "$E2E_WORK/quorvel.log" \
  || e2e_fail "the journal's refusal does not name the file and the key: $(cat "$E2E_WORK/quorvel.log")"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after the journal's box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS, expected 1"
e2e_log "PASS"
