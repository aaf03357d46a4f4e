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
# JPEGs; libjpeg also sets up large JPEGs for DevIL to load at a reduced size
# (stb_image's BMP reader is compiled in from libstb-dev's header).
pkg_check_modules(DECODER_LIBRARIES REQUIRED IMPORTED_TARGET libopenjp2 OpenEXR libjpeg)
# Colour management in the decode helper: Little CMS converts, zlib inflates
# PNG's embedded profiles; Xlib reads the display's profile off the root
# window, in the viewer (the helper draws nothing).
pkg_check_modules(COLOUR_LIBRARIES REQUIRED IMPORTED_TARGET lcms2 zlib)
pkg_check_modules(XLIB REQUIRED IMPORTED_TARGET x11)
set(DECODER_LIBRARY_SOURCES
  ${CMAKE_SOURCE_DIR}/decoders/libraries/cmyk_jpeg_libjpeg.cpp
  ${CMAKE_SOURCE_DIR}/decoders/libraries/reduced_jpeg_libjpeg.cpp
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
# The decode helper's own side of the platform: its entry, its sandbox and
# the test build's attack on it.
set(HELPER_PLATFORM_SOURCES
  ${CMAKE_SOURCE_DIR}/platform/linux/decode_helper.cpp
  ${CMAKE_SOURCE_DIR}/platform/linux/decode_sandbox.cpp
  ${CMAKE_SOURCE_DIR}/platform/linux/sandbox_attack.cpp)
list(REMOVE_ITEM PLATFORM_SOURCES ${CMAKE_SOURCE_DIR}/platform/linux/entry.cpp ${HELPER_PLATFORM_SOURCES})
list(APPEND HELPER_PLATFORM_SOURCES ${CMAKE_SOURCE_DIR}/platform/linux/descriptor_passing.cpp)
list(APPEND PLATFORM_SOURCES ${PLATFORM_SHARED_SOURCES})

# Optimised builds, the package's among them, get the hardening Debian builds
# its own packages with: checked string and memory calls, and every symbol
# bound at start so the relocations can be made read-only.
set(OLVISTRA_HARDENING)
if(NOT OLVISTRA_SANITIZE)
  set(OLVISTRA_HARDENING $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro,-z,now)
endif()

# The layers (cmake/layers.cmake). DevIL's IL and ILU, libexif and the
# decoder libraries come with the layers below render, which is the only one
# with ILUT and GL; the decode helper links up to model only.
set(OLVISTRA_LAYER_OPTIONS ${OLVISTRA_WARNINGS})
set(OLVISTRA_LAYER_DEFINITIONS ${OLVISTRA_HARDENING})
olvistra_layer(util Threads::Threads ${util_SOURCES})
if(OLVISTRA_TESTS)
  target_compile_definitions(olvistra_util PUBLIC OLVISTRA_TEST_HOOKS)
endif()
olvistra_layer(platform "olvistra_util;SDL2::SDL2;PkgConfig::XLIB;PkgConfig::LIBEXIF" ${PLATFORM_SOURCES} ${ICON_SOURCE})
target_compile_definitions(olvistra_platform PRIVATE OLVISTRA_REGISTRY_FILE="${OLVISTRA_REGISTRY_FILE}")
olvistra_layer(decoders
  "olvistra_platform;${ILU_LIBRARIES};${IL_LIBRARIES};PkgConfig::DECODER_LIBRARIES;PkgConfig::COLOUR_LIBRARIES"
  ${decoders_SOURCES} ${DECODER_LIBRARY_SOURCES})
target_include_directories(olvistra_decoders PUBLIC ${IL_INCLUDE_DIR})
olvistra_layer(model olvistra_decoders ${model_SOURCES})
olvistra_layer(render "olvistra_model;${ILUT_LIBRARIES};OpenGL::GL;OpenGL::GLU" ${render_SOURCES})
olvistra_layer(app olvistra_render ${app_SOURCES})

# The viewer finds its decode helper beside itself (in a build) or in the
# install's folder for private programs (libexec/olvistra), the same way up
# from its own bin folder.
set(OLVISTRA_HELPER_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/olvistra)
file(RELATIVE_PATH helper_from_bin "/${CMAKE_INSTALL_BINDIR}" "/${OLVISTRA_HELPER_INSTALL_DIR}")
set_property(SOURCE ${CMAKE_SOURCE_DIR}/platform/linux/decode_transport.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OLVISTRA_HELPER_FROM_BIN="${helper_from_bin}")

add_executable(olvistra platform/linux/entry.cpp app/main.cpp)
target_compile_options(olvistra PRIVATE ${OLVISTRA_WARNINGS})
target_link_libraries(olvistra PRIVATE olvistra_app)
# The viewer decodes nothing itself: only the libraries it calls are loaded
# at its start, not the decoders the layers below bring for the helper.
target_link_options(olvistra PRIVATE -Wl,--as-needed)

# The decode helper, a program of its own: no SDL, no GL, no X11
# (scripts/check-helper-libraries checks its NEEDED entries). It links the
# layers up to model, of which it takes what it calls; the platform layer's
# SDL and X11 are needed only by what it leaves out.
add_executable(olvistra-decode helper/main.cpp ${HELPER_PLATFORM_SOURCES})
target_compile_options(olvistra-decode PRIVATE ${OLVISTRA_WARNINGS})
target_compile_definitions(olvistra-decode PRIVATE ${OLVISTRA_HARDENING})
target_link_options(olvistra-decode PRIVATE -Wl,--as-needed)
target_link_libraries(olvistra-decode PRIVATE olvistra_model)
add_dependencies(olvistra olvistra-decode)

# Install: the binary and its decode helper, a bundled sample folder, and the registry file that
# points the viewer at its installed data directory; the desktop entry, icons,
# metainfo and manual page come from cmake/desktop.cmake.
install(TARGETS olvistra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS olvistra-decode RUNTIME DESTINATION ${OLVISTRA_HELPER_INSTALL_DIR})
install(DIRECTORY resources/samples DESTINATION ${CMAKE_INSTALL_DATADIR}/olvistra OPTIONAL)
install(FILES resources/olvistra.ico DESTINATION ${CMAKE_INSTALL_DATADIR}/olvistra)
string(REPLACE "\\" "\\\\" OLVISTRA_DATA_DIR_ESCAPED "${OLVISTRA_DATA_DIR}")
string(REPLACE "\"" "\\\"" OLVISTRA_DATA_DIR_ESCAPED "${OLVISTRA_DATA_DIR_ESCAPED}")
configure_file(resources/olvistra.reg.in ${CMAKE_BINARY_DIR}/olvistra.reg @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/olvistra.reg DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/olvistra)

include(cmake/desktop.cmake)
include(cmake/package.cmake)
