#!/usr/bin/env bash
# The feed's refusals against the real overlay: a feed off loopback without a token, or
# with one too short, is refused at start-up with the file and the key; once it runs, a
# request without Host gets 421, a wrong or missing token 401, an unknown path 404, another
# method 405, a head with bare LF ends 400 at once, a request over 8 KB 431 and the
# connection closed, a WebSocket of another site's page 403, a WebSocket frame over 4 KB
# closes that WebSocket (1009), the 33rd connection of one address whose request has not
# come gets 503, and ten wrong tokens 429 for the right one. Raw sockets of bash, so every
# byte sent is the test's own.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
e2e_start_db

# Off loopback without a token: the box names the file and the key, nothing is connected.
printf '[Feed]\nListen=0.0.0.0:8765\n' >"$QUORVEL_CONFIG"
e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "no error box for a feed without a token"
grep -qF "$QUORVEL_CONFIG, [Feed] Token" "$E2E_WORK/quorvel.log" \
  || e2e_fail "the message does not name the file and the key: $(cat "$E2E_WORK/quorvel.log")"
xdotool search --onlyvisible --name "^VYD - Quorvel V3\$" >/dev/null 2>&1 && e2e_fail "the overlay window is shown"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after the box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS, expected 1"

# Off loopback with a token a guess could find: refused the same way.
printf '[Feed]\nListen=0.0.0.0:8765\nToken=s3cret\n' >"$QUORVEL_CONFIG"
e2e_start_quorvel
box=$(e2e_wait_window "Application Error") || e2e_fail "no error box for a feed with a short token"
grep -qF "$QUORVEL_CONFIG, [Feed] Token: a feed on 0.0.0.0, which is not a loopback address, needs a token of at least 16 characters" \
  "$E2E_WORK/quorvel.log" || e2e_fail "the message does not say why: $(cat "$E2E_WORK/quorvel.log")"
e2e_press_default_button "$box"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end after the box"
[ "$E2E_STATUS" = 1 ] || e2e_fail "exit status $E2E_STATUS, expected 1"

printf '[Feed]\nListen=8765\nToken=s3cret\n' >"$QUORVEL_CONFIG"
e2e_start_quorvel
e2e_wait_window "VYD - Quorvel V3" >/dev/null || e2e_fail "the overlay window never appeared"
feed_listening() { exec 3<>/dev/tcp/127.0.0.1/8765; }
e2e_until feed_listening || true

# exchange FILE REQUEST...: sends the request (printf %b) and keeps all that comes back
# until the feed closes the connection.
exchange() {
  local file=$1 fd
  shift
  exec {fd}<>/dev/tcp/127.0.0.1/8765 || e2e_fail "cannot connect to the feed"
  # The feed may close while the request is still being written (a head over 8 KB): the
  # write then fails with a broken pipe, in a subshell, so that the signal does not end
  # this script.
  (printf '%b' "$@" >&"$fd") 2>/dev/null || true
  # a reset after the answer (a refused request the feed did not read to its end) is a close too
  local status=0
  timeout 30 cat <&"$fd" >"$file" 2>/dev/null || status=$?
  [ "$status" != 124 ] || e2e_fail "the feed did not close the connection: $(head -c 200 "$file")"
  exec {fd}>&-
}
# expect_status STATUS REQUEST: the status line of the answer
expect_status() {
  local want=$1
  shift
  exchange "$E2E_WORK/answer" "$@"
  local got
  got=$(head -n1 "$E2E_WORK/answer" | tr -d '\r')
  [ "$got" = "HTTP/1.1 $want" ] || e2e_fail "$(printf '%q' "$*"): got \"$got\", expected $want"
}

