#!/usr/bin/env bash
# The demo from a fresh clone, without a display: it runs under its own X server, plays the
# demo championship's races to the real quorvel, and leaves screenshots in which the strip
# shows the pilots, the lamps, the times and, in the lights-off view, the photos. Ctrl-C
# stops everything it started. (scripts/demo makes its own private network namespace.)
set -euo pipefail
: "${QUORVEL_SOURCE_DIR:?}" "${QUORVEL_SIM:?}"

build=${QUORVEL_SIM%/tools/simulator/quorvel-sim}
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-demo-test.XXXXXX")
log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
fail() { log "FAIL: $*"; exit 1; }
cleanup() {
  [ -n "${demo_pid:-}" ] && kill -TERM -- "-$demo_pid" 2>/dev/null || true
  [ -n "${E2E_KEEP:-}" ] && log "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

# A fresh clone holds the tracked files only: the demo must need nothing else of the tree.
clone=$work/clone
mkdir -p "$clone"
if git -C "$QUORVEL_SOURCE_DIR" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$QUORVEL_SOURCE_DIR" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$clone" 2>/dev/null) || true
  [ -x "$clone/scripts/demo" ] || fail "the copy of the tree holds no scripts/demo"
else
  clone=$QUORVEL_SOURCE_DIR
fi

# The demo's own work folder is named on its output; its pid list is kept there.
work_of() { sed -n 's/^demo: work folder (logs): //p' "$1" | head -n1; }
all_stopped() {
  local pid
  for pid in $(cat "$1/pids"); do
    kill -0 "$pid" 2>/dev/null && { log "pid $pid still runs: $(ps -o args= -p "$pid")"; return 1; }
  done
  return 0
}

# --- a timed run ------------------------------------------------------------------------
shots=$work/shots
log "scripts/demo --duration 55"
env -u DISPLAY -u WAYLAND_DISPLAY QUORVEL_BUILD_DIR="$build" QUORVEL_DEMO_NO_BUILD=1 \
  "$clone/scripts/demo" --duration 55 --every 2 --screenshots "$shots" >"$work/demo.out" 2>&1 \
  || { cat "$work/demo.out" >&2; fail "scripts/demo failed"; }
cat "$work/demo.out" >&2
grep -q "screenshots every 2s in $shots" "$work/demo.out" || fail "the screenshot folder was not named"
demo_work=$(work_of "$work/demo.out")
[ -d "$demo_work" ] || fail "the demo's work folder was not named"
all_stopped "$demo_work" || fail "the demo left processes behind"
grep -q 'tcp recv .*"Quorvel:Conectado"' "$demo_work/sim.log" || fail "quorvel never connected to the simulator"

count=$(ls "$shots"/shot-*.png 2>/dev/null | wc -l)
[ "$count" -ge 10 ] || fail "only $count screenshots"

where() { # where FILE X Y W H CONDITION: pixels of the area that satisfy it
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -fx "($6)?1:0" -format '%[fx:int(mean*w*h+0.5)]' info:
}
white="r>0.85&&g>0.85&&b>0.85"
best_names=0 best_lamps=0 best_green=0 best_times=0 best_photos=0 names_shot=""
for f in "$shots"/shot-*.png; do
  # both pilot lines: the names of the demo championship's pilots in white
  a=$(where "$f" 227 31 290 22 "$white")
  b=$(where "$f" 227 67 290 22 "$white")
  names=$((a < b ? a : b))
  [ "$names" -gt "$best_names" ] && best_names=$names && names_shot=$f
  lamps=$(where "$f" 194 28 24 64 "g>0.42")
  [ "$lamps" -gt "$best_lamps" ] && best_lamps=$lamps
  green=$(where "$f" 196 32 20 56 "g>0.55&&r<0.3&&b<0.4")
  [ "$green" -gt "$best_green" ] && best_green=$green
  times=$(where "$f" 692 25 880 71 "$white")
  [ "$times" -gt "$best_times" ] && best_times=$times
  photos=$(where "$f" 298 181 89 96 "!(r>0.99&&g<0.01&&b>0.99)")
  [ "$photos" -gt "$best_photos" ] && best_photos=$photos
done
log "best: names $best_names, lamps $best_lamps, green $best_green, times $best_times, photo $best_photos"
[ "$best_names" -gt 40 ] || fail "no screenshot shows both pilots' names"
[ "$best_lamps" -gt 300 ] || fail "no screenshot shows the start-tree lamps lit"
[ "$best_green" -gt 200 ] || fail "no screenshot shows the green lamps"
[ "$best_times" -gt 400 ] || fail "no screenshot shows the times"
[ "$best_photos" -gt 2000 ] || fail "no screenshot shows the lights-off view's photo"
# The accents: the name line of the shot with the names is the one the database and the
# script agree on, not an empty or garbled one (a name in UTF-8 bytes would be wider).
a=$(where "$names_shot" 227 31 290 22 "$white")
[ "$a" -lt 900 ] || fail "lane A's name line is implausibly full ($a white pixels)"

# --- Ctrl-C -----------------------------------------------------------------------------
log "scripts/demo, then Ctrl-C"
set -m # the demo in a process group of its own, as at a terminal
env -u DISPLAY -u WAYLAND_DISPLAY QUORVEL_BUILD_DIR="$build" QUORVEL_DEMO_NO_BUILD=1 \
  "$clone/scripts/demo" --every 1 --screenshots "$work/shots2" >"$work/demo2.out" 2>&1 &
demo_pid=$!
set +m
for _ in $(seq 1 600); do
  ls "$work/shots2"/shot-0002.png >/dev/null 2>&1 && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
[ -f "$work/shots2/shot-0002.png" ] || { cat "$work/demo2.out" >&2; fail "the demo took no screenshots"; }
kill -INT -- "-$demo_pid"
status=0
for _ in $(seq 1 300); do
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$demo_pid" 2>/dev/null && fail "the demo still runs 30 s after Ctrl-C"
wait "$demo_pid" || status=$?
demo_pid=""
cat "$work/demo2.out" >&2
[ "$status" = 130 ] || fail "exit status $status after Ctrl-C, expected 130"
demo_work2=$(work_of "$work/demo2.out")
all_stopped "$demo_work2" || fail "Ctrl-C left processes behind"
rm -rf "$demo_work" "$demo_work2"
log "PASS"
