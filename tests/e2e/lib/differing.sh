#!/usr/bin/env bash
# The scenarios' rule for pictures alike (e2e_differing), on pictures made here: the same
# drawing a unit or two off everywhere is alike; the drawing moved by one pixel, or
# another picture's size, is not.
source "$(dirname "$0")/e2e.sh"

draw() { # draw FILE X-OFFSET: anti-aliased text and a box on a grey ground
  convert -size 320x80 xc:'rgb(40,60,90)' -fill white -stroke white \
    -draw "rectangle $((20 + $2)),20 $((60 + $2)),60" -stroke none -pointsize 28 \
    -draw "text $((80 + $2)),52 'Lane A 0.412'" "$1"
}
draw "$E2E_WORK/a.png" 0
draw "$E2E_WORK/moved.png" 1
# every channel two units up: another processor's rounding
convert "$E2E_WORK/a.png" -evaluate add 0.8% "$E2E_WORK/rounded.png"
convert "$E2E_WORK/a.png" -crop 319x80+0+0 +repage "$E2E_WORK/narrower.png"

[ "$(e2e_differing "$E2E_WORK/a.png" "$E2E_WORK/a.png")" = 0 ] || e2e_fail "a picture differs from itself"
[ "$(e2e_differing "$E2E_WORK/a.png" "$E2E_WORK/rounded.png")" = 0 ] || e2e_fail "a unit or two off is not alike"
moved=$(e2e_differing "$E2E_WORK/a.png" "$E2E_WORK/moved.png")
[ "$moved" -gt 100 ] || e2e_fail "a one-pixel shift differs in $moved pixels only"
e2e_log "a one-pixel shift: $moved pixels differ"
strict=$(e2e_differing "$E2E_WORK/a.png" "$E2E_WORK/rounded.png" --fuzz 0%)
[ "$strict" -gt 0 ] || e2e_fail "no fuzz at all still calls the rounded picture alike"
# another size is a failure of the scenario, with its text, never a count
if (e2e_differing "$E2E_WORK/a.png" "$E2E_WORK/narrower.png" >/dev/null 2>"$E2E_WORK/size.err"); then
  e2e_fail "pictures of two sizes were compared"
fi
grep -q "cannot compare" "$E2E_WORK/size.err" || e2e_fail "no text for pictures of two sizes: $(cat "$E2E_WORK/size.err")"
e2e_log "PASS"
