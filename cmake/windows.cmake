# The Windows executables: the viewer, the app code over the real Win32 API,
# with the icon as resource 107 and a manifest, and its decode helper
# olvistra-decode.exe beside it; DevIL's three DLLs expected beside them,
# libexif linked in.
enable_language(RC)

# Cross-builds make DevIL's DLLs and libexif from source (windows-deps.cmake);
# native builds (MSYS2, vcpkg) use the installed ones.
option(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE "Build DevIL and libexif from the source tarballs" ${CMAKE_CROSSCOMPILING})
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  include(cmake/windows-deps.cmake)
endif()

# Cross-builds link DevIL through import libraries made from
# module-definition files listing exactly the functions the viewer calls, so
# what olvistra.exe imports follows the code, not a DevIL build
# (scripts/check-windows-imports checks both). The headers are DevIL's own
# from the source build, else Debian's (the API is the same). Native builds
# (MSYS2, vcpkg) turn this off and use the installed DevIL.
if(CMAKE_CROSSCOMPILING)
  set(devil_from_def_default ON)
else()
  set(devil_from_def_default OFF)
endif()
option(OLVISTRA_DEVIL_FROM_DEF "Link DevIL through import libraries made from platform/windows/devil/*.def" ${devil_from_def_default})

if(OLVISTRA_DEVIL_FROM_DEF AND OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  # DevIL's own headers, from the build of its DLLs.
  set(devil_include "${OLVISTRA_WINDOWS_DEPS_PREFIX}/include")
endif()
if(OLVISTRA_DEVIL_FROM_DEF AND NOT OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  set(OLVISTRA_DEVIL_HEADERS "/usr/include/IL" CACHE PATH "Directory holding DevIL's il.h, ilu.h and ilut.h")
  if(NOT EXISTS "${OLVISTRA_DEVIL_HEADERS}/il.h")
    message(FATAL_ERROR "DevIL headers not found in ${OLVISTRA_DEVIL_HEADERS} (set OLVISTRA_DEVIL_HEADERS)")
  endif()
  # ilut.h includes <IL/ilut_config.h> on Windows, which only DevIL's own
  # Windows build produces; ours selects the OpenGL and Win32 parts.
  set(devil_include "${CMAKE_BINARY_DIR}/devil/include")
  file(GLOB devil_headers "${OLVISTRA_DEVIL_HEADERS}/*.h")
  file(COPY ${devil_headers} ${CMAKE_SOURCE_DIR}/platform/windows/include/IL/ilut_config.h
       DESTINATION "${devil_include}/IL")
endif()

if(OLVISTRA_DEVIL_FROM_DEF)
  if(NOT CMAKE_DLLTOOL)
    find_program(CMAKE_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  endif()
  set(DEVIL_IMPORT_LIBRARIES)
  foreach(dll DevIL ILU ILUT)
    set(def "${CMAKE_SOURCE_DIR}/platform/windows/devil/${dll}.def")
    set(implib "${CMAKE_BINARY_DIR}/devil/lib${dll}.dll.a")
    add_custom_command(
      OUTPUT "${implib}"
      COMMAND ${CMAKE_DLLTOOL} -d "${def}" -l "${implib}" -D ${dll}.dll
      DEPENDS "${def}"
      COMMENT "Making the import library for ${dll}.dll")
    list(APPEND DEVIL_IMPORT_LIBRARIES "${implib}")
  endforeach()
  add_custom_target(devil_import_libraries DEPENDS ${DEVIL_IMPORT_LIBRARIES})
  set(IL_INCLUDE_DIR "${devil_include}")
  # The order matters for a one-pass linker: ILUT before ILU before IL.
  list(REVERSE DEVIL_IMPORT_LIBRARIES)
else()
  find_package(DevIL REQUIRED)
  set(DEVIL_IMPORT_LIBRARIES ${ILUT_LIBRARIES} ${ILU_LIBRARIES} ${IL_LIBRARIES})
endif()

# stb_image's BMP reader is compiled in from Debian's libstb-dev header,
# copied aside so that no other /usr/include header reaches the cross-build.
# OpenJPEG and OpenEXR are not at hand for mingw-w64: JPEG 2000 and OpenEXR
# are left to DevIL here.
set(OLVISTRA_STB_HEADER "/usr/include/stb/stb_image.h" CACHE FILEPATH "stb_image.h from libstb-dev")
get_filename_component(OLVISTRA_STB_DIR "${OLVISTRA_STB_HEADER}" DIRECTORY)
foreach(header "${OLVISTRA_STB_HEADER}")
  if(NOT EXISTS "${header}")
    message(FATAL_ERROR "${header} not found (install libstb-dev)")
  endif()
  file(COPY "${header}" DESTINATION "${CMAKE_BINARY_DIR}/stb/include/stb")
endforeach()
list(APPEND decoders_SOURCES ${CMAKE_SOURCE_DIR}/decoders/libraries/without_libraries.cpp)
# Where DevIL is our own build, which exports its entry for a prepared
# decompressor, the helper links the libjpeg-turbo built with it (the same
# version as inside DevIL.dll, so both read the decompressor alike): large
# JPEGs are decoded at a reduced size, four-channel ones by our decoder.
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  list(APPEND decoders_SOURCES ${CMAKE_SOURCE_DIR}/decoders/libraries/reduced_jpeg_libjpeg.cpp
       ${CMAKE_SOURCE_DIR}/decoders/libraries/cmyk_jpeg_libjpeg.cpp)
  set(LIBJPEG_LIBRARIES jpeg)
else()
  list(APPEND decoders_SOURCES ${CMAKE_SOURCE_DIR}/decoders/libraries/without_libjpeg.cpp)
  set(LIBJPEG_LIBRARIES)
endif()

# libexif reads the EXIF orientation of JPEGs inside the decode helper.
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  set(EXIF_INCLUDE_DIRS "${OLVISTRA_WINDOWS_DEPS_PREFIX}/include")
  set(EXIF_LIBRARY_DIRS "${OLVISTRA_WINDOWS_DEPS_PREFIX}/lib")
  set(EXIF_LIBRARIES exif)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(EXIF REQUIRED libexif)
endif()

# Little CMS converts colours in the decode helper, zlib inflates PNG's
# embedded profiles; both are linked in statically.
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  set(COLOUR_LIBRARIES lcms2 /usr/x86_64-w64-mingw32/lib/libz.a)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(COLOUR REQUIRED lcms2 zlib)
  set(COLOUR_LIBRARIES ${COLOUR_LIBRARIES})
  list(APPEND EXIF_INCLUDE_DIRS ${COLOUR_INCLUDE_DIRS})
  list(APPEND EXIF_LIBRARY_DIRS ${COLOUR_LIBRARY_DIRS})
endif()

file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/windows/*.cpp)
# The decode helper's own side of the platform: its entry, what it does to
# itself, and the test build's attack on its sandbox. The pipes' framing
# serves both programs.
set(HELPER_PLATFORM_SOURCES
  ${CMAKE_SOURCE_DIR}/platform/windows/decode_helper.cpp
  ${CMAKE_SOURCE_DIR}/platform/windows/decode_sandbox.cpp
  ${CMAKE_SOURCE_DIR}/platform/windows/sandbox_attack.cpp)
list(REMOVE_ITEM PLATFORM_SOURCES ${HELPER_PLATFORM_SOURCES})
list(APPEND HELPER_PLATFORM_SOURCES ${CMAKE_SOURCE_DIR}/platform/windows/decode_pipe.cpp)
list(APPEND PLATFORM_SOURCES ${PLATFORM_SHARED_SOURCES})

# Stack canaries and checked string and memory calls, as in the libraries
# (scripts/windows-deps); their runtime, libssp, is linked in statically.
set(OLVISTRA_HARDENING -fstack-protector-strong $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)

# The layers (cmake/layers.cmake). DevIL's IL and ILU, libexif and Little
# CMS come with the layers below render, which alone has ILUT; the system
# libraries come last, with the platform layer (a DLL is imported only for
# what is called from it, so the helper imports none it does not call).
set(OLVISTRA_LAYER_OPTIONS $<$<COMPILE_LANGUAGE:CXX>:${OLVISTRA_WARNINGS} ${OLVISTRA_HARDENING}>)
set(OLVISTRA_LAYER_DEFINITIONS)
# The C and C++ runtimes of the compiler and the POSIX thread library are
# linked in, so the executables need only system DLLs and DevIL's.
set(OLVISTRA_LAYER_LINK_OPTIONS -static -static-libgcc -static-libstdc++)
if(OLVISTRA_DEVIL_FROM_DEF)
  set(ILUT_IMPORT_LIBRARY "${CMAKE_BINARY_DIR}/devil/libILUT.dll.a")
  set(HELPER_DEVIL_LIBRARIES "${CMAKE_BINARY_DIR}/devil/libILU.dll.a" "${CMAKE_BINARY_DIR}/devil/libDevIL.dll.a")
else()
  set(ILUT_IMPORT_LIBRARY ${ILUT_LIBRARIES})
  set(HELPER_DEVIL_LIBRARIES ${ILU_LIBRARIES} ${IL_LIBRARIES})
endif()
olvistra_layer(util ssp ${util_SOURCES})
target_include_directories(olvistra_util SYSTEM PUBLIC ${IL_INCLUDE_DIR} ${CMAKE_BINARY_DIR}/stb/include ${EXIF_INCLUDE_DIRS})
if(OLVISTRA_DEVIL_FROM_DEF)
  add_dependencies(olvistra_util devil_import_libraries)
endif()
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  add_dependencies(olvistra_util windows_deps)
endif()
# libexif is named, not given as a file: the shared folder it lies in is no
# output of this build (windows-deps.cmake).
target_link_directories(olvistra_util PUBLIC ${EXIF_LIBRARY_DIRS})
olvistra_layer(platform
  "olvistra_util;${EXIF_LIBRARIES};glu32;opengl32;gdi32;user32;advapi32;imm32;pthread;ssp" ${PLATFORM_SOURCES})
olvistra_layer(decoders "olvistra_platform;${HELPER_DEVIL_LIBRARIES};${COLOUR_LIBRARIES};${LIBJPEG_LIBRARIES};ssp"
  ${decoders_SOURCES})
olvistra_layer(model olvistra_decoders ${model_SOURCES})
olvistra_layer(render "olvistra_model;${ILUT_IMPORT_LIBRARY}" ${render_SOURCES})
olvistra_layer(app olvistra_render ${app_SOURCES})

set_source_files_properties(resources/olvistra.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/olvistra.ico;${CMAKE_SOURCE_DIR}/resources/olvistra.manifest;${CMAKE_SOURCE_DIR}/resources/version.rc"
  COMPILE_DEFINITIONS "OLVISTRA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};OLVISTRA_VERSION_MINOR=${PROJECT_VERSION_MINOR};OLVISTRA_VERSION_PATCH=${PROJECT_VERSION_PATCH}")
add_executable(olvistra WIN32 app/main.cpp resources/olvistra.rc)
target_compile_options(olvistra PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${OLVISTRA_WARNINGS} ${OLVISTRA_HARDENING}>)
target_link_options(olvistra PRIVATE ${OLVISTRA_LAYER_LINK_OPTIONS})
target_link_libraries(olvistra PRIVATE olvistra_app)

# The decode helper, a console program of its own that draws nothing: no
# USER32, GDI32, OPENGL32 or ILUT (scripts/check-windows-imports checks it),
# so it can run with win32k system calls turned off.
set_source_files_properties(resources/olvistra-decode.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/olvistra-decode.manifest")
add_executable(olvistra-decode helper/main.cpp ${HELPER_PLATFORM_SOURCES} resources/olvistra-decode.rc)
target_compile_options(olvistra-decode PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${OLVISTRA_WARNINGS} ${OLVISTRA_HARDENING}>)
target_link_options(olvistra-decode PRIVATE ${OLVISTRA_LAYER_LINK_OPTIONS})
target_link_libraries(olvistra-decode PRIVATE olvistra_model advapi32 pthread)
add_dependencies(olvistra olvistra-decode)

install(TARGETS olvistra olvistra-decode RUNTIME DESTINATION .)
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  install(FILES ${OLVISTRA_WINDOWS_DLLS} DESTINATION .)
  install(DIRECTORY "${OLVISTRA_WINDOWS_DEPS_PREFIX}/share/licenses" DESTINATION .)
endif()
install(FILES resources/olvistra-windows.reg DESTINATION . RENAME olvistra.reg)
install(DIRECTORY resources/samples DESTINATION . OPTIONAL)

include(cmake/windows-package.cmake)
