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
e2e_expect_refusal "a wrong key colour" "$QUORVEL_CONFIG, [ProgramOutput] KeyColour"
! grep -q 'udp recv' "$E2E_WORK/sim.log" || e2e_fail "a discovery request went out: $(cat "$E2E_WORK/sim.log")"

# A file named by QUORVEL_CONFIG that is not there is refused the same way.
QUORVEL_CONFIG="$E2E_WORK/no-such.conf" e2e_start_quorvel
e2e_expect_refusal "a missing file" "$E2E_WORK/no-such.conf"

# A journal folder that cannot be made (a file stands in its way) is refused the same way.
: >"$E2E_WORK/a-file"
printf '[Journal]\nFolder=%s\n' "$E2E_WORK/a-file/journal" >"$QUORVEL_CONFIG"
e2e_start_quorvel
e2e_expect_refusal "the journal's folder" \
  "$QUORVEL_CONFIG, [Journal] Folder: the folder $E2E_WORK/a-file/journal cannot be created"
e2e_log "PASS"
