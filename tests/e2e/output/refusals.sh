#!/usr/bin/env bash
# Installer's files for the program output that cannot be meant, on a two-screen X server:
# each is refused at start-up with the "Application Error" box naming the key (or the
# line) that causes it, the overlay window never shows, and the exit status is 1.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x 2
# Refused before the database is tried: none is needed.
export MYSQL_UNIX_PORT="$E2E_WORK/no-such-server.sock"

# refused WHAT FILE-TEXT EXPECTED...: every expected text is in the message
refused() {
  local what=$1 text=$2
  shift 2
  printf '%b' "$text" >"$QUORVEL_CONFIG"
  e2e_start_quorvel
  e2e_expect_refusal "$what" "$@"
}

refused "the operator's screen" '[ProgramOutput]\nScreen=0\n' "[ProgramOutput] Screen" "operator's window"
# Xvfb's screens share one name
refused "a name two screens have" '[ProgramOutput]\nScreen=screen\n' "[ProgramOutput] Screen" "by its index"
refused "Left off the screen" '[ProgramOutput]\nScreen=1\nLeft=400\n' "[ProgramOutput] Left: 400"
refused "Top off the screen" '[ProgramOutput]\nScreen=1\nTop=600\n' "[ProgramOutput] Top: 600"
refused "Left far outside" '[ProgramOutput]\nScreen=1\nLeft=1000000\n' "[ProgramOutput] Left" "outside the screen"
refused "a line without =" '[ProgramOutput]\nScreen=1\nLeft 0\n' "line 3" "Left 0"
refused "a key set twice" '[ProgramOutput]\nScreen=1\nTop=0\nScreen=1\n' "[ProgramOutput] Screen" "twice"

# A box waiting for OK does not hold a service manager's SIGTERM: the refusal ends with 1.
printf '[ProgramOutput]\nScreen=0\n' >"$QUORVEL_CONFIG"
e2e_start_quorvel
e2e_wait_window "Application Error" >/dev/null || e2e_fail "SIGTERM: no error box"
kill -TERM "$QUORVEL_PID"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "SIGTERM: quorvel did not end while its box was up"
[ "$E2E_STATUS" = 1 ] || e2e_fail "SIGTERM: exit status $E2E_STATUS with the refusal's box up, expected 1"

# A configuration path that is not a regular file (a FIFO would block start-up for ever).
mkfifo "$E2E_WORK/fifo.conf"
QUORVEL_CONFIG="$E2E_WORK/fifo.conf" e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "a FIFO: no error box"
grep -qF "$E2E_WORK/fifo.conf" "$E2E_WORK/quorvel.log" || e2e_fail "a FIFO: the path is not named: $(cat "$E2E_WORK/quorvel.log")"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "a FIFO: quorvel did not end after the box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "a FIFO: exit status $E2E_STATUS, expected 1"
e2e_log "PASS"
