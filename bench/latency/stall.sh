#!/usr/bin/env bash
# The longest stall of the real quorvel's window thread: its heartbeat probe
# (QUORVEL_STALL_PROBE, a beat every 5 ms) records how late each beat ran, and this prints
# the latest beat of a case's time, in milliseconds, as "stall_CASE<TAB>ms", and the most
# processor time the thread spent between two beats as "stall_CASE_busy<TAB>ms" (the same
# on an idle machine; apart from the waits for a processor on a busy one).
#   QUORVEL_BIN=... QUORVEL_SIM=... QUORVEL_SOURCE_DIR=... QUORVEL_PHOTO_FILES=... \
#     stall.sh CASE SECONDS
# Cases: silence (nobody answers discovery, the connect is refused), blackhole (nobody
# answers, and the connect's packets are swallowed until its time-out), connected (idle,
# the link up), and the lights-off view shown five times with two photos each: cam12,
# cam45, cam100 (camera JPEGs of 12, 45 and 100 megapixels), heavy (the heaviest metafiles
# the limits accept), refused (metafiles the limits refuse).
: "${QUORVEL_SOURCE_DIR:?}"
source "$QUORVEL_SOURCE_DIR/tests/e2e/lib/e2e.sh"
case=${1:?case}
seconds=${2:-30}
probe="$E2E_WORK/stall.txt"
export QUORVEL_STALL_PROBE="$probe"

now_ms() { date +%s%3N; }
# the latest beat (column 2), or the most processor time between two beats (column 3),
# among the probe's lines from START-MS (since the probe's start) on
latest_since() {
  awk -v from="$1" -v col="${2:-2}" '$1 >= from { if ($col > m) m = $col } END { printf "%.1f\n", m + 0 }' "$probe"
}
probe_ms() { tail -n1 "$probe" 2>/dev/null | awk '{print $1 + 0}'; }

e2e_start_x
photos=""
case "$case" in
  silence | blackhole | connected) ;;
  cam12 | cam45 | cam100 | heavy | refused)
    : "${QUORVEL_PHOTO_FILES:?QUORVEL_PHOTO_FILES must name bench_photo_files}"
    folder="$(dirname "$QUORVEL_BIN")/fotopilotos"
    mkdir -p "$folder"
    ext=jpg
    case "$case" in heavy | refused) ext=emf ;; esac
    [ -f "$folder/${case}a.$ext" ] || "$QUORVEL_PHOTO_FILES" "$folder" || e2e_fail "no photo files"
    photos="$E2E_WORK/photos.sql"
    printf "USE vyd;\nUPDATE veiculo SET NOME_ARQ_FOTO='%sa.%s', FOTO_PILOTO=x'00' WHERE CODIGO=102;\nUPDATE veiculo SET NOME_ARQ_FOTO='%sb.%s', FOTO_PILOTO=x'00' WHERE CODIGO=103;\n" \
      "$case" "$ext" "$case" "$ext" >"$photos"
    ;;
  *) e2e_fail "unknown case $case" ;;
esac
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql" ${photos:+"$photos"}

script="$E2E_WORK/script.txt"
case "$case" in
  silence)
    e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --udp-off ;;
  blackhole)
    e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --udp-off
    # The overlay's host stays 127.0.0.1: a listener whose queue is full drops the SYNs.
    python3 -c '
import socket, time
s = socket.socket(); s.bind(("127.0.0.1", 3335)); s.listen(0)
held = []
for _ in range(4):
    c = socket.socket(); c.setblocking(False)
    try: c.connect(("127.0.0.1", 3335))
    except BlockingIOError: pass
    held.append(c)
time.sleep(100000)' &
    e2e_track $! ;;
  connected)
    printf '!wait-connection\n' >"$script"
    e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --script "$script" ;;
  *)
    { printf '!wait-connection\n300 Alinhar:\n300 cod_pilotoA:102@cod_pilotoB:103\n'
      for _ in 1 2 3 4 5; do printf '3000 DesligouLampadas:\n'; done; } >"$script"
    e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 --script "$script" ;;
esac

e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3" 120) || e2e_fail "the overlay window never appeared"
case "$case" in
  silence | blackhole)
    sleep 2
    from=$(probe_ms)
    sleep "$seconds"
    grep -c 'udp recv' "$E2E_WORK/sim.log" >&2 || true ;;
  connected)
    e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' 60 || e2e_fail "never connected"
    sleep 2
    from=$(probe_ms)
    sleep "$seconds" ;;
  *)
    e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' 60 || e2e_fail "never connected"
    xdotool mousemove --window "$win" 183 118 click 1 # the camera box: the lights-off view shows photos
    e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"DesligouLampadas:"' 30 || e2e_fail "the script stalled"
    from=$(($(probe_ms) - 1000))
    for _ in $(seq 1 300); do
      [ "$(grep -c 'tcp sent .*"DesligouLampadas:"' "$E2E_WORK/sim.log")" -ge 5 ] && break
      sleep 0.1
    done
    sleep 2
    e2e_screenshot "$win" "$E2E_WORK/lightsoff.png" ;;
esac
printf 'stall_%s\t%s\n' "$case" "$(latest_since "$from")"
printf 'stall_%s_busy\t%s\n' "$case" "$(latest_since "$from" 3)"
[ -z "${STALL_KEEP:-}" ] || cp -r "$E2E_WORK" "$STALL_KEEP"
