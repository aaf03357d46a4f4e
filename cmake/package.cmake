# The Debian package: `cpack -G DEB` in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr (the registry file then lands in /etc).
set(CPACK_PACKAGE_NAME olvistra)
set(CPACK_PACKAGE_VENDOR Quenmark)
set(CPACK_PACKAGE_CONTACT "Olvistra developers <olvistra@quenmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast OpenGL image viewer")
set(CPACK_PACKAGE_DESCRIPTION "Olvistra shows the images of a directory one at a time in an OpenGL
window and steps through them with the keyboard. Images are decoded by DevIL,
and by OpenJPEG, OpenEXR, libjpeg and stb_image where DevIL cannot.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# One package per library the binary is linked against (its NEEDED entries):
# SDL2, DevIL with ILU and ILUT, libexif, the decoders' OpenJPEG, OpenEXR (with
# Imath) and libjpeg, colour management's Little CMS, zlib and Xlib, GL through
# GLVND (libOpenGL, libGLX), GLU and the C and C++ runtimes. The package test
# checks this list against the binary.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6, libstdc++6, libgcc-s1, libsdl2-2.0-0, libdevil1c2, libexif12, libopenjp2-7, libopenexr-3-1-30, libimath-3-1-29, libjpeg62-turbo, liblcms2-2, zlib1g, libx11-6, libopengl0, libglx0, libgl1, libglu1-mesa")
# An edited registry file survives upgrades.
if(OLVISTRA_REGISTRY_FILE MATCHES "^/etc/")
  file(WRITE "${CMAKE_BINARY_DIR}/debian/conffiles" "${OLVISTRA_REGISTRY_FILE}\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/debian/conffiles")
endif()

# What Debian asks of every package: a copyright file and a compressed
# changelog in its documentation folder.
configure_file(resources/linux/changelog.in "${CMAKE_BINARY_DIR}/debian/changelog" @ONLY)
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/debian/changelog.gz"
  COMMAND ${GZIP} -9 -n -c "${CMAKE_BINARY_DIR}/debian/changelog" > "${CMAKE_BINARY_DIR}/debian/changelog.gz"
  DEPENDS "${CMAKE_BINARY_DIR}/debian/changelog"
  COMMENT "Compressing the changelog")
add_custom_target(package_changelog ALL DEPENDS "${CMAKE_BINARY_DIR}/debian/changelog.gz")
install(FILES resources/linux/copyright "${CMAKE_BINARY_DIR}/debian/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
