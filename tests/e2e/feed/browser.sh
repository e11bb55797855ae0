#!/usr/bin/env bash
# The feed against the real overlay while the simulator plays a whole run: headless
# Chromium shows /program, and at each phase its picture is the operator's window where
# the window shows graphics (within 3 units a channel), and transparent where the window
# is magenta or shows a widget: the times, the lights-off view with the photos, the same
# once the widgets are cleared away, and the strip alone after the double click. /state
# and the patches /events sent carry the change of each key the run sends.
source "$(dirname "$0")/../lib/e2e.sh"
: "${QUORVEL_FEED_PROBE:?QUORVEL_FEED_PROBE must name feed-probe}"
command -v chromium >/dev/null || e2e_fail "chromium is not installed (scripts/setup installs it)"
command -v jq >/dev/null || e2e_fail "jq is not installed (scripts/setup installs it)"

feed=127.0.0.1:8765
printf '[Feed]\nListen=8765\n' >"$QUORVEL_CONFIG"

# The race's run, held after each phase until this test has looked at it (the file
# phase-N appears), and at its start until /events is being recorded. Each write ends with
# "@": on a loaded machine the overlay may read two writes at once, and without it the
# last message of one would run into the first of the next ("carA:Gol GTicod_pilotoB:103").
awk -v dir="$E2E_WORK" '
  /^[0-9]+ / && !/@$/ { $0 = $0 "@" }
  { print }
  /^!wait-connection/ { print "!wait-file " dir "/recording" }
  /^# phase: / { print "!wait-file " dir "/phase-" ++n }
' "$QUORVEL_SOURCE_DIR/tests/e2e/race/run.txt" >"$E2E_WORK/run.txt"
release() { : >"$E2E_WORK/phase-$1"; }
# hold N WHAT: waits until the script has stopped at hold N, before WHAT
hold() {
  e2e_wait_log "$E2E_WORK/sim.log" "waiting for file .*/phase-$1" || e2e_fail "the script stalled before $2"
}
# go_on_to N WHAT: lets the script past hold N - 1 and waits until it stops at hold N
go_on_to() {
  release $(($1 - 1))
  hold "$@"
}

e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --script "$E2E_WORK/run.txt"
e2e_start_quorvel
"$QUORVEL_FEED_PROBE" events "ws://$feed/events" "$E2E_WORK/events.jsonl" 2>"$E2E_WORK/events.log" &
e2e_track $!
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
e2e_wait_log "$E2E_WORK/events.jsonl" '^\{' || e2e_fail "no state document from /events: $(cat "$E2E_WORK/events.log")"
: >"$E2E_WORK/recording"

# The browser source, answering "match WINDOW.png PAGE.png" with how the two compare.
coproc BROWSER { exec "$QUORVEL_FEED_PROBE" browser "http://$feed/program" 1629 551 2>"$E2E_WORK/browser.log"; }
e2e_track "$BROWSER_PID"

# matches NAME CHECK...: takes the window and the page again until they agree (the page
# draws a moment after the window, and the clock may tick between the two pictures) and
# the counts "opaque N transparent N widget N wrong N partial N" pass CHECK (an fx of
# bash); partial counts the opaque ones that are partly transparent, as letters' edges are.
matches() {
  local name=$1 deadline=$((SECONDS + 60)) answer=""
  shift
  while :; do
    e2e_screenshot "$win" "$E2E_WORK/window-$name.png"
    echo "match $E2E_WORK/window-$name.png $E2E_WORK/page-$name.png" >&"${BROWSER[1]}"
    IFS= read -r -t 90 answer <&"${BROWSER[0]}" || e2e_fail "$name: the browser did not answer: $(tail -n 5 "$E2E_WORK/browser.log")"
    echo "$name: $answer" >>"$E2E_WORK/matches.log"
    local opaque transparent widget wrong partial
    read -r _ opaque _ transparent _ widget _ wrong _ partial <<<"$answer"
    [ "${answer%% *}" = opaque ] || e2e_fail "$name: $answer"
    if [ "$wrong" = 0 ] && (eval "$*"); then
      break
    fi
    [ "$SECONDS" -lt "$deadline" ] ||
      e2e_fail "$name: the page is not the window's picture: $answer (check: $*); first try: $(grep -m1 "^$name:" "$E2E_WORK/matches.log")"
    sleep 0.2
  done
  e2e_log "$name: the page is the window's picture: $answer"
  if [ -n "${E2E_SCREENSHOT_DIR:-}" ]; then
    cp "$E2E_WORK/window-$name.png" "$E2E_SCREENSHOT_DIR/feed-window-$name.png"
    cp "$E2E_WORK/page-$name.png" "$E2E_SCREENSHOT_DIR/feed-page-$name.png"
  fi
}

