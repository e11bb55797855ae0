#!/usr/bin/env bash
# A race day with a reset, a silence and a run whose lights go off on the pilots' photos is
# played to the real overlay with its journal on; the journal is then played by the
# simulator to a second overlay, also journalling. The second overlay receives the bytes
# the first did and shows the same pictures at the green and at the end, photos included.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"

# The bytes of a journal's chunks, one after the other: the text of every line that is
# not a directive, its escapes undone.
chunk_bytes() {
  local line
  cat "$@" | sed -n 's/^\[[^]]*\] [0-9]* //p' | grep -v '^!' | while IFS= read -r line; do
    printf '%b' "$line"
  done
}

# journal_has_times NAME: lane B's place is in the journal (the glob read anew each time)
journal_has_times() { grep -qs 'posB:2\\xBA' "$E2E_WORK/$1"/journal-*.txt; }

# play NAME SIM-ARGS...: one overlay journalling into NAME/, fed by a simulator, until the
# run's times are on the strip; its journal and picture stay in the work folder.
play() {
  local name=$1
  shift
  printf '[Journal]\nFolder=%s\nMaxMegabytes=5\n' "$E2E_WORK/$name" >"$QUORVEL_CONFIG"
  e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 "$@"
  e2e_start_quorvel
  win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "$name: the overlay window never appeared"
  # After the reconnection, in the silence: the green lamps.
  e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"sA_Verde' || e2e_fail "$name: the day never reached the green"
  green_shown() { [ "$(e2e_count_where "$1" 196 32 20 20 "g>0.55&&r<0.3&&b<0.4")" -gt 200 ]; }
  e2e_shot_until "$win" "$E2E_WORK/$name-green.png" green_shown
  e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"RA:0.412' || e2e_fail "$name: the day never reached its times"
  # The operator ticks the camera box after the times, so the lights going off bring the
  # photos.
  xdotool mousemove --window "$win" 182 118 click 1
  e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"DesligouLampadas:' || e2e_fail "$name: the lights never went off"
  e2e_wait_log "$E2E_WORK/sim.log" 'script done' || e2e_fail "$name: the script did not end"
  # Written by the journal's own thread: wait for it to land.
  e2e_wait_for "$name: the journal lacks the times" journal_has_times "$name"
  lights_off_shown() {
    [ "$(e2e_count_where "$1" 692 25 124 34 "r>0.85&&g>0.85&&b>0.85")" -gt 25 ] &&
      [ "$(e2e_count_where "$1" 298 181 89 96 "!(r>0.99&&g<0.01&&b>0.99)")" -gt 2000 ] &&
      [ "$(e2e_count_where "$1" 932 119 89 94 "!(r>0.99&&g<0.01&&b>0.99)")" -gt 2000 ]
  }
  e2e_shot_until "$win" "$E2E_WORK/$name.png" lights_off_shown
  e2e_x11_close "$win"
  e2e_wait_exit "$QUORVEL_PID" || e2e_fail "$name: quorvel did not end"
  [ "$E2E_STATUS" = 0 ] || e2e_fail "$name: exit status $E2E_STATUS"
  kill "$E2E_SIM_PID"
  wait "$E2E_SIM_PID" 2>/dev/null || true
  mv "$E2E_WORK/sim.log" "$E2E_WORK/$name-sim.log"
  e2e_log "$name: $(cat "$E2E_WORK/$name"/journal-*.txt | wc -l) journal lines"
}

play first --script "$QUORVEL_SOURCE_DIR/tests/e2e/journal/day.txt"
first=("$E2E_WORK"/first/journal-*.txt)
grep -q '!reset$' "${first[@]}" || e2e_fail "the reset is not in the first journal"
[ "$(grep -c '!wait-connection$' "${first[@]}")" -ge 2 ] || e2e_fail "the reconnection is not in the first journal"
chunk_bytes "${first[@]}" >"$E2E_WORK/first.bytes"
grep 'tcp sent' "$E2E_WORK/first-sim.log" | sed 's/.*tcp sent [^ ]* "//; s/"$//' | while IFS= read -r line; do
  printf '%b' "$line"
done >"$E2E_WORK/sent.bytes"
cmp "$E2E_WORK/sent.bytes" "$E2E_WORK/first.bytes" || e2e_fail "the first journal does not hold what the server sent"

# The journal played back as it is, twice as fast.
if [ "${#first[@]}" -gt 1 ]; then
  cat "${first[@]}" >"$E2E_WORK/first-day.txt"
else
  cp "${first[0]}" "$E2E_WORK/first-day.txt"
fi
play second --script "$E2E_WORK/first-day.txt" --speed 2
second=("$E2E_WORK"/second/journal-*.txt)
grep -q '!reset$' "${second[@]}" || e2e_fail "the replay did not reset the link"
chunk_bytes "${second[@]}" >"$E2E_WORK/second.bytes"
cmp "$E2E_WORK/first.bytes" "$E2E_WORK/second.bytes" || e2e_fail "the second overlay received other bytes"

# The strips alike at the green and at the end, and the photos at the end; the clock
# (lblHora) is masked, as a minute may pass. Below the strip only the photos' boxes are
# compared: the logs there hold the time of day.
strip() { convert "$1" -crop 1629x104+0+0 +repage -fill black -draw "rectangle 30,70 136,92" "$2"; }
photos() { convert "$1" \( +clone -crop 89x96+298+181 +repage \) \( -clone 0 -crop 89x94+932+119 +repage \) \
  -delete 0 +append "$2"; }
alike() { # alike WHAT FIRST SECOND
  # compare's status is 1 when any pixel differs: the count decides.
  differing=$(e2e_differing "$2" "$3") || true
  e2e_log "$1: $differing pixels differ"
  [ -n "$differing" ] && [ "$differing" -lt 50 ] || e2e_fail "$1: ${differing:-?} pixels differ"
}
for mark in green ""; do
  strip "$E2E_WORK/first${mark:+-$mark}.png" "$E2E_WORK/first-strip.png"
  strip "$E2E_WORK/second${mark:+-$mark}.png" "$E2E_WORK/second-strip.png"
  alike "the strips at the ${mark:-end}" "$E2E_WORK/first-strip.png" "$E2E_WORK/second-strip.png"
done
photos "$E2E_WORK/first.png" "$E2E_WORK/first-photos.png"
photos "$E2E_WORK/second.png" "$E2E_WORK/second-photos.png"
alike "the photos at the end" "$E2E_WORK/first-photos.png" "$E2E_WORK/second-photos.png"
e2e_log "PASS"