expect_status "401 Unauthorized" 'GET /state HTTP/1.1\r\nHost: feed\r\n\r\n'
expect_status "401 Unauthorized" 'GET /state?token=s3cre HTTP/1.1\r\nHost: feed\r\n\r\n'
expect_status "401 Unauthorized" 'GET /state HTTP/1.1\r\nHost: feed\r\nAuthorization: Bearer S3CRET\r\n\r\n'
expect_status "401 Unauthorized" 'POST /nothing HTTP/1.1\r\nHost: feed\r\nContent-Length: 0\r\n\r\n' # the token before the path
[ "$(grep -c . "$E2E_WORK/answer")" -le 6 ] || e2e_fail "a 401 says more than its head: $(cat "$E2E_WORK/answer")"
expect_status "421 Misdirected Request" 'GET /state?token=s3cret HTTP/1.1\r\n\r\n'
expect_status "421 Misdirected Request" 'GET /state?token=s3cret HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n'
expect_status "404 Not Found" 'GET /nothing?token=s3cret HTTP/1.1\r\nHost: feed\r\n\r\n'
expect_status "405 Method Not Allowed" 'POST /state?token=s3cret HTTP/1.1\r\nHost: feed\r\nContent-Length: 0\r\n\r\n'
expect_status "405 Method Not Allowed" 'PUT /program.png HTTP/1.1\r\nHost: feed\r\nAuthorization: Bearer s3cret\r\n\r\n'
expect_status "200 OK" 'GET /state HTTP/1.1\r\nHost: overlay.track.lan:8765\r\nAuthorization: Bearer s3cret\r\n\r\n'
grep -q '"link":{' "$E2E_WORK/answer" || e2e_fail "no link in /state: $(cat "$E2E_WORK/answer")"
# lines ended by LF alone: 400 at once (the time-out would close it without an answer)
expect_status "400 Bad Request" 'GET /state?token=s3cret HTTP/1.1\nHost: feed\n\n'
big=$(head -c 9000 /dev/zero | tr '\0' 'a')
expect_status "431 Request Header Fields Too Large" "GET /state?token=s3cret HTTP/1.1\r\nHost: feed\r\nX-Filler: $big\r\n\r\n"
# a head that never ends is cut at 8 KB too, without waiting for its end
expect_status "431 Request Header Fields Too Large" "GET /state?token=s3cret HTTP/1.1\r\nX-Filler: $big"
# a WebSocket asked for by another site's page is refused before the upgrade
expect_status "403 Forbidden" 'GET /events?token=s3cret HTTP/1.1\r\nHost: 127.0.0.1:8765\r\nOrigin: http://evil.example\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n'

# A WebSocket: opened, then a frame of 5000 bytes from the client ends it with 1009.
handshake='GET /events?token=s3cret HTTP/1.1\r\nHost: feed\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n'
# a masked text frame (mask 0, so the payload is sent as it is) of 5000 bytes: 0x81, 126 + mask bit, 0x1388
frame='\x81\xfe\x13\x88\x00\x00\x00\x00'$(head -c 5000 /dev/zero | tr '\0' 'x')
exec {ws}<>/dev/tcp/127.0.0.1/8765
printf '%b' "$handshake" >&"$ws"
timeout 30 head -c 12 <&"$ws" >"$E2E_WORK/ws-status" || e2e_fail "no answer to the handshake"
grep -q "101" "$E2E_WORK/ws-status" || e2e_fail "the WebSocket was not opened: $(cat "$E2E_WORK/ws-status")"
(printf '%b' "$frame" >&"$ws") 2>/dev/null || true # the feed may close before its end
status=0
timeout 30 cat <&"$ws" >"$E2E_WORK/ws-rest" 2>/dev/null || status=$?
[ "$status" != 124 ] || e2e_fail "the WebSocket stayed open after a frame of 5000 bytes"
exec {ws}>&-
# the close frame's code 1009 (0x03f1) follows 0x88 and its length
od -An -tx1 "$E2E_WORK/ws-rest" | tr -d ' \n' | grep -q '88..03f1' \
  || e2e_fail "no close with 1009: $(od -An -tx1 "$E2E_WORK/ws-rest" | tail -n 3)"

# 32 connections of one address at once, their requests not yet sent; its 33rd is told
# 503 at once, not reset.
held=()
for _ in $(seq 1 32); do
  exec {fd}<>/dev/tcp/127.0.0.1/8765 || e2e_fail "cannot open a client"
  held+=("$fd")
done
expect_status "503 Service Unavailable" 'GET /state?token=s3cret HTTP/1.1\r\nHost: feed\r\n\r\n'
for fd in "${held[@]}"; do exec {fd}>&-; done
# once they are gone the feed answers again
answers_again() {
  exchange "$E2E_WORK/answer" 'GET /state?token=s3cret HTTP/1.1\r\nHost: feed\r\n\r\n'
  [ "$(head -n1 "$E2E_WORK/answer" | tr -d '\r')" = "HTTP/1.1 200 OK" ]
}
e2e_wait_for "the feed did not come back after the 32" answers_again

# Ten wrong tokens, and the address is not listened to for a minute, not even with the
# right one.
for _ in $(seq 1 10); do
  exchange "$E2E_WORK/answer" 'GET /state?token=guess HTTP/1.1\r\nHost: feed\r\n\r\n'
done
expect_status "429 Too Many Requests" 'GET /state?token=s3cret HTTP/1.1\r\nHost: feed\r\n\r\n'
grep -q "^Retry-After: 60" "$E2E_WORK/answer" || e2e_fail "no Retry-After: $(cat "$E2E_WORK/answer")"

kill -0 "$QUORVEL_PID" || e2e_fail "quorvel ended"
e2e_log "PASS"
