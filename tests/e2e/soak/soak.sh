#!/usr/bin/env bash
# Race day: the simulated timing server plays 10,000 runs (every key in each tenth, "Nova" and
# "Alinhar" with the pilots looked up in the database and their photos stored) into the
# real quorvel, falls silent twice for longer than the idle minute, so that the board
# comes, and is restarted every 2,000 runs. Resident memory, sampled every second, must
# stay flat once the memos are full; quorvel must live to the end, and the last screenshot
# must show the last run.
#   SOAK_RUNS, SOAK_BLOCK, SOAK_RUN_DELAY_MS, SOAK_SILENCE_MS change the day (the suite sets
#   a short one: tests/e2e/soak/CMakeLists.txt).
source "$(dirname "$0")/../lib/e2e.sh"

runs=${SOAK_RUNS:-10000}
block=${SOAK_BLOCK:-2000}
delay=${SOAK_RUN_DELAY_MS:-25}
silence=${SOAK_SILENCE_MS:-72000}
"$(dirname "$0")/make-scripts.sh" "$E2E_WORK/scripts" "$runs" "$block" "$delay" "$silence" \
  $((runs * 3 / 10)) $((runs * 7 / 10))
blocks=$(( (runs + block - 1) / block ))

e2e_start_x
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"

start_block() { # start_block N: a fresh timing server playing block N
  : >"$E2E_WORK/sim.log"
  e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --script "$E2E_WORK/scripts/block$1.txt"
  e2e_log "block $1 of $blocks: simulator pid $E2E_SIM_PID"
}

start_block 1
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"

# Resident memory every second, in kB, with the block playing then, sampled apart from
# everything else so that no wait of the scenario leaves a gap.
rss_log=$E2E_WORK/rss.log
echo 1 >"$E2E_WORK/block"
(
  while rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$QUORVEL_PID/status" 2>/dev/null) && [ -n "$rss" ]; do
    echo "$SECONDS $(cat "$E2E_WORK/block") $rss" >>"$rss_log"
    sleep 1
  done
) &
e2e_track $!
alive() { kill -0 "$QUORVEL_PID" 2>/dev/null && [ "$(ps -o stat= -p "$QUORVEL_PID" | cut -c1)" != Z ]; }

# The overlay digests the server's writes behind the server (a full window takes some
# milliseconds a message), so the scenario waits for what the overlay has done, never for
# a time: the bytes still between the two in the kernel, and the overlay's processor time.
link_backlog() { # bytes sent by the timing server that the overlay has not read yet
  ss -tnH '( sport = :3335 or dport = :3335 )' | awk '{ q += $2 + $3 } END { print q + 0 }'
}
link_open() { # the overlay still holds its end of a timing link (read to its end, it closes it)
  ss -tnH '( dport = :3335 )' | awk '$1 == "ESTAB" || $1 == "CLOSE-WAIT" { n++ } END { exit n == 0 }'
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$QUORVEL_PID/stat"; }
# busy_check: called every second; fails the scenario when the overlay has had work left
# for a minute without using a second of processor time (it hangs), and leaves in
# IDLE_SECONDS how many seconds in a row it has had nothing to read and next to no
# processor time (it is done with what it was sent).
IDLE_SECONDS=0
busy_ticks=$(cpu_ticks)
busy_since=$SECONDS
busy_check() {
  local ticks backlog
  ticks=$(cpu_ticks) || e2e_fail "quorvel is gone"
  backlog=$(link_backlog)
  if [ "$backlog" = 0 ] && [ $((ticks - ${last_ticks:-0})) -lt 5 ]; then
    IDLE_SECONDS=$((IDLE_SECONDS + 1))
  else
    IDLE_SECONDS=0
  fi
  last_ticks=$ticks
  if [ $((ticks - busy_ticks)) -ge 100 ] || [ "$IDLE_SECONDS" -gt 0 ]; then
    busy_ticks=$ticks
    busy_since=$SECONDS
  fi
  [ $((SECONDS - busy_since)) -lt 60 ] || e2e_fail "quorvel made no progress for a minute ($backlog bytes unread)"
}

shots=0
# play_block N: waits until the simulator has played block N and quit, then until the
# overlay has read the block to its end. Before a silence the simulator waits for the
# overlay to catch up (make-scripts.sh); the board must then come once the overlay has
# been idle for its minute: a screenshot taken at the start of the silence and a later
# one must differ in most of the strip.
play_block() {
  local n=$1 t0=$SECONDS sent=0 last_sent=-1 quiet_since=$SECONDS board=none changed go
  e2e_wait_log "$E2E_WORK/sim.log" 'tcp connected' || e2e_fail "block $n: quorvel never connected"
  while kill -0 "$E2E_SIM_PID" 2>/dev/null && [ "$(ps -o stat= -p "$E2E_SIM_PID" | cut -c1)" != Z ]; do
    alive || e2e_fail "block $n: quorvel is gone"
    busy_check
    sent=$(grep -c 'tcp sent' "$E2E_WORK/sim.log" || true)
    go=$(sed -n 's/.*waiting for file //p' "$E2E_WORK/sim.log" | tail -n1)
    if [ "$sent" != "$last_sent" ]; then
      [ "$board" = waiting ] && e2e_fail "no board in the silence of block $n"
      board=none
      last_sent=$sent
    elif [ -n "$go" ] && [ ! -e "$go" ] && [ "$IDLE_SECONDS" -ge 2 ]; then
      # The overlay has shown everything: a silence starts now, or the server may quit.
      case "$go" in
      */caught-up-*)
        if [ "$silence" -ge 60000 ]; then
          e2e_screenshot "$win" "$E2E_WORK/before-board.png"
          board=waiting
        fi
        quiet_since=$SECONDS
        e2e_log "block $n: the overlay caught up with the server; the silence starts"
        ;;
      *) e2e_log "block $n: the overlay has read the whole block" ;;
      esac
      touch "$go"
    elif [ "$board" = waiting ] && [ $((SECONDS - quiet_since)) -ge 58 ]; then
      e2e_screenshot "$win" "$E2E_WORK/board$shots.png"
      changed=$(e2e_differing "$E2E_WORK/before-board.png" "$E2E_WORK/board$shots.png" --fuzz 0%)
      if [ "$changed" -gt 20000 ]; then
        e2e_log "the board after $((SECONDS - quiet_since)) s of silence in block $n: $changed pixels changed"
        board=seen
        shots=$((shots + 1))
      fi
    fi
    sleep 1
  done
  wait "$E2E_SIM_PID" || e2e_fail "block $n: the simulator failed: $(cat "$E2E_WORK/sim.out")"
  e2e_log "block $n played: $sent writes in $((SECONDS - t0)) s"
  # The next server may only come once the overlay is looking for one again.
  while link_open; do
    alive || e2e_fail "block $n: quorvel is gone"
    busy_check
    sleep 1
  done
  e2e_log "block $n digested after $((SECONDS - t0)) s, rss $(tail -n1 "$rss_log" | cut -d' ' -f3) kB"
}

