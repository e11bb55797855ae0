#!/usr/bin/env bash
# A rehearsal: the installer's file points the overlay at a timing server that is not at
# the installation's fixed address. Once discovery is answered, the link and the database
# go there, and the overlay announces itself to that server.
source "$(dirname "$0")/../lib/e2e.sh"

rehearsal=127.0.0.7
printf '[TimingServer]\nAddress=%s\n' "$rehearsal" >"$QUORVEL_CONFIG"
e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
e2e_start_sim --listen "$rehearsal:3335" --udp 0.0.0.0:3334
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp connected' || e2e_fail "no connection to $rehearsal"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' || e2e_fail "no announcement"
e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