# get_state: /state now, the document alone, in state.json
get_state() {
  local fd
  exec {fd}<>"/dev/tcp/${feed%:*}/${feed#*:}" || e2e_fail "cannot connect to the feed"
  printf 'GET /state HTTP/1.1\r\nHost: localhost\r\n\r\n' >&"$fd"
  timeout 30 cat <&"$fd" | tr -d '\r' | sed '1,/^$/d' >"$E2E_WORK/state.json"
  exec {fd}>&-
}

# state_holds PATH JSON-VALUE: /state, asked again, has the value at the path
state_holds() { get_state && jq -e --argjson v "$2" "($1) == \$v" "$E2E_WORK/state.json"; }
# patch_sets PATH JSON-VALUE: a patch /events sent after the whole document sets it
patch_sets() { tail -n +2 "$E2E_WORK/events.jsonl" | jq -e -s --argjson v "$2" "any(.[]; ($1) == \$v)"; }
# key_changed KEY PATH JSON-VALUE: once the key has been applied, /state holds the value at
# the path (a jq path), and so does a patch /events sent after the whole document.
key_changed() {
  local key=$1 path=$2 value=$3
  e2e_until state_holds "$path" "$value" || true
  jq -e --argjson v "$value" "($path) == \$v" "$E2E_WORK/state.json" >/dev/null \
    || e2e_fail "$key: /state has $(jq -c "$path" "$E2E_WORK/state.json") at $path, expected $value"
  e2e_wait_for "$key: no patch from /events sets $path to $value" patch_sets "$path" "$value"
}
# keys_changed: key_changed on each line "KEY PATH JSON-VALUE" of its input
keys_changed() {
  local key path value
  while read -r key path value; do
    [ -n "$key" ] && key_changed "$key" "$path" "$value"
  done
  e2e_log "each key's change is in /state and in a patch from /events"
}

e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' || e2e_fail "quorvel never connected"

# The headers reach the strip with "Alinhar" (the lane's fields wait in its record until
# then). "mostraTempo" shows the times, which nothing covers yet: no change. "cod_pilotoA"
# and "cod_pilotoB" look the vehicles up in the database; their photos are the lights-off
# view's, checked below.
hold 1 "the pre-stage"
keys_changed <<'EOF'
num_pilotoA .lanes.A.number "2"
pilA        .lanes.A.pilot "Patrícia Tavares"
apelidoA    .lanes.A.nickname "Patty"
catA        .lanes.A.category "Dianteira Aspirado"
BatA        .lanes.A.heat "1"
carA        .lanes.A.vehicle "Gol GTi"
num_pilotoB .lanes.B.number "3"
pilB        .lanes.B.pilot "Maria Quintão"
catB        .lanes.B.category "Dianteira Aspirado"
BatB        .lanes.B.heat "1"
carB        .lanes.B.vehicle "Uno Turbo"
APS-HIGH    .lanes.A.lamps.preStage true
EOF
go_on_to 2 "the staged lamps"
keys_changed <<'EOF'
e_AA-HIGH .lanes.A.lamps.stage true
BPS-HIGH  .lanes.B.lamps.preStage true
e_BA-HIGH .lanes.B.lamps.stage true
EOF
go_on_to 3 "the green"
keys_changed <<'EOF'
sA_Verde .lanes.A.lamps.green true
sB_Verde .lanes.B.lamps.green true
EOF
go_on_to 4 "the times"
keys_changed <<'EOF'
RA     .lanes.A.times.reaction "0.412"
RB     .lanes.B.times.reaction "0.389"
PA     .lanes.A.times.sixtyFeet "1.654"
PB     .lanes.B.times.sixtyFeet "1.702"
CA     .lanes.A.times.hundredMetres "4.981"
CB     .lanes.B.times.hundredMetres "5.127"
TPA    .lanes.A.times.track "7.345"
VA     .lanes.A.times.speed "162.4"
TPB    .lanes.B.times.track "7.512"
VB     .lanes.B.times.speed "157.9"
FA     .lanes.A.times.total "7.757"
FB     .lanes.B.times.total "7.901"
GanhaA .lanes.A.outcome "winner"
GanhaA .lanes.A.status "VENCEU"
posA   .lanes.A.position "1º"
posB   .lanes.B.position "2º"
EOF
# The times with the operator's widgets beside them: transparent there.
matches times '[ "$opaque" -gt 20000 ] && [ "$transparent" -gt 500000 ] && [ "$widget" -gt 50000 ] && [ "$partial" -gt 100 ]'

