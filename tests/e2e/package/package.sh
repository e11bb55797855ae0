#!/usr/bin/env bash
# Installation at a track: the Debian package holds the program in /opt/quorvel with a link
# in /usr/bin, the desktop entry and the icon, and depends on the runtime libraries and the
# fonts; `cmake --install` lays out the same; and the installed program, started through
# the link, makes its photo folder beside its real file, where the operator can write.
source "$(dirname "$0")/../lib/e2e.sh"

build=${QUORVEL_SIM%/tools/simulator/quorvel-sim}
[ -f "$build/CPackConfig.cmake" ] || e2e_fail "no CPackConfig.cmake in $build"

# --- the package ---
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$E2E_WORK/pkg" >"$E2E_WORK/cpack.log" 2>&1 \
  || { cat "$E2E_WORK/cpack.log" >&2; e2e_fail "cpack failed"; }
deb=$(ls "$E2E_WORK"/pkg/quorvel_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || e2e_fail "no quorvel_*.deb made"
e2e_log "package $(basename "$deb")"

root=$E2E_WORK/root
dpkg-deb -x "$deb" "$root"
[ -x "$root/opt/quorvel/quorvel" ] || e2e_fail "the executable is not in /opt/quorvel"
file -b "$root/opt/quorvel/quorvel" | grep -q ELF || e2e_fail "/opt/quorvel/quorvel is not a program"
[ "$(readlink "$root/usr/bin/quorvel")" = /opt/quorvel/quorvel ] || e2e_fail "/usr/bin/quorvel is not a link to /opt/quorvel/quorvel"
desktop=$root/usr/share/applications/quorvel.desktop
[ -f "$desktop" ] || e2e_fail "no desktop entry"
for line in "Type=Application" "Name=VYD - Quorvel V3" "Exec=/opt/quorvel/quorvel" "Icon=quorvel"; do
  grep -qx "$line" "$desktop" || e2e_fail "the desktop entry lacks \"$line\""
done
icon=$root/usr/share/icons/hicolor/64x64/apps/quorvel.png
[ -f "$icon" ] || e2e_fail "no icon"
[ "$(identify -format '%m %wx%h' "$icon")" = "PNG 64x64" ] || e2e_fail "the icon is not a 64x64 PNG"
cmp -s "$icon" "$QUORVEL_SOURCE_DIR/assets/icon.png" || e2e_fail "the icon is not assets/icon.png"
cmp -s "$root/usr/share/doc/quorvel/quorvel.conf.example" "$QUORVEL_SOURCE_DIR/packaging/quorvel.conf.example" \
  || e2e_fail "no example configuration file in /usr/share/doc/quorvel"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6network6 libqt6websockets6 libmariadb3 libjpeg62-turbo fonts-league-spartan fonts-dejavu-core; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || e2e_fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = quorvel ] || e2e_fail "the package is not named quorvel"

# The maintainer script makes the photo folder writable for the group users: run it with
# the folder moved into the scratch root.
control=$E2E_WORK/control
dpkg-deb -e "$deb" "$control"
sed "s|/opt/quorvel|$root/opt/quorvel|g" "$control/postinst" >"$E2E_WORK/postinst"
sh "$E2E_WORK/postinst" configure || e2e_fail "postinst failed"
[ "$(stat -c '%a %G' "$root/opt/quorvel/fotopilotos")" = "2775 users" ] \
  || e2e_fail "postinst made fotopilotos $(stat -c '%a %G' "$root/opt/quorvel/fotopilotos")"
rmdir "$root/opt/quorvel/fotopilotos"

# --- cmake --install ---
root2=$E2E_WORK/root2
DESTDIR=$root2 cmake --install "$build" --prefix /usr/local >"$E2E_WORK/install.log" 2>&1 \
  || { cat "$E2E_WORK/install.log" >&2; e2e_fail "cmake --install failed"; }
[ -x "$root2/opt/quorvel/quorvel" ] || e2e_fail "cmake --install: no /opt/quorvel/quorvel"
[ "$(readlink "$root2/usr/local/bin/quorvel")" = /opt/quorvel/quorvel ] \
  || e2e_fail "cmake --install: /usr/local/bin/quorvel is not a link to the program"
[ -f "$root2/usr/local/share/applications/quorvel.desktop" ] || e2e_fail "cmake --install: no desktop entry"
[ -f "$root2/usr/local/share/icons/hicolor/64x64/apps/quorvel.png" ] || e2e_fail "cmake --install: no icon"

# --- the installed program, started through a link ---
ln -s ../../opt/quorvel/quorvel "$root/usr/bin/quorvel-here"
e2e_start_x
e2e_start_db
"$root/usr/bin/quorvel-here" >"$E2E_WORK/quorvel.log" 2>&1 &
QUORVEL_PID=$!
e2e_track "$QUORVEL_PID"
win=$(e2e_wait_window "VYD - Quorvel V3") || { cat "$E2E_WORK/quorvel.log" >&2; e2e_fail "the installed program showed no window"; }
e2e_wait_for "no photo folder beside the real executable" test -d "$root/opt/quorvel/fotopilotos"
[ -e "$root/usr/bin/fotopilotos" ] && e2e_fail "the photo folder was made beside the link"
e2e_x11_close "$win"
e2e_wait_exit "$QUORVEL_PID" || e2e_fail "quorvel did not end"
[ "$E2E_STATUS" = 0 ] || e2e_fail "exit status $E2E_STATUS"
e2e_log "PASS"
