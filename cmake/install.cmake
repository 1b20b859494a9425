# Installing on Linux, and the Debian package made from the same rules
# (scripts/package.sh): the program, the desktop entry, which starts it in a
# data folder of its own, the icons at the sizes a desktop asks for, and the
# AppStream description software centres read.
include(GNUInstallDirs)

install(TARGETS melodiane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES app/melodiane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/org.melodiane.Melodiane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(MELODIANE_ICONS ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES app/melodiane.png DESTINATION ${MELODIANE_ICONS}/32x32/apps)
foreach(size 48 64 128 256)
    install(FILES app/icons/melodiane-${size}.png DESTINATION ${MELODIANE_ICONS}/${size}x${size}/apps
        RENAME melodiane.png)
endforeach()
install(FILES app/icons/melodiane.svg DESTINATION ${MELODIANE_ICONS}/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME melodiane)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Melodiane <melodiane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MP3 player with a French interface")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "MP3 player with a French interface\n One window with the playlist, the transport buttons, a seek slider,\n volume and balance, M3U playlists and a ten-band equalizer.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY melodiane)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the program links, found by dpkg-shlibdeps in the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the dialogs' faces fall back on.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
