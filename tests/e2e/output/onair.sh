#!/usr/bin/env bash
# The program output stays on air whatever happens around it: the operator's window moved
# far down, the double click, a close request sent to the output, and at last a signal that
# ends the program (SIGTERM, or SIGINT with "int" as the argument) with status 0. After each
# step the second screen is the key colour everywhere but the picture at 145, 264. With
# "openbox" as the argument a window manager with decorations runs on both screens.
source "$(dirname "$0")/../lib/e2e.sh"

wm=none
signal=TERM
for arg in "$@"; do
  case $arg in
    openbox) wm=openbox ;;
    int) signal=INT ;;
  esac
done

printf '[ProgramOutput]\nScreen=1\n' >"$QUORVEL_CONFIG"
e2e_start_x 2
second="$DISPLAY.1"
wm_running() { xprop -display "$1" -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
if [ "$wm" = openbox ]; then
  for display in "$DISPLAY.0" "$second"; do
    DISPLAY=$display openbox --sm-disable >"$E2E_WORK/openbox.log" 2>&1 &
    e2e_track $!
    e2e_wait_for "openbox did not start on $display" wm_running "$display"
  done
fi
e2e_start_db
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"
output_window() { xwininfo -display "$second" -root -tree | awk '/"Quorvel program output"/ {print $1}' | head -n1; }
output=$(e2e_wait_output output_window) || e2e_fail "no output window on the second screen"

magenta() { e2e_count_colour "$1" "$2" "$3" "$4" "$5" "255,0,255"; }
# on_air_now FILE HEIGHT: key colour all over the screen but the picture (HEIGHT high at
# 145, 264), in which the graphics are drawn
on_air_now() {
  local file=$1 height=$2
  import -display "$second" -window root "$file" || return 1
  e2e_key_around "$file" "255,0,255" 145 264 1629 "$height" &&
    [ $((1629 * height - $(magenta "$file" 145 264 1629 "$height"))) -gt 10000 ]
}
# on_air STEP HEIGHT: on air within a generous wait, then still on air for a second, with
# no event to tell that the program has dealt with the step
on_air() {
  local step=$1 height=$2 shot="$E2E_WORK/$1.png" until
  e2e_until on_air_now "$shot" "$height" || true
  on_air_now "$shot" "$height" || e2e_fail "$step: the second screen is not the picture in the key colour (see $shot)"
  until=$((SECONDS + 1))
  while [ "$SECONDS" -le "$until" ]; do
    on_air_now "$shot" "$height" || e2e_fail "$step: the output left the air"
    sleep 0.1
  done
  [ -n "${E2E_SCREENSHOT_DIR:-}" ] && cp "$shot" "$E2E_SCREENSHOT_DIR/onair-$wm-$step.png" || true
  e2e_log "$step: on air"
}
on_air start 551

# The operator's window moved where the picture would not fit below it.
xdotool windowmove "$win" 40 700
moved_down() { [ "$(e2e_geometry "$win" | cut -d' ' -f2)" -ge 600 ]; }
e2e_until moved_down || true
read -r _ y _ _ < <(e2e_geometry "$win")
[ "$y" -ge 600 ] || e2e_fail "the operator's window could not be moved (at y $y)"
on_air moved 551

# The double click on the header band: the strip, 104 high.
xdotool mousemove --window "$win" 470 12 click --repeat 2 --delay 80 1
e2e_until e2e_height_is "$win" 104 || true
read -r _ _ _ h < <(e2e_geometry "$win")
[ "$h" = 104 ] || e2e_fail "the window is $h high after the double click"
on_air strip 104

# A close request to the output, as a taskbar's "Close" sends it.
if [ "$wm" = openbox ]; then
  DISPLAY=$second "$QUORVEL_X11_CLOSE" --net "$output"
else
  DISPLAY=$second "$QUORVEL_X11_CLOSE" "$output"
fi
on_air closed 104
kill -0 "$QUORVEL_PID" || e2e_fail "quorvel ended on the output's close request"
[ "$(xdotool getwindowfocus 2>/dev/null || true)" != "$((output))" ] || e2e_fail "the output has the focus"

# The window manager is told to list it in no taskbar or pager, and to keep it above.
state=$(xprop -display "$second" -id "$output" _NET_WM_STATE)
for flag in _NET_WM_STATE_SKIP_TASKBAR _NET_WM_STATE_SKIP_PAGER _NET_WM_STATE_ABOVE; do
  [[ $state == *"$flag"* ]] || e2e_fail "$flag missing: $state"
done

kill -"$signal" "$QUORVEL_PID"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end on SIG$signal"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS after SIG$signal, expected 0"
e2e_log "PASS"
