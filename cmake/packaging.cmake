# Installation and the Debian package.
#
# The program goes into a folder of its own, /opt/quorvel, because it keeps the pilots'
# photos in "fotopilotos" beside its executable (found through the executable's real path,
# symbolic links resolved), and the operator's account must be able to create and write
# that folder; /usr/bin would not allow it. A link <prefix>/bin/quorvel, the desktop entry
# and the icon make it start like any other program.
#
#   cmake --install build                   program in /opt/quorvel, the rest under /usr/local
#   cpack --config build/CPackConfig.cmake  quorvel_<version>_<arch>.deb (-B to choose the folder)

include(GNUInstallDirs)

set(QUORVEL_PROGRAM_DIR "/opt/quorvel" CACHE PATH
  "Folder the program is installed into; its photo folder \"fotopilotos\" lives beside it")

set(packaging_dir ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/quorvel.desktop.in ${packaging_dir}/quorvel.desktop @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/postinst.in ${packaging_dir}/postinst @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/postrm.in ${packaging_dir}/postrm @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quorvel RUNTIME DESTINATION ${QUORVEL_PROGRAM_DIR} COMPONENT program)
install(FILES ${packaging_dir}/quorvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/assets/icon.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
  RENAME quorvel.png COMPONENT program)
# The installer's configuration file: a commented example, copied to /etc/quorvel by hand.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvel.conf.example DESTINATION ${CMAKE_INSTALL_DOCDIR}
  COMPONENT program)
# The link replaces any copy an earlier rule put in <prefix>/bin: the program must run from
# its own folder to find its photos there.
install(CODE "
  set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quorvel\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(REMOVE \"\${link}\")
  message(STATUS \"Linking: \${link} -> ${QUORVEL_PROGRAM_DIR}/quorvel\")
  file(CREATE_LINK \"${QUORVEL_PROGRAM_DIR}/quorvel\" \"\${link}\" SYMBOLIC)
  " COMPONENT program)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "VYD")
set(CPACK_PACKAGE_CONTACT "VYD quorvel maintainers <quorvel@vyd.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "television overlay of a two-lane drag-race timing installation")
set(CPACK_PACKAGE_DESCRIPTION "Draws the on-air strip (pilots, start-tree lamps, times, outcome) in a magenta-keyed
window for the video mixer, driven by the timing server over TCP and reading pilots and
standings from the race database (MariaDB).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the program's own files: the copy the build's plain rule puts in bin/ stays out.
set(CPACK_COMPONENTS_ALL program)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the labels are drawn with: League Spartan for "Futura Md BT", DejaVu Sans for
# "Verdana"; fontconfig finds them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-league-spartan, fonts-dejavu-core, fontconfig")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mariadb-client")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${packaging_dir}/postinst;${packaging_dir}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
