# Shared by the end-to-end scenarios: a private network namespace, a private X server,
# the real quorvel, screenshots and pixel checks. Source it first thing in a scenario:
#   source "$(dirname "$0")/../lib/e2e.sh"
# The scenario then re-runs itself inside its own network namespace, where loopback is
# up, broadcasts to 255.255.255.255 stay on loopback and the fixed server address lives
# on loopback: nothing a test does can leave the machine.
set -euo pipefail

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${QUORVEL_BIN:?QUORVEL_BIN must name the quorvel executable}"
: "${QUORVEL_FIXED_SERVER:=192.168.0.100}"

if [ -z "${QUORVEL_E2E_INSIDE:-}" ]; then
  export QUORVEL_E2E_INSIDE=1
  exec unshare --net --fork -- "$BASH" "$0" "$@"
fi

ip link set lo up
ip route add 255.255.255.255/32 dev lo 2>/dev/null || true
ip addr add "$QUORVEL_FIXED_SERVER/32" dev lo 2>/dev/null || true

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
  local i
  for pid in "${E2E_PIDS[@]}"; do
    for i in $(seq 1 300); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
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

# Starts a private X server with a screen of 1920 x 1080 (the window is wider than
# Xvfb's default screen) and exports DISPLAY.
e2e_start_x() {
  local fdfile="$E2E_WORK/display"
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp -noreset 9>"$fdfile" \
    >"$E2E_WORK/xvfb.log" 2>&1 &
  e2e_track $!
  local i
  for i in $(seq 1 600); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  [ -s "$fdfile" ] || e2e_fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  e2e_log "X server on $DISPLAY"
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

# e2e_wait_window NAME [TIMEOUT-S]: prints the id of the first visible window whose
# title is NAME exactly.
e2e_wait_window() {
  local name=$1 timeout=${2:-30} id="" i
  for i in $(seq 1 $((timeout * 10))); do
    id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# e2e_wait_exit PID TIMEOUT-S: waits for the process (a child of this shell: don't call
# it in a subshell) and leaves its exit status in E2E_STATUS.
e2e_wait_exit() {
  local pid=$1 timeout=$2 i
  for i in $(seq 1 $((timeout * 10))); do
    if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
      E2E_STATUS=0
      wait "$pid" || E2E_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
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

# e2e_screenshot WINDOW-ID FILE: the window's client area as a PNG.
e2e_screenshot() { import -window "$1" "$2"; }

# e2e_shot_until WINDOW-ID FILE TIMEOUT-S CHECK [ARGS...]: screenshots of the window into
# FILE until "CHECK ARGS... FILE" holds. The overlay paints when its event loop gets to
# it, later on a busy machine, so a scenario waits for what it checks instead of sleeping.
# CHECK fails with e2e_fail or a non-zero status; the tries run in a subshell, and a
# check that never held runs once more in this shell to fail the scenario with its text.
e2e_shot_until() {
  local win=$1 file=$2 deadline=$((SECONDS + $3))
  shift 3
  while [ "$SECONDS" -lt "$deadline" ]; do
    if e2e_screenshot "$win" "$file" 2>/dev/null && ( "$@" "$file" ) >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.2
  done
  e2e_screenshot "$win" "$file"
  "$@" "$file" || e2e_fail "$* did not hold within the wait"
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

# e2e_count_colour FILE X Y W H "R,G,B": how many pixels of the area have that colour.
e2e_count_colour() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 rgb=$6
  convert "$file" -crop "${w}x${h}+${x}+${y}" +repage -fill black +opaque "rgb($rgb)" \
    -fill white -opaque "rgb($rgb)" -format '%[fx:int(mean*w*h+0.5)]' info:
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

# e2e_wait_log FILE PATTERN TIMEOUT-S: waits until a line of the file matches (grep -E).
e2e_wait_log() {
  local file=$1 pattern=$2 timeout=$3 i
  for i in $(seq 1 $((timeout * 10))); do
    grep -qE -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# e2e_count_where FILE X Y W H FX-CONDITION: how many pixels of the area satisfy an
# ImageMagick fx condition on r, g, b (0 to 1), e.g. "r>0.8&&g>0.8&&b>0.8".
e2e_count_where() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 condition=$6
  convert "$file" -crop "${w}x${h}+${x}+${y}" +repage -fx "($condition)?1:0" \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# e2e_press_default_button WINDOW-ID: dismisses a message box with its default button.
# Without a window manager the box gets the keyboard once clicked.
e2e_press_default_button() {
  xdotool mousemove --window "$1" 20 20 click 1
  xdotool key Return
}

# Starts a private X server with two screens of 1920 x 1080 (Qt's screens 0 and 1, the
# second reached as "$DISPLAY.1") and exports DISPLAY, the first screen's.
e2e_start_x_two_screens() {
  local fdfile="$E2E_WORK/display"
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -screen 1 1920x1080x24 -nolisten tcp -noreset 9>"$fdfile" \
    >"$E2E_WORK/xvfb.log" 2>&1 &
  e2e_track $!
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  [ -s "$fdfile" ] || e2e_fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  e2e_log "X server on $DISPLAY with two screens"
}

# e2e_differing A.png B.png: how many pixels of two pictures of one size differ by more
# than a tolerance (anti-aliased text differs by a unit or two between processors).
e2e_differing() {
  compare -metric AE -fuzz 5% "$1" "$2" null: 2>&1 | awk '{printf "%d\n", $1}'
}
