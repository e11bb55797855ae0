#!/usr/bin/env bash
# Message to pixels in a browser, the way bench/latency/onair.sh times the overlay's own
# window: bench_damage plays the timing server and times each message until the X server
# reports DAMAGE on the changed time's box. Here, beside each other in one run:
#   overlay_alone    the overlay's window, with the feed on and no client
#   overlay_clients  the same with CLIENTS headless Chromium tabs on /program
#   overlay_sockets  the same with CLIENTS plain WebSockets on /program instead, which read
#                    and do nothing more: the overlay's side alone, without the browsers'
#                    work on the same processors
#   feed_page        /program in a Chromium window (the browser source)
#   handwritten_page bench/feed/overlay.html in a Chromium window, each message sent to it
#                    over a WebSocket by bench_feed_sender: what a crew would write by hand
#   QUORVEL_BIN=... QUORVEL_SIM=... QUORVEL_SOURCE_DIR=... QUORVEL_DAMAGE=... \
#   QUORVEL_FEED_SENDER=... QUORVEL_FEED_CLIENTS=... browser.sh [MESSAGES [CLIENTS]]
# Prints "figure<TAB>value" lines, bench_damage's damage_* figures under those names.
: "${QUORVEL_SOURCE_DIR:?}"
source "$QUORVEL_SOURCE_DIR/tests/e2e/lib/e2e.sh"
: "${QUORVEL_DAMAGE:?QUORVEL_DAMAGE must name bench_damage}"
: "${QUORVEL_FEED_SENDER:?QUORVEL_FEED_SENDER must name bench_feed_sender}"
: "${QUORVEL_FEED_CLIENTS:?QUORVEL_FEED_CLIENTS must name bench_feed_clients}"
messages=${1:-2000}
clients=${2:-10}

# lbl60A (written by "PA") and lblHora, in the window's client area and so in the page
label=(851 32 60 20)
clock=(35 74 97 15)
feed=127.0.0.1:8765

printf '[Feed]\nListen=%s\n' "$feed" >"$QUORVEL_CONFIG"
e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
# The simulator only answers discovery; its own TCP port is not the overlay's.
e2e_start_sim --listen 127.0.0.1:3399 --udp 0.0.0.0:3334
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3" 120) || e2e_fail "the overlay window never appeared"

# probe NAME WINDOW ADDRESS PORT: bench_damage on the window, its figures renamed
probe() {
  local name=$1 window=$2
  e2e_log "$name: $messages messages, window $window"
  "$QUORVEL_DAMAGE" --window "$window" --listen "$3:$4" --label "$(IFS=,; echo "${label[*]}")" \
    --clock "$(IFS=,; echo "${clock[*]}")" --messages "$messages" >"$E2E_WORK/$name.tsv" \
    || e2e_fail "$name: the damage probe failed"
  sed -n "s/^damage_/${name}_/p" "$E2E_WORK/$name.tsv"
}

# start_browser NAME ARGS...: bench_feed_clients ARGS, kept until stop_browser NAME
start_browser() {
  local name=$1 answer=""
  shift
  mkfifo "$E2E_WORK/$name.in"
  "$QUORVEL_FEED_CLIENTS" "$@" <"$E2E_WORK/$name.in" >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" &
  e2e_track $!
  eval "${name}_pid=$!"
  exec {fd}>"$E2E_WORK/$name.in"
  eval "${name}_fd=$fd"
  for _ in $(seq 1 1200); do
    answer=$(cat "$E2E_WORK/$name.out")
    [ -n "$answer" ] && break
    kill -0 "$(eval echo "\$${name}_pid")" 2>/dev/null || break
    sleep 0.1
  done
  [ "$answer" = ready ] || e2e_fail "$name: the browser did not get ready: $(tail -n 3 "$E2E_WORK/$name.err")"
}
stop_browser() {
  local fd pid
  fd=$(eval echo "\$${1}_fd")
  pid=$(eval echo "\$${1}_pid")
  exec {fd}>&-
  wait "$pid" || true
}
# the window Chromium shows the page in: the topmost of its windows with the page's title
chromium_window() {
  local id=""
  for _ in $(seq 1 600); do
    id=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | tail -n1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || e2e_fail "no window for \"$1\""
  echo "$id"
}

# The overlay's own figure, without clients and then with them.
probe overlay_alone "$win" "$QUORVEL_FIXED_SERVER" 3335
start_browser clients "http://$feed/program" "$clients" "window.quorvelMessages >= 1"
probe overlay_clients "$win" "$QUORVEL_FIXED_SERVER" 3335
stop_browser clients
start_browser sockets --sockets "ws://$feed/program" "$clients"
probe overlay_sockets "$win" "$QUORVEL_FIXED_SERVER" 3335
stop_browser sockets

# The browser source in a window over the overlay's (the overlay draws the feed's
# pictures itself, shown or not).
start_browser source --window "http://$feed/program" 1 "window.quorvelMessages >= 1"
shot() { [ -z "${E2E_SCREENSHOT_DIR:-}" ] || import -window root "$E2E_SCREENSHOT_DIR/bench-$1.png"; }
shot feed-page
probe feed_page "$(chromium_window "quorvel program")" "$QUORVEL_FIXED_SERVER" 3335
stop_browser source

# The hand-written page: its sender takes the timing messages on another port, which
# the overlay does not connect to.
"$QUORVEL_FEED_SENDER" 8766 127.0.0.1 3336 >"$E2E_WORK/sender.log" 2>&1 &
e2e_track $!
start_browser handwritten --window "file://$QUORVEL_SOURCE_DIR/bench/feed/overlay.html?port=8766" 1 \
  "socket.readyState === WebSocket.OPEN"
shot handwritten-page
probe handwritten_page "$(chromium_window "hand-written overlay")" 127.0.0.1 3336
stop_browser handwritten
