# Helpers of the single-instance scenarios: several copies of quorvel on one X server,
# the guard's box, the stacking order. Source it after ../lib/e2e.sh.

GUARD_TITLE="VYD - Quorvel V3"
GUARD_OVERLAY_WIDTH=1629

# guard_start_sim: the stand-in timing server on 127.0.0.1:3335. It answers no discovery,
# so every copy keeps its initial host, 127.0.0.1; its log is $E2E_WORK/sim.log.
guard_start_sim() {
  "$QUORVEL_SIM" --listen 127.0.0.1:3335 --log "$E2E_WORK/sim.log" &
  e2e_track $!
  e2e_wait_log "$E2E_WORK/sim.log" 'listening tcp' || e2e_fail "the simulator did not start"
}

# guard_connections: how many TCP connections the timing server has accepted so far.
guard_connections() { grep -c ' tcp connected ' "$E2E_WORK/sim.log" || true; }

# guard_wait_connections N: waits until the timing server has accepted N connections.
guard_connected() { [ "$(guard_connections)" -ge "$1" ]; }
guard_wait_connections() { e2e_until guard_connected "$1"; }

# guard_start_copy NAME: one more copy; its pid in COPY_PID, its output in NAME.log.
guard_start_copy() {
  "$QUORVEL_BIN" >"$E2E_WORK/$1.log" 2>&1 &
  COPY_PID=$!
  e2e_track "$COPY_PID"
  e2e_log "copy $1 started, pid $COPY_PID"
}

# guard_titled_windows: the visible windows whose title is the application title; the
# overlay and the guard's box both have it.
guard_titled_windows() { xdotool search --onlyvisible --name "^${GUARD_TITLE}\$" 2>/dev/null || true; }

guard_width() { xwininfo -id "$1" 2>/dev/null | awk '/^ *Width:/ {print $2}'; }

# guard_overlays: the visible overlay windows (the box is far narrower).
guard_overlays() {
  local id
  for id in $(guard_titled_windows); do
    [ "$(guard_width "$id")" = "$GUARD_OVERLAY_WIDTH" ] && echo "$id"
  done
  return 0
}

# guard_box: the id of the guard's box if it is up.
guard_box() {
  local id width
  for id in $(guard_titled_windows); do
    width=$(guard_width "$id")
    [ -n "$width" ] && [ "$width" != "$GUARD_OVERLAY_WIDTH" ] && { echo "$id"; return 0; }
  done
  return 0
}
# guard_wait_box: prints the id of the guard's box once it is up.
guard_wait_box() { e2e_wait_output guard_box; }
# guard_no_box_for SECONDS: no box comes up for that long.
guard_no_box() { [ -z "$(guard_box)" ]; }
guard_no_box_for() { e2e_holds "$1" guard_no_box; }

# guard_press_ok WINDOW-ID: the box's default button, OK, by the keyboard.
guard_press_ok() { xdotool windowfocus "$1" key Return; }

# guard_watch_maps: from now on every window mapped on the screen is written to
# $E2E_WORK/maps.log, however briefly it is shown.
guard_watch_maps() {
  : "${QUORVEL_X11_MAPS:?QUORVEL_X11_MAPS must name the x11-maps helper}"
  "$QUORVEL_X11_MAPS" >"$E2E_WORK/maps.log" &
  e2e_track $!
  e2e_wait_log "$E2E_WORK/maps.log" '^watching' || e2e_fail "the window watcher did not start"
}

# guard_overlay_maps: the ids of the overlay windows ever mapped so far, in order, one for
# each time one was mapped.
guard_overlay_maps() { awk -v w="$GUARD_OVERLAY_WIDTH" '$1 == "map" && $3 ~ "^" w "x" {print $2}' "$E2E_WORK/maps.log"; }

# guard_top_window: the id (decimal) of the topmost viewable top-level window. Without a
# window manager the screen's children are the top-level windows, listed top first.
guard_top_window() {
  local id
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' || continue
    [ "$(guard_width "$id")" -gt 10 ] || continue # Qt's invisible helper windows
    echo $((id))
    return 0
  done
  return 1
}

guard_is_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

guard_focus() { xdotool getwindowfocus 2>/dev/null || true; }

# guard_wait_overlay: prints the id of the first visible overlay window.
guard_first_overlay() { guard_overlays | head -n1; }
guard_wait_overlay() { e2e_wait_output guard_first_overlay; }

# guard_window_pid WINDOW-ID: the process that shows the window.
guard_window_pid() { xprop -id "$1" _NET_WM_PID | awk '{print $3}'; }

# guard_raised_and_active WINDOW-ID: waits until the window is on top and has the focus.
guard_on_top_with_focus() { [ "$(guard_top_window)" = "$1" ] && [ "$(guard_focus)" = "$1" ]; }
guard_raised_and_active() { e2e_until guard_on_top_with_focus "$1"; }
