# Shared by the end-to-end scenarios: a private network namespace, a private X server,
# the real quorvel, screenshots and pixel checks. Source it first thing in a scenario:
#   source "$(dirname "$0")/../lib/e2e.sh"
# The scenario then re-runs itself inside its own network namespace (made by
# tests/support/in-private-network, as for every test), where loopback is up, broadcasts
# to 255.255.255.255 stay on loopback and the fixed server address lives on loopback:
# nothing a test does can leave the machine.
set -euo pipefail

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${QUORVEL_BIN:?QUORVEL_BIN must name the quorvel executable}"
: "${QUORVEL_FIXED_SERVER:=192.168.0.100}"

if [ -z "${QUORVEL_E2E_INSIDE:-}" ]; then
  export QUORVEL_E2E_INSIDE=1 QUORVEL_FIXED_SERVER
  exec "$E2E_LIB_DIR/../../support/in-private-network" "$BASH" "$0" "$@"
fi

E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-e2e.XXXXXX")
E2E_PIDS=()
export XDG_RUNTIME_DIR="$E2E_WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The single-instance locks of this scenario's copies, apart from any other copy on the
# computer.
export QUORVEL_LOCK_DIR="$E2E_WORK/locks"
mkdir -p "$QUORVEL_LOCK_DIR"
# An installer's file in /etc never changes a test: every run reads a file of its own,
# empty for the defaults; a scenario writes its settings there before starting quorvel.
export QUORVEL_CONFIG="$E2E_WORK/quorvel.conf"
: >"$QUORVEL_CONFIG"
# quorvel stores the pilots' photos beside its executable: every scenario runs a copy of its
# own, so that scenarios running side by side never share that folder.
mkdir -p "$E2E_WORK/bin"
cp "$QUORVEL_BIN" "$E2E_WORK/bin/quorvel"
export QUORVEL_BIN=$E2E_WORK/bin/quorvel

e2e_log() { printf '[%s] %s\n' "$(date +%H:%M:%S.%3N)" "$*" >&2; }
e2e_fail() { e2e_log "FAIL: $*"; exit 1; }

# The one bound of every wait in a scenario. What a scenario waits for (a window, a line
# in a log, a picture, a process's end) comes within seconds; the bound is far beyond that,
# so that a busy machine never fails a scenario, while one that is broken still ends with
# the text of what never came.
E2E_WAIT_S=90

