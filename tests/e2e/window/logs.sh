#!/usr/bin/env bash
# The installer reads the logs back: a line of mLog selected with the mouse is in the X
# primary selection, Ctrl+C puts it on the clipboard, and the selection is drawn.
source "$(dirname "$0")/../lib/e2e.sh"

e2e_start_x
e2e_start_db
e2e_start_quorvel
win=$(e2e_wait_window "VYD - Quorvel V3") || e2e_fail "the overlay window never appeared"

# mLog lies at 610, 312; its text starts 4 pixels in and 3 down, in rows of 13 pixels
# (the window font)
left=614
row() { echo $((315 + $1 * 13 + 6)); }
# dark ink in a row of the memo's text
ink() { e2e_count_where "$1" "$left" $((315 + $2 * 13)) 250 13 "r<0.5&&g<0.5&&b<0.5"; }

# the start-up discovery writes the memo's second line
two_lines() { [ "$(ink "$1" 0)" -gt 5 ] && [ "$(ink "$1" 1)" -gt 5 ] || e2e_fail "mLog never showed a second line"; }
e2e_shot_until "$win" "$E2E_WORK/before.png" two_lines

# wait_clipboard SELECTION EXPECTED-REGEX: what the clipboard holds once it matches
clipboard_matching() {
  local got
  got=$(timeout 5 xclip -o -selection "$1" 2>/dev/null || true)
  [[ $got =~ $2 ]] && printf '%s' "$got"
}
wait_clipboard() {
  e2e_wait_output clipboard_matching "$1" "$2" ||
    e2e_fail "the $1 selection holds \"$(timeout 5 xclip -o -selection "$1" 2>/dev/null || true)\""
}

# the first line, "mLog", from left of its text to past its end
xdotool mousemove --window "$win" $((left - 2)) "$(row 0)" mousedown 1 \
  mousemove --window "$win" $((left + 120)) "$(row 0)" mousemove --window "$win" $((left + 240)) "$(row 0)" mouseup 1
got=$(wait_clipboard primary '^mLog$')
e2e_log "primary selection: $got"
xdotool key ctrl+c
got=$(wait_clipboard clipboard '^mLog$')
e2e_log "clipboard: $got"
# drawn selected: the selection colour behind the line
drawn_selected() {
  local blue
  blue=$(e2e_count_colour "$1" "$left" 315 250 13 "0,120,215")
  [ "$blue" -gt 50 ] || e2e_fail "the selected line is not drawn selected ($blue pixels)"
}
e2e_shot_until "$win" "$E2E_WORK/selected.png" drawn_selected

# two lines: the second is the discovery's own
xdotool mousemove --window "$win" $((left - 2)) "$(row 0)" mousedown 1 \
  mousemove --window "$win" $((left + 120)) "$(row 1)" mousemove --window "$win" $((left + 262)) "$(row 1)" mouseup 1
xdotool key ctrl+c
got=$(wait_clipboard clipboard $'^mLog\n.+')
e2e_log "two lines: ${got//$'\n'/ | }"
second=${got#mLog$'\n'}
[[ $second != *$'\n'* ]] || e2e_fail "more than two lines copied: $got"

e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
