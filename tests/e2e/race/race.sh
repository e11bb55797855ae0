#!/usr/bin/env bash
# A whole run on air: the real quorvel finds the simulated timing server by broadcast,
# connects, looks the pilots up in the database, and follows the run: headers, the start
# tree, times, the winner, then the lights-off view with the pilots' photos.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
# The database listens on the fixed server address, where discovery points the overlay.
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 \
  --script "$QUORVEL_SOURCE_DIR/tests/e2e/race/run.txt"
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' || e2e_fail "quorvel never connected"

shot() { # shot NAME CHECK: screenshots after the step until the step's picture shows
  local name=$1
  shift
  e2e_shot_until "$win" "$E2E_WORK/$name.png" "$@"
  [ -n "${E2E_SCREENSHOT_DIR:-}" ] && cp "$E2E_WORK/$name.png" "$E2E_SCREENSHOT_DIR/" || true
}
white() { e2e_count_where "$1" "$2" "$3" "$4" "$5" "r>0.85&&g>0.85&&b>0.85"; }
# lamp light is brighter in green than the cells' blue (G 74 to 82 of 255)
lamplit() { e2e_count_where "$1" "$2" "$3" "$4" "$5" "g>0.42"; }
expect_more() { [ "$1" -gt "$2" ] || e2e_fail "$3: $1, expected more than $2"; }
expect_less() { [ "$1" -lt "$2" ] || e2e_fail "$3: $1, expected less than $2"; }

# The headers of the new run; the pre-stage lamp lights only the upper half of its box.
prestage() {
  expect_more "$(white "$1" 227 31 290 22)" 40 "lane A's pilot line" &&
  expect_more "$(white "$1" 523 71 161 16)" 20 "lane B's category line" &&
  expect_more "$(lamplit "$1" 194 28 24 12)" 150 "pre-stage lamp A, upper half" &&
  expect_less "$(lamplit "$1" 194 46 24 10)" 10 "pre-stage lamp A, lower half" &&
  expect_less "$(white "$1" 692 25 929 71)" 1 "time cells before any time"
}
staged() {
  expect_more "$(lamplit "$1" 194 46 24 10)" 150 "stage lamp A, lower half" &&
  expect_more "$(lamplit "$1" 194 64 24 28)" 400 "lamps of lane B"
}
green() {
  expect_more "$(e2e_count_where "$1" 196 32 20 20 "g>0.55&&r<0.3&&b<0.4")" 200 "green lamp A"
}
times() {
  local cell
  for cell in "692 25" "817 25" "943 25" "1069 25" "1195 25" "1321 25" "692 61" "1069 61" "1321 61"; do
    set -- "$1" $cell
    expect_more "$(white "$1" "$2" "$3" 124 34)" 25 "time cell at $2,$3" || return 1
  done
  expect_more "$(white "$1" 1446 25 125 34)" 25 "lane A's outcome" &&
  # The chequered winner flag lies over the green lamp in lane A's box.
  expect_more "$(e2e_count_where "$1" 192 28 28 28 "abs(r-0.31)<0.08&&abs(g-0.30)<0.08&&abs(b-0.37)<0.08")" 20 \
    "winner flag in lane A's lamp box" &&
  expect_less "$(e2e_count_where "$1" 298 181 89 96 "!(r>0.99&&g<0.01&&b>0.99)")" 1 \
    "photo pixels before the lights-off view"
}
lightsoff() {
  expect_less "$(lamplit "$1" 192 28 28 64)" 10 "lamps after lights-off" &&
  expect_more "$(e2e_count_where "$1" 298 181 89 96 "!(r>0.99&&g<0.01&&b>0.99)")" 2000 "lane A's photo" &&
  expect_more "$(e2e_count_where "$1" 932 119 89 94 "!(r>0.99&&g<0.01&&b>0.99)")" 2000 "lane B's photo" &&
  expect_more "$(white "$1" 692 25 124 34)" 25 "lane A's reaction time comes back"
}

e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"APS-HIGH:"' || e2e_fail "the script stalled"
shot prestage prestage
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"e_AA-HIGH:' || e2e_fail "the script stalled"
shot staged staged
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"sA_Verde:' || e2e_fail "the script stalled"
shot green green
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"RA:0.412' || e2e_fail "the script stalled"
shot times times

# The operator ticks the camera box before the lamps go off.
xdotool mousemove --window "$win" 182 118 click 1
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"DesligouLampadas:"' || e2e_fail "the script stalled"
shot lightsoff lightsoff
e2e_wait_for "the photo file was not stored" test -f "$(dirname "$QUORVEL_BIN")/fotopilotos/piloto_102.jpg"

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
grep -q 'tcp recv .*"VurazeZO:Desconectou"' "$E2E_WORK/sim.log" && e2e_fail "a farewell was sent at shutdown"
e2e_log "PASS"
