#!/usr/bin/env bash
# A photo folder on a read-only file system (root ignores permission bits, so the folder
# is a read-only bind mount in a mount namespace of quorvel's own): the run reset cannot
# store the pilots' photos, mLog gets the failure, and the times of the run still show.
source "$(dirname "$0")/../lib/e2e.sh"

# The photo folder beside the scenario's copy of quorvel.
photos=$(dirname "$QUORVEL_BIN")/fotopilotos
mkdir -p "$photos"

e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 \
  --script "$QUORVEL_SOURCE_DIR/tests/e2e/faults/readonly-photos.txt"
unshare --mount --propagation private -- bash -c '
  mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" || exit 97
  exec "$2"' _ "$photos" "$E2E_WORK/bin/quorvel" >"$E2E_WORK/quorvel.log" 2>&1 &
QUORVEL_PID=$!
e2e_track "$QUORVEL_PID"
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared: $(cat "$E2E_WORK/quorvel.log")"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' || e2e_fail "quorvel never connected"

# mLog's box: dark text pixels grow with its lines.
log_ink() { e2e_count_where "$1" 614 330 270 85 "r<0.5&&g<0.5&&b<0.5"; }
white() { e2e_count_where "$1" "$2" "$3" "$4" "$5" "r>0.85&&g>0.85&&b>0.85"; }
# After it: mLog got the failure, and the times that followed still show.
failure_logged() {
  local after
  after=$(log_ink "$1")
  [ "$after" -gt $((before + 100)) ] || e2e_fail "mLog did not get the failure ($before, $after)"
  [ "$(white "$1" 692 25 124 34)" -gt 25 ] || e2e_fail "lane A's reaction time is not shown after the failure"
}
# mLog before the reset: a screenshot taken before the server has even sent it.
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"cod_pilotoA:102' || e2e_fail "the script stalled"
e2e_screenshot "$win" "$E2E_WORK/before.png"
grep -q 'tcp sent .*"Alinhar:' "$E2E_WORK/sim.log" && e2e_fail "the reset was sent before mLog could be looked at"
before=$(log_ink "$E2E_WORK/before.png")
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"RA:0.412' || e2e_fail "the script stalled"
e2e_shot_until "$win" "$E2E_WORK/after.png" failure_logged
[ -n "${E2E_SCREENSHOT_DIR:-}" ] && cp "$E2E_WORK/before.png" "$E2E_WORK/after.png" "$E2E_SCREENSHOT_DIR/" || true
e2e_log "mLog ink: $before before the reset, $(log_ink "$E2E_WORK/after.png") after it"

kill -0 "$QUORVEL_PID" 2>/dev/null || e2e_fail "quorvel ended: $(cat "$E2E_WORK/quorvel.log")"
[ -z "$(ls -A "$photos")" ] || e2e_fail "a photo was written into the read-only folder"
grep -q 'tcp closed\|tcp recv .*Desconectou' "$E2E_WORK/sim.log" && e2e_fail "the timing link dropped"
e2e_log "PASS"
