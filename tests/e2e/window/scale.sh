#!/usr/bin/env bash
# The window is a broadcast picture: whatever scale the desktop asks for (Qt's global or
# per-screen factor, a high Xft.dpi) it comes up 1629 x 551 device pixels, shrinks to
# 1629 x 104 on the double click, and shows the same pixels as on an unscaled desktop.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
e2e_start_db

# What may differ between two runs: the clock under the logo and the logs' and the list's
# contents (discovery lines carry a time stamp). Their borders and the rest are compared.
masked() {
  convert "$1" -fill black \
    -draw "rectangle 30,70 160,92" \
    -draw "rectangle 348,314 598,406" \
    -draw "rectangle 612,314 888,420" \
    -draw "rectangle 900,296 1192,406" \
    "$2"
}

# differing A B: how many pixels of the two pictures differ by more than anti-aliasing
# noise, outside the masks.
differing() {
  masked "$1" "$E2E_WORK/a.png"
  masked "$2" "$E2E_WORK/b.png"
  e2e_differing "$E2E_WORK/a.png" "$E2E_WORK/b.png" --fuzz 2%
}

# settled WINDOW-ID FILE: a screenshot into FILE is painted and settled: the strip has no
# magenta left and it agrees with the one before (a file each try leaves for the next).
settled() {
  local shot=$2 previous=$2.previous
  [ -f "$shot" ] && cp "$shot" "$previous"
  e2e_screenshot "$1" "$shot"
  [ "$(e2e_count_colour "$shot" 0 0 1629 104 "255,0,255")" = 0 ] && [ -f "$previous" ] &&
    [ "$(differing "$shot" "$previous")" = 0 ]
}

# alike REFERENCE WHAT FILE: no pixel of the screenshot differs from the reference
alike() {
  local diff
  diff=$(differing "$3" "$1")
  [ "$diff" = 0 ] || e2e_fail "$2: $diff pixels"
}

# run NAME [VAR=VALUE...]: starts quorvel with those settings, checks the client area and
# the pixels full height and shrunk, and closes it. The first run, unscaled, takes the
# reference pictures.
run() {
  local name=$1
  shift
  e2e_log "run $name"
  env "$@" "$QUORVEL_BIN" >"$E2E_WORK/quorvel-$name.log" 2>&1 &
  QUORVEL_PID=$!
  e2e_track "$QUORVEL_PID"
  local win x y w h shot="$E2E_WORK/$name-full.png"
  win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "$name: the overlay window never appeared"
  read -r x y w h < <(e2e_geometry "$win")
  [ "$w" = 1629 ] && [ "$h" = 551 ] || e2e_fail "$name: client area ${w}x$h, expected 1629x551"

  if [ "$name" = unscaled ]; then
    # painted and settled: the strip has no magenta left and two pictures in a row agree
    e2e_until settled "$win" "$shot" || true
    cp "$shot" "$E2E_WORK/reference-full.png"
    convert "$shot" -crop 1629x104+0+0 +repage "$E2E_WORK/reference-strip.png"
  else
    e2e_shot_until "$win" "$shot" alike "$E2E_WORK/reference-full.png" "$name: pixels differ from the unscaled window"
  fi

  xdotool mousemove --window "$win" 470 12 click --repeat 2 --delay 80 1
  e2e_until e2e_height_is "$win" 104 || true
  read -r _ _ w h < <(e2e_geometry "$win")
  [ "$w" = 1629 ] && [ "$h" = 104 ] || e2e_fail "$name: client area ${w}x$h after the double click, expected 1629x104"
  shot="$E2E_WORK/$name-strip.png"
  e2e_shot_until "$win" "$shot" alike "$E2E_WORK/reference-strip.png" \
    "$name: pixels of the shrunk strip differ from the unscaled one"

  e2e_x11_close "$win"
  e2e_wait_exit "$QUORVEL_PID" || e2e_fail "$name: quorvel did not end"
  [ "$E2E_STATUS" = 0 ] || e2e_fail "$name: exit status $E2E_STATUS"
}

run unscaled
run factor-1.25 QT_SCALE_FACTOR=1.25
run factor-1.5 QT_SCALE_FACTOR=1.5
run screen-factor QT_SCREEN_SCALE_FACTORS=1.5
run factor-and-plugin QT_SCALE_FACTOR=1.5 QT_ENABLE_HIGHDPI_SCALING=1 QT_USE_PHYSICAL_DPI=1
printf 'Xft.dpi: 144\n' | xrdb -merge
[ "$(xrdb -query | awk '/^Xft.dpi:/ {print $2}')" = 144 ] || e2e_fail "Xft.dpi was not set"
run xft-dpi-144
run xft-dpi-and-factor QT_SCALE_FACTOR=1.25
e2e_log "PASS"
