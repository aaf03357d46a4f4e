# The Linux executable: the app code over our Win32 subset (platform/linux,
# SDL2 and POSIX), its install layout and the Debian package.
find_package(DevIL REQUIRED)
find_package(SDL2 REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(Threads REQUIRED)
# libexif reads the EXIF orientation of JPEGs inside the decode helper.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBEXIF REQUIRED IMPORTED_TARGET libexif)
# The decoders for what DevIL cannot read: JPEG 2000, OpenEXR and four-channel
# JPEGs (stb_image's BMP reader is compiled in from libstb-dev's header).
pkg_check_modules(DECODER_LIBRARIES REQUIRED IMPORTED_TARGET libopenjp2 OpenEXR libjpeg)
# Colour management in the decode helper: Little CMS converts, zlib inflates
# PNG's embedded profiles; Xlib reads the display's profile off the root window.
pkg_check_modules(COLOUR_LIBRARIES REQUIRED IMPORTED_TARGET lcms2 zlib x11)
set(DECODER_LIBRARY_SOURCES
  ${CMAKE_SOURCE_DIR}/decoders/libraries/cmyk_jpeg_libjpeg.cpp
  ${CMAKE_SOURCE_DIR}/decoders/libraries/jpeg2000_openjpeg.cpp
  ${CMAKE_SOURCE_DIR}/decoders/libraries/exr_openexr.cpp)
# OpenEXR's type information lives in its own library, which the sanitizer's
# check of virtual calls cannot see; that one check is left out there.
set_source_files_properties(${CMAKE_SOURCE_DIR}/decoders/libraries/exr_openexr.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)

# The registry file the installed viewer reads when OLVISTRA_REGISTRY is unset.
# For the prefix /usr that is /etc/olvistra/olvistra.reg.
set(OLVISTRA_REGISTRY_FILE "${CMAKE_INSTALL_FULL_SYSCONFDIR}/olvistra/olvistra.reg")
set(OLVISTRA_DATA_DIR "${CMAKE_INSTALL_FULL_DATADIR}/olvistra")

# The application icon, compiled in (icon resource 107).
set(ICON_SOURCE "${CMAKE_BINARY_DIR}/generated/icon_data.cpp")
add_custom_command(
  OUTPUT "${ICON_SOURCE}"
  COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_SOURCE_DIR}/resources/olvistra.ico -DOUTPUT=${ICON_SOURCE}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_icon.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/olvistra.ico ${CMAKE_SOURCE_DIR}/cmake/embed_icon.cmake
  COMMENT "Embedding the application icon")

file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/linux/*.cpp)
list(REMOVE_ITEM PLATFORM_SOURCES ${CMAKE_SOURCE_DIR}/platform/linux/entry.cpp)
# The files of platform/ itself serve both platforms.
file(GLOB PLATFORM_SHARED_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/*.cpp)
list(APPEND PLATFORM_SOURCES ${PLATFORM_SHARED_SOURCES})

add_library(olvistra_core STATIC ${APP_SOURCES} ${DECODER_LIBRARY_SOURCES} ${PLATFORM_SOURCES} ${ICON_SOURCE})
target_include_directories(olvistra_core PUBLIC ${CMAKE_SOURCE_DIR} ${IL_INCLUDE_DIR})
target_compile_options(olvistra_core PRIVATE ${OLVISTRA_WARNINGS})
target_compile_definitions(olvistra_core PRIVATE
  OLVISTRA_REGISTRY_FILE="${OLVISTRA_REGISTRY_FILE}")
if(OLVISTRA_TESTS)
  target_compile_definitions(olvistra_core PUBLIC OLVISTRA_TEST_HOOKS)
endif()
target_link_libraries(olvistra_core PUBLIC
  ${ILUT_LIBRARIES} ${ILU_LIBRARIES} ${IL_LIBRARIES}
  SDL2::SDL2 OpenGL::GL OpenGL::GLU Threads::Threads PkgConfig::LIBEXIF PkgConfig::DECODER_LIBRARIES
  PkgConfig::COLOUR_LIBRARIES)

# Optimised builds, the package's among them, get the hardening Debian builds
# its own packages with: checked string and memory calls, and every symbol
# bound at start so the relocations can be made read-only.
if(NOT OLVISTRA_SANITIZE)
  target_compile_definitions(olvistra_core PRIVATE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro,-z,now)
endif()

add_executable(olvistra platform/linux/entry.cpp)
target_compile_options(olvistra PRIVATE ${OLVISTRA_WARNINGS})
target_link_libraries(olvistra PRIVATE olvistra_core)

# Install: the binary, a bundled sample folder, and the registry file that
# points the viewer at its installed data directory; the desktop entry, icons,
# metainfo and manual page come from cmake/desktop.cmake.
install(TARGETS olvistra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY resources/samples DESTINATION ${CMAKE_INSTALL_DATADIR}/olvistra OPTIONAL)
install(FILES resources/olvistra.ico DESTINATION ${CMAKE_INSTALL_DATADIR}/olvistra)
string(REPLACE "\\" "\\\\" OLVISTRA_DATA_DIR_ESCAPED "${OLVISTRA_DATA_DIR}")
string(REPLACE "\"" "\\\"" OLVISTRA_DATA_DIR_ESCAPED "${OLVISTRA_DATA_DIR_ESCAPED}")
configure_file(resources/olvistra.reg.in ${CMAKE_BINARY_DIR}/olvistra.reg @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/olvistra.reg DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/olvistra)

include(cmake/desktop.cmake)
include(cmake/package.cmake)
