# The Windows executable: the app code over the real Win32 API, the icon as
# resource 107 and a manifest, DevIL's three DLLs expected beside the
# executable, libexif linked in.
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

# stb_image's BMP reader and stb_image_resize (the shrink to the drawn size)
# are compiled in from Debian's libstb-dev headers, copied aside so that no
# other /usr/include header reaches the cross-build.
# OpenJPEG, OpenEXR and libjpeg are not at hand for mingw-w64: JPEG 2000,
# OpenEXR and four-channel JPEGs are left to DevIL here.
set(OLVISTRA_STB_HEADER "/usr/include/stb/stb_image.h" CACHE FILEPATH "stb_image.h from libstb-dev")
get_filename_component(OLVISTRA_STB_DIR "${OLVISTRA_STB_HEADER}" DIRECTORY)
foreach(header "${OLVISTRA_STB_HEADER}" "${OLVISTRA_STB_DIR}/stb_image_resize.h")
  if(NOT EXISTS "${header}")
    message(FATAL_ERROR "${header} not found (install libstb-dev)")
  endif()
  file(COPY "${header}" DESTINATION "${CMAKE_BINARY_DIR}/stb/include/stb")
endforeach()
list(APPEND APP_SOURCES ${CMAKE_SOURCE_DIR}/decoders/libraries/without_libraries.cpp)

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
# The files of platform/ itself serve both platforms.
file(GLOB PLATFORM_SHARED_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/*.cpp)
list(APPEND PLATFORM_SOURCES ${PLATFORM_SHARED_SOURCES})
# The decode helper runs from a static constructor (decode_transport.cpp).
# MinGW runs the constructors of linked objects last-linked first, so the
# helper's file goes first: the app's own namespace-scope objects are then
# constructed before the helper decodes anything.
set(decode_transport_source ${CMAKE_SOURCE_DIR}/platform/windows/decode_transport.cpp)
list(REMOVE_ITEM PLATFORM_SOURCES ${decode_transport_source})

set_source_files_properties(resources/olvistra.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/resources/olvistra.ico;${CMAKE_SOURCE_DIR}/resources/olvistra.manifest;${CMAKE_SOURCE_DIR}/resources/version.rc"
  COMPILE_DEFINITIONS "OLVISTRA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};OLVISTRA_VERSION_MINOR=${PROJECT_VERSION_MINOR};OLVISTRA_VERSION_PATCH=${PROJECT_VERSION_PATCH}")
add_executable(olvistra WIN32 ${decode_transport_source} ${APP_SOURCES} ${PLATFORM_SOURCES} resources/olvistra.rc)
target_include_directories(olvistra SYSTEM PRIVATE ${IL_INCLUDE_DIR} ${CMAKE_BINARY_DIR}/stb/include ${EXIF_INCLUDE_DIRS})
target_include_directories(olvistra PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(olvistra PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${OLVISTRA_WARNINGS}>)
if(OLVISTRA_DEVIL_FROM_DEF)
  add_dependencies(olvistra devil_import_libraries)
endif()
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  add_dependencies(olvistra windows_deps)
endif()
# The C and C++ runtimes of the compiler and the POSIX thread library are
# linked in, so the executable needs only system DLLs and DevIL's.
target_link_options(olvistra PRIVATE -static -static-libgcc -static-libstdc++)
# libexif is named, not given as a file: the shared folder it lies in is no
# output of this build (windows-deps.cmake).
target_link_directories(olvistra PRIVATE ${EXIF_LIBRARY_DIRS})
target_link_libraries(olvistra PRIVATE
  ${DEVIL_IMPORT_LIBRARIES} ${EXIF_LIBRARIES} ${COLOUR_LIBRARIES} glu32 opengl32 gdi32 user32 advapi32 imm32 pthread)

install(TARGETS olvistra RUNTIME DESTINATION .)
if(OLVISTRA_WINDOWS_DEPS_FROM_SOURCE)
  install(FILES ${OLVISTRA_WINDOWS_DLLS} DESTINATION .)
  install(DIRECTORY "${OLVISTRA_WINDOWS_DEPS_PREFIX}/share/licenses" DESTINATION .)
endif()
install(FILES resources/olvistra-windows.reg DESTINATION . RENAME olvistra.reg)
install(DIRECTORY resources/samples DESTINATION . OPTIONAL)

include(cmake/windows-package.cmake)
