# What the Linux desktop shows of the viewer: the desktop entry, the icons at
# every hicolor size, the AppStream metainfo for software centres and the
# manual page. Paths in the manual page follow the install prefix.
set(OLVISTRA_ICON_SIZES 16 24 32 48 64 128 256)
set(OLVISTRA_DESKTOP_FILE "${CMAKE_INSTALL_FULL_DATADIR}/applications/olvistra.desktop")

install(FILES resources/olvistra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size ${OLVISTRA_ICON_SIZES})
  install(FILES resources/icons/olvistra-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME olvistra.png)
endforeach()
install(FILES resources/icons/olvistra.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The metainfo provides exactly the MIME types the desktop entry opens.
file(READ resources/olvistra.desktop desktop_entry)
string(REGEX MATCH "\nMimeType=([^\n]*)" mime_line "${desktop_entry}")
set(mime_types "${CMAKE_MATCH_1}")  # a ';' list, as CMake lists are
set(OLVISTRA_METAINFO_MEDIATYPES "")
foreach(type ${mime_types})
  string(APPEND OLVISTRA_METAINFO_MEDIATYPES "    <mediatype>${type}</mediatype>\n")
endforeach()
string(STRIP "${OLVISTRA_METAINFO_MEDIATYPES}" OLVISTRA_METAINFO_MEDIATYPES)
set(metainfo "${CMAKE_BINARY_DIR}/com.quenmark.olvistra.metainfo.xml")
configure_file(resources/linux/olvistra.metainfo.xml "${metainfo}" @ONLY)
install(FILES "${metainfo}" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page, compressed as Debian keeps them.
configure_file(resources/linux/olvistra.1.in "${CMAKE_BINARY_DIR}/olvistra.1" @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/olvistra.1.gz"
  COMMAND ${GZIP} -9 -n -c "${CMAKE_BINARY_DIR}/olvistra.1" > "${CMAKE_BINARY_DIR}/olvistra.1.gz"
  DEPENDS "${CMAKE_BINARY_DIR}/olvistra.1"
  COMMENT "Compressing the manual page")
add_custom_target(manual_page ALL DEPENDS "${CMAKE_BINARY_DIR}/olvistra.1.gz")
install(FILES "${CMAKE_BINARY_DIR}/olvistra.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