# e2e_until COMMAND [ARGS...]: runs the command (in a subshell, its output thrown away)
# until it succeeds; returns 1 if it never does within the bound.
e2e_until() {
  local deadline=$((SECONDS + E2E_WAIT_S))
  until ( "$@" ) >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# e2e_wait_for WHAT COMMAND [ARGS...]: waits until the command succeeds; fails the
# scenario with WHAT (what went wrong if it never does) otherwise.
e2e_wait_for() {
  local what=$1
  shift
  e2e_until "$@" || e2e_fail "$what"
}

# e2e_holds SECONDS COMMAND [ARGS...]: the command succeeds on every try for that long; for
# what must NOT happen, where no event tells that it has had its chance.
e2e_holds() {
  local until=$(($(date +%s%3N) + $1 * 1000))
  shift
  while :; do
    ( "$@" ) >/dev/null 2>&1 || return 1
    [ "$(date +%s%3N)" -lt "$until" ] || return 0
    sleep 0.1
  done
}

# e2e_wait_output COMMAND [ARGS...]: prints the command's first output that is not empty;
# returns 1 if there is none within the bound.
e2e_wait_output() {
  local deadline=$((SECONDS + E2E_WAIT_S)) out
  while :; do
    out=$("$@" 2>/dev/null || true)
    [ -n "$out" ] && { printf '%s\n' "$out"; return 0; }
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# e2e_alive PID: the process runs (a zombie, ended but not yet waited for, does not).
e2e_alive() { kill -0 "$1" 2>/dev/null && [ "$(ps -o stat= -p "$1" 2>/dev/null | cut -c1)" != Z ]; }
e2e_gone() { ! e2e_alive "$1"; }

e2e_cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${E2E_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  # The database server is no child of this shell: wait until it has gone, since one still
  # writing its files makes the removal fail, and the cleanup must never change the result.
  for pid in "${E2E_PIDS[@]}"; do
    e2e_until e2e_gone "$pid" || true
  done
  if [ -n "${E2E_KEEP:-}" ]; then
    e2e_log "work folder kept: $E2E_WORK"
  else
    rm -rf "$E2E_WORK" 2>/dev/null || rm -rf "$E2E_WORK" || true
  fi
}
trap e2e_cleanup EXIT

# e2e_track PID: stopped at the end of the scenario.
e2e_track() { E2E_PIDS+=("$1"); }

# e2e_start_x [SCREENS]: starts a private X server with one screen (or that many) of
# 1920 x 1080 and exports DISPLAY, the first screen's; the window is wider than Xvfb's
# default screen. A second screen is Qt's screen 1, reached as "$DISPLAY.1".
e2e_start_x() {
  local fdfile="$E2E_WORK/display" screens=() n
  for n in $(seq 0 $((${1:-1} - 1))); do
    screens+=(-screen "$n" 1920x1080x24)
  done
  Xvfb -displayfd 9 "${screens[@]}" -nolisten tcp -noreset 9>"$fdfile" >"$E2E_WORK/xvfb.log" 2>&1 &
  e2e_track $!
  e2e_wait_for "Xvfb did not start: $(cat "$E2E_WORK/xvfb.log")" test -s "$fdfile"
  export DISPLAY=":$(head -n1 "$fdfile")"
  e2e_log "X server on $DISPLAY with ${1:-1} screen(s)"
}

# e2e_x11_close WINDOW-ID: the close box.
e2e_x11_close() { "$QUORVEL_X11_CLOSE" "$1"; }

# Starts quorvel in the background; its pid in QUORVEL_PID, its output in quorvel.log.
e2e_start_quorvel() {
  "$QUORVEL_BIN" >"$E2E_WORK/quorvel.log" 2>&1 &
  QUORVEL_PID=$!
  e2e_track "$QUORVEL_PID"
  e2e_log "quorvel started, pid $QUORVEL_PID"
}

# e2e_wait_window NAME: prints the id of the first visible window whose title is NAME
# exactly.
e2e_wait_window() { e2e_wait_output e2e_window_named "$1"; }
e2e_window_named() { xdotool search --onlyvisible --name "^${1}\$" 2>/dev/null | head -n1; }

# e2e_wait_exit PID: waits for the process (a child of this shell: don't call it in a
# subshell) and leaves its exit status in E2E_STATUS.
e2e_wait_exit() {
  e2e_until e2e_gone "$1" || return 1
  E2E_STATUS=0
  wait "$1" || E2E_STATUS=$?
}

# e2e_geometry WINDOW-ID: prints "X Y WIDTH HEIGHT" of the window's client area on screen.
e2e_geometry() {
  local info
  info=$(xwininfo -id "$1")
  printf '%s %s %s %s\n' \
    "$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")" \
    "$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")" \
    "$(awk '/^ *Width:/ {print $2}' <<<"$info")" \
    "$(awk '/^ *Height:/ {print $2}' <<<"$info")"
}

# e2e_height_is WINDOW-ID HEIGHT: the window's client area is that high (104 once the
# double click has left the strip alone).
e2e_height_is() {
  local h
  read -r _ _ _ h < <(e2e_geometry "$1")
  [ "$h" = "$2" ]
}

# e2e_screenshot WINDOW-ID FILE: the window's client area as a PNG.
e2e_screenshot() { import -window "$1" "$2"; }

# e2e_shot_until WINDOW-ID FILE CHECK [ARGS...]: screenshots of the window into FILE until
# "CHECK ARGS... FILE" holds. The overlay paints when its event loop gets to it, later on a
# busy machine, so a scenario waits for what it checks instead of sleeping. CHECK fails
# with e2e_fail or a non-zero status; the tries run in a subshell, and a check that never
# held runs once more in this shell to fail the scenario with its text.
e2e_shot_until() {
  local win=$1 file=$2
  shift 2
  e2e_until e2e_shot_holds_now "$win" "$file" "$@" && return 0
  e2e_screenshot "$win" "$file"
  "$@" "$file" || e2e_fail "$* did not hold within the wait"
}
e2e_shot_holds_now() {
  local win=$1 file=$2
  shift 2
  e2e_screenshot "$win" "$file" && "$@" "$file"
}

# e2e_shot_holds WINDOW-ID FILE SECONDS CHECK [ARGS...]: the check holds on every
# screenshot for that long: for what an action must NOT change, where no event tells
# that the overlay has handled it.
e2e_shot_holds() {
  local win=$1 file=$2 until=$((SECONDS + $3))
  shift 3
  while :; do
    e2e_screenshot "$win" "$file"
    "$@" "$file" || e2e_fail "$* stopped holding"
    [ "$SECONDS" -lt "$until" ] || return 0
    sleep 0.2
  done
}

# e2e_pixel FILE X Y: prints the pixel's colour as "R,G,B" (0 to 255).
e2e_pixel() {
  convert "$1" -crop "1x1+$2+$3" -depth 8 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}

# e2e_expect_pixel FILE X Y "R,G,B" WHAT
e2e_expect_pixel() {
  local got
  got=$(e2e_pixel "$1" "$2" "$3")
  [ "$got" = "$4" ] || e2e_fail "$5: pixel ($2, $3) is $got, expected $4"
}

# e2e_count_colour FILE X Y W H "R,G,B": how many pixels of the area have that colour (a
# whole number, however many).
e2e_count_colour() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 rgb=$6
  convert "$file" -crop "${w}x${h}+${x}+${y}" +repage -fill black +opaque "rgb($rgb)" \
    -fill white -opaque "rgb($rgb)" -precision 16 -format '%[fx:int(mean*w*h+0.5)]' info:
}

