# The Windows executable: the app code over the real Win32 API, the icon as
# resource 107, and DevIL's three DLLs expected beside the executable.
enable_language(RC)

# Cross-builds have no DevIL for Windows to link against, only its headers
# (the Debian ones; the API is the same). The import libraries are made from
# module-definition files listing exactly the functions the viewer calls.
# Native builds (MSYS2, vcpkg) turn this off and use the installed DevIL.
if(CMAKE_CROSSCOMPILING)
  set(devil_from_def_default ON)
else()
  set(devil_from_def_default OFF)
endif()
option(OLVISTRA_DEVIL_FROM_DEF "Link DevIL through import libraries made from platform/windows/devil/*.def" ${devil_from_def_default})

if(OLVISTRA_DEVIL_FROM_DEF)
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
# OpenJPEG, OpenEXR and libjpeg are not at hand for mingw-w64: JPEG 2000,
# OpenEXR and four-channel JPEGs are left to DevIL here.
set(OLVISTRA_STB_HEADER "/usr/include/stb/stb_image.h" CACHE FILEPATH "stb_image.h from libstb-dev")
if(NOT EXISTS "${OLVISTRA_STB_HEADER}")
  message(FATAL_ERROR "stb_image.h not found at ${OLVISTRA_STB_HEADER} (install libstb-dev)")
endif()
file(COPY "${OLVISTRA_STB_HEADER}" DESTINATION "${CMAKE_BINARY_DIR}/stb/include/stb")
list(APPEND APP_SOURCES ${CMAKE_SOURCE_DIR}/decoders/libraries/without_libraries.cpp)

file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/windows/*.cpp)
# The decode helper runs from a static constructor (decode_service.cpp).
# MinGW runs the constructors of linked objects last-linked first, so the
# helper's file goes first: the app's own namespace-scope objects are then
# constructed before the helper decodes anything.
set(decode_service_source ${CMAKE_SOURCE_DIR}/platform/windows/decode_service.cpp)
list(REMOVE_ITEM PLATFORM_SOURCES ${decode_service_source})

add_executable(olvistra WIN32 ${decode_service_source} ${APP_SOURCES} ${PLATFORM_SOURCES} resources/olvistra.rc)
target_include_directories(olvistra SYSTEM PRIVATE ${IL_INCLUDE_DIR} ${CMAKE_BINARY_DIR}/stb/include)
target_include_directories(olvistra PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(olvistra PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${OLVISTRA_WARNINGS}>)
if(OLVISTRA_DEVIL_FROM_DEF)
  add_dependencies(olvistra devil_import_libraries)
endif()
# The C and C++ runtimes of the compiler and the POSIX thread library are
# linked in, so the executable needs only system DLLs and DevIL's.
target_link_options(olvistra PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(olvistra PRIVATE
  ${DEVIL_IMPORT_LIBRARIES} glu32 opengl32 gdi32 user32 advapi32 pthread)

install(TARGETS olvistra RUNTIME DESTINATION .)
install(FILES resources/olvistra-windows.reg DESTINATION . RENAME olvistra.reg)
install(DIRECTORY resources/samples DESTINATION . OPTIONAL)
