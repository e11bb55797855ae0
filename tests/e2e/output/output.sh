#!/usr/bin/env bash
# The program output on a second screen: borderless over the whole screen, the picture at
# the operator's client area's place, every graphic of the window (a run of every key, the
# lights-off view with the photos) and none of its widgets, magenta around them; after the
# double click the picture is the 104-pixel strip.
source "$(dirname "$0")/../lib/e2e.sh"

printf '[ProgramOutput]\nScreen=1\n' >"$QUORVEL_CONFIG"
e2e_start_x 2
MARIADB_BIND_ADDRESS=0.0.0.0 e2e_start_db "$QUORVEL_SOURCE_DIR/sql/demo.sql"
e2e_start_sim --listen "$QUORVEL_FIXED_SERVER:3335" --udp 0.0.0.0:3334 \
  --script "$QUORVEL_SOURCE_DIR/tests/e2e/race/run.txt"
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
read -r x y _ _ < <(e2e_geometry "$win")
[ "$x" = 145 ] && [ "$y" = 264 ] || e2e_fail "the operator's window is at $x,$y"

second="$DISPLAY.1"
# output_shot FILE: the whole second screen
output_shot() { import -display "$second" -window root "$1"; }
# crop FROM TO OFFSET HEIGHT: the picture's part of a screenshot (the operator's client area,
# or the output's screen at 145, 264)
crop() { convert "$1" -crop "1629x$4$3" +repage "$2"; }
magenta() { e2e_count_colour "$1" "$2" "$3" "$4" "$5" "255,0,255"; }
white() { e2e_count_where "$1" "$2" "$3" "$4" "$5" "r>0.85&&g>0.85&&b>0.85"; }

# The output window: borderless, the whole second screen.
output_listed() { xwininfo -display "$second" -root -tree | grep -q '"Quorvel program output"'; }
e2e_until output_listed || true
geometry=$(xwininfo -display "$second" -root -tree | grep '"Quorvel program output"' | head -n1)
[[ $geometry == *" 1920x1080+0+0 "* ]] || e2e_fail "output window: $geometry"
xwininfo -display "$second" -root -tree | grep -qi "^ *$(printf '0x%x' "$win") " \
  && e2e_fail "the operator's window is on the second screen"

# same_now HEIGHT: the output's picture is the operator's, pixel for pixel within the
# tolerance, but for a few (the clock may tick between the two screenshots)
same_now() {
  local height=$1 n
  e2e_screenshot "$win" "$E2E_WORK/op.png"
  output_shot "$E2E_WORK/out.png"
  crop "$E2E_WORK/op.png" "$E2E_WORK/op-picture.png" +0+0 "$height"
  crop "$E2E_WORK/out.png" "$E2E_WORK/out-picture.png" +145+264 "$height"
  n=$(e2e_differing "$E2E_WORK/op-picture.png" "$E2E_WORK/out-picture.png")
  [ "$n" -lt 20 ] || e2e_fail "the output differs from the window in $n pixels (height $height)"
}
# same HEIGHT: waits until it is (take the two pictures again while the clock ticks)
same() { e2e_until same_now "$1" || same_now "$1"; }

# Before the run: the widgets (white memos and lists) are on the operator's window only;
# where they are the output shows what lies behind them.
keyed_corner() { output_shot "$E2E_WORK/start.png" && [ "$(e2e_pixel "$E2E_WORK/start.png" 10 10)" = "255,0,255" ]; }
e2e_until keyed_corner || true
e2e_screenshot "$win" "$E2E_WORK/op-start.png"
[ "$(white "$E2E_WORK/op-start.png" 346 294 850 130)" -gt 1000 ] || e2e_fail "no widgets on the window"
[ "$(white "$E2E_WORK/start.png" $((145 + 346)) $((264 + 294)) 850 130)" -lt 10 ] || e2e_fail "widgets on the output"
e2e_key_around "$E2E_WORK/start.png" "255,0,255" 145 264 1629 551 || e2e_fail "not magenta around the picture"

e2e_wait_log "$E2E_WORK/sim.log" 'tcp recv .*"Quorvel:Conectado"' || e2e_fail "quorvel never connected"
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"RA:0.412' || e2e_fail "the script stalled"
# The operator ticks the camera box for the photos, then clears the widgets with a click
# on the header band: the window then shows exactly what the output shows.
xdotool mousemove --window "$win" 182 118 click 1
e2e_wait_log "$E2E_WORK/sim.log" 'tcp sent .*"DesligouLampadas:"' || e2e_fail "the script stalled"
photo_a_on_output() {
  output_shot "$E2E_WORK/lightsoff.png" &&
    [ "$(e2e_count_where "$E2E_WORK/lightsoff.png" $((145 + 298)) $((264 + 181)) 89 96 "!(r>0.99&&g<0.01&&b>0.99)")" -gt 2000 ]
}
e2e_wait_for "no photo of lane A on the output" photo_a_on_output
[ -n "${E2E_SCREENSHOT_DIR:-}" ] && cp "$E2E_WORK/lightsoff.png" "$E2E_SCREENSHOT_DIR/output-lightsoff.png" || true
xdotool mousemove --window "$win" 470 12 click 1
widgets_cleared() { [ "$(white "$1" 346 294 850 130)" -lt 10 ]; }
e2e_until e2e_shot_holds_now "$win" "$E2E_WORK/op-clear.png" widgets_cleared || true
same 551
e2e_log "the output is the window's picture at full height"

# The double click: the window shrinks to the strip, and so does the output's picture.
xdotool mousemove --window "$win" 470 12 click --repeat 2 --delay 80 1
e2e_until e2e_height_is "$win" 104 || true
read -r _ _ _ h < <(e2e_geometry "$win")
[ "$h" = 104 ] || e2e_fail "the window is $h high after the double click"
same 104
strip_alone() { output_shot "$E2E_WORK/strip.png" && e2e_key_around "$E2E_WORK/strip.png" "255,0,255" 145 264 1629 104; }
e2e_wait_for "the output shows more than the strip" strip_alone
[ "$(magenta "$E2E_WORK/strip.png" 145 264 1629 104)" = 0 ] || e2e_fail "magenta in the output's strip"

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