# e2e_key_around SCREEN.png "R,G,B" X Y W H: the screenshot of a whole screen has the key
# colour everywhere outside the picture's box (X, Y, W x H), as a program output on air.
e2e_key_around() {
  local sw sh all inside
  read -r sw sh < <(identify -format '%w %h\n' "$1")
  all=$(e2e_count_colour "$1" 0 0 "$sw" "$sh" "$2")
  inside=$(e2e_count_colour "$1" "$3" "$4" "$5" "$6" "$2")
  [ $((all - inside)) = $((sw * sh - $5 * $6)) ]
}

# e2e_start_db [SQL_FILE...]: a private MariaDB with the race schema (and the given data),
# reached by quorvel's empty host through its socket.
e2e_start_db() {
  local dir="$E2E_WORK/db"
  local pid
  pid=$("$QUORVEL_SOURCE_DIR/tests/support/mariadb-private" "$dir/data" "$dir/mysqld.sock" 3306 \
    "$QUORVEL_SOURCE_DIR/sql/schema.sql" "$@") || e2e_fail "the test database did not start"
  E2E_DB_PID=$pid
  e2e_track "$pid"
  export MYSQL_UNIX_PORT="$dir/mysqld.sock"
  e2e_log "database on $MYSQL_UNIX_PORT, pid $pid"
}

# e2e_start_sim ARGS...: the timing-server simulator, its log in sim.log.
e2e_start_sim() {
  "$QUORVEL_SIM" --log "$E2E_WORK/sim.log" "$@" >"$E2E_WORK/sim.out" 2>&1 &
  E2E_SIM_PID=$!
  e2e_track "$E2E_SIM_PID"
}

# e2e_wait_log FILE PATTERN: waits until a line of the file matches (grep -E).
e2e_wait_log() { e2e_until grep -qE -- "$2" "$1"; }

# e2e_count_where FILE X Y W H FX-CONDITION: how many pixels of the area satisfy an
# ImageMagick fx condition on r, g, b (0 to 1), e.g. "r>0.8&&g>0.8&&b>0.8".
e2e_count_where() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 condition=$6
  convert "$file" -crop "${w}x${h}+${x}+${y}" +repage -fx "($condition)?1:0" \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# e2e_expect_refusal WHAT [EXPECTED...]: the quorvel just started refuses to start: its
# error box comes up and no overlay window, its output holds every expected text and no
# database error (the refusal comes before the database is tried), and OK ends it with
# status 1.
e2e_expect_refusal() {
  local what=$1 box want
  shift
  box=$(e2e_wait_window "Application Error") || e2e_fail "$what: no error box: $(cat "$E2E_WORK/quorvel.log")"
  [ -z "$(e2e_window_named "VYD - Quorvel V3")" ] || e2e_fail "$what: the overlay window is shown"
  for want in "$@"; do
    grep -qF -- "$want" "$E2E_WORK/quorvel.log" || e2e_fail "$what: \"$want\" not in: $(cat "$E2E_WORK/quorvel.log")"
  done
  ! grep -q "SQL Error" "$E2E_WORK/quorvel.log" || e2e_fail "$what: the database was tried before the refusal"
  e2e_press_default_button "$box"
  e2e_wait_exit "$QUORVEL_PID" || e2e_fail "$what: quorvel did not end after the box"
  [ "$E2E_STATUS" = 1 ] || e2e_fail "$what: exit status $E2E_STATUS, expected 1"
  e2e_log "$what: refused"
}

# e2e_press_default_button WINDOW-ID: dismisses a message box with its default button.
# Without a window manager the box gets the keyboard once clicked.
e2e_press_default_button() {
  xdotool mousemove --window "$1" 20 20 click 1
  xdotool key Return
}

# e2e_differing A.png B.png [--fuzz PERCENT]: how many pixels of two pictures of one size
# differ by more than anti-aliasing explains: the one rule by which a scenario calls two
# pictures alike (anti-aliased text differs by a unit or two between processors; an edge
# moved by a pixel differs by far more). A caller that must allow less names its fuzz.
# Pictures that cannot be compared (another size, a missing file) fail the scenario.
e2e_differing() {
  local fuzz=5% out status=0
  [ "${3:-}" = --fuzz ] && fuzz=$4
  # compare counts only where two sizes overlap: pictures of two sizes are not alike
  [ "$(identify -format '%wx%h' "$1")" = "$(identify -format '%wx%h' "$2")" ] ||
    e2e_fail "cannot compare $1 with $2: the sizes differ"
  out=$(compare -metric AE -fuzz "$fuzz" "$1" "$2" null: 2>&1) || status=$?
  [ "$status" -le 1 ] && [[ $out =~ ^[0-9] ]] || e2e_fail "cannot compare $1 with $2: $out"
  awk '{printf "%d\n", $1}' <<<"$out"
}
