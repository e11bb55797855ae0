#!/usr/bin/env bash
# The real quorvel on a private X server, in its own network namespace: bench_damage plays
# the timing server on the fixed server address, times each message to the X server's
# DAMAGE on the changed label, then watches the idle window and its processor time.
#   QUORVEL_BIN=... QUORVEL_SIM=... QUORVEL_SOURCE_DIR=... QUORVEL_DAMAGE=... \
#     [NOISE_MB=10] onair.sh MESSAGES IDLE-SECONDS FLOOD-CHUNKS [output|journal]
# With "output", a second screen carries the program output and the damage is watched
# there, on the output's strip, while the operator's window stays at full height beside it.
# With "journal", the overlay keeps its race day's journal while it is measured; the
# journal's size is a figure of its own.
# With NOISE_MB, that many megabytes of random bytes follow the flood, timed until digested.
# Prints "figure<TAB>value" lines on stdout.
: "${QUORVEL_SOURCE_DIR:?}"
source "$QUORVEL_SOURCE_DIR/tests/e2e/lib/e2e.sh"
: "${QUORVEL_DAMAGE:?QUORVEL_DAMAGE must name bench_damage}"
messages=${1:-10000}
idle=${2:-60}
chunks=${3:-100000}
output=${4:-}

# lbl60A (written by "PA") and lblHora, in the window's client area
label=(851 32 60 20)
clock=(35 74 97 15)

if [ "$output" = journal ]; then
  printf '[Journal]\nFolder=%s\n' "$E2E_WORK/journal" >"$QUORVEL_CONFIG"
fi
if [ "$output" = output ]; then
  printf '[ProgramOutput]\nScreen=1\n' >"$QUORVEL_CONFIG"
  e2e_start_x_two_screens
else
  e2e_start_x
fi
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
# The simulator only answers discovery; its own TCP port is not the overlay's.
e2e_start_sim --listen 127.0.0.1:3399 --udp 0.0.0.0:3334
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3" 120) || e2e_fail "the overlay window never appeared"
if [ "$output" = output ]; then
  # the picture sits at the operator's client area's place on the output's screen
  for _ in $(seq 1 300); do
    win=$(xwininfo -display "$DISPLAY.1" -root -tree 2>/dev/null | awk '/"Quorvel program output"/ {print $1; exit}')
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || e2e_fail "the program output never appeared"
  label=($((145 + label[0])) $((264 + label[1])) "${label[2]}" "${label[3]}")
  clock=($((145 + clock[0])) $((264 + clock[1])) "${clock[2]}" "${clock[3]}")
fi
e2e_log "window $win; $messages messages, then $idle s idle"
"$QUORVEL_DAMAGE" --window "$win" --listen "$QUORVEL_FIXED_SERVER:3335" \
  --label "$(IFS=,; echo "${label[*]}")" --clock "$(IFS=,; echo "${clock[*]}")" \
  --messages "$messages" --idle "$idle" --pid "$QUORVEL_PID" --flood "$chunks" --noise "${NOISE_MB:-0}" ||
  e2e_fail "the damage probe failed"
if [ "$output" = journal ]; then
  printf 'journal_bytes\t%s\n' "$(cat "$E2E_WORK"/journal/journal-*.txt | wc -c)"
fi