# The operator ticks the camera box before the lamps go off: what lane A's messages send
# from now on goes to the bottom row; its lamps and reaction time shown stay on the top one.
xdotool mousemove --window "$win" 182 118 click 1
key_changed "the camera box" .cameraSwap true
jq -e '.lanes.A.row == "top" and .lanes.A.times.reaction == "0.412" and .lanes.A.pilot == "Patrícia Tavares"' \
  "$E2E_WORK/state.json" >/dev/null || e2e_fail "the camera box moved lane A: $(jq -c .lanes.A "$E2E_WORK/state.json")"
go_on_to 5 "the lights-off view"
keys_changed <<'EOF'
DesligouLampadas .lanes.A.lamps.green false
DesligouLampadas .lanes.B.lamps.green false
EOF
# the photos have come from the database once the page shows them: over 2000 pixels of
# each photo's box are opaque
photos='[ "$(page_opaque 298 181 89 96)" -gt 2000 ] && [ "$(page_opaque 932 119 89 94)" -gt 2000 ]'
page_opaque() { e2e_count_where "$E2E_WORK/page-$phase.png" "$@" "a>0.99"; }
phase=lights-off
matches lights-off '[ "$opaque" -gt 20000 ] && [ "$widget" -gt 50000 ] && '"$photos"
# A click on the strip's background clears the widgets away: the window shows the
# graphics alone, and the page has nothing transparent where the window is not magenta.
xdotool mousemove --window "$win" 470 12 click 1
phase=cleared
matches cleared '[ "$widget" = 0 ] && '"$photos"
# The double click leaves the strip alone, 104 rows high: so is the page's picture, and
# transparent below it.
xdotool mousemove --window "$win" 470 12 click --repeat 2 --delay 100 1
key_changed "the double click" .height 104
matches strip '[ "$opaque" -gt 160000 ]'

# The patches, applied in their order to the first document, make /state.
merge_patches='def merged($p):
  if ($p | type) == "object" then
    reduce ($p | keys_unsorted[]) as $k (if type == "object" then . else {} end;
      if $p[$k] == null then del(.[$k]) else .[$k] |= merged($p[$k]) end)
  else $p end;
reduce .[1:][] as $p (.[0]; merged($p))'
patches_make_state() {
  get_state
  jq -S . "$E2E_WORK/state.json" >"$E2E_WORK/state-sorted.json"
  jq -S -s "$merge_patches" "$E2E_WORK/events.jsonl" >"$E2E_WORK/events-merged.json"
  cmp -s "$E2E_WORK/state-sorted.json" "$E2E_WORK/events-merged.json"
}
e2e_until patches_make_state || true
cmp -s "$E2E_WORK/state-sorted.json" "$E2E_WORK/events-merged.json" \
  || e2e_fail "the patches do not make /state: $(diff "$E2E_WORK/state-sorted.json" "$E2E_WORK/events-merged.json" | head -n 20)"

exec {BROWSER[1]}>&-
e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