for n in $(seq 1 "$blocks"); do
  echo "$n" >"$E2E_WORK/block"
  [ "$n" = 1 ] || start_block "$n"
  play_block "$n"
done
[ "$shots" -ge 2 ] || [ "$silence" -lt 60000 ] || e2e_fail "the board was checked in $shots silences, not 2"

# The overlay has read the last run to its end; the screen shows it once painted.
alive || e2e_fail "quorvel is gone at the end"
white() { e2e_count_where "$1" "$2" "$3" "$4" "$5" "r>0.85&&g>0.85&&b>0.85"; }
last_run_shown() {
  local pilot cell
  # Lane A's pilot line holds the last run's wide name; the time cells hold its times.
  pilot=$(white "$1" 227 31 290 22)
  [ "$pilot" -gt 600 ] || e2e_fail "the last run's pilot is not on the strip ($pilot white pixels)"
  for cell in "692 25" "943 25" "1321 25" "692 61"; do
    set -- "$1" $cell
    [ "$(white "$1" "$2" "$3" 124 34)" -gt 25 ] || e2e_fail "the last run's time cell at $2,$3 is empty"
  done
}
e2e_shot_until "$win" "$E2E_WORK/final.png" last_run_shown
[ -n "${E2E_SCREENSHOT_DIR:-}" ] && cp "$E2E_WORK/final.png" "$E2E_WORK/rss.log" "$E2E_SCREENSHOT_DIR/" || true

# Flat memory: once the first block has filled the memos, no later block may hold more
# than the second block's peak and a small margin.
read -r first_peak settled_peak end_peak < <(awk '
  $2 == 1 { if ($3 > a) a = $3 }
  $2 == 2 { if ($3 > b) b = $3 }
  $2 >= 2 { if ($3 > c) c = $3 }
  END { print a + 0, b + 0, c + 0 }' "$rss_log")
[ "$settled_peak" -gt 0 ] || settled_peak=$first_peak
limit=$((settled_peak + settled_peak / 20 + 8192))
e2e_log "rss peaks: block 1 ${first_peak} kB, block 2 ${settled_peak} kB, blocks 2 to $blocks ${end_peak} kB (limit ${limit} kB), $(wc -l <"$rss_log") samples"
[ "$end_peak" -le "$limit" ] || e2e_fail "resident memory grows: ${end_peak} kB after ${settled_peak} kB"

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
