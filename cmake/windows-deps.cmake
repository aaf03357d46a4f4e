# DevIL (DevIL.dll, ILU.dll, ILUT.dll), libexif and Little CMS for Windows, cross-built
# from source tarballs by scripts/windows-deps. They are built once per set
# of tarballs and build recipe, into a folder under build/ that every Windows
# build of this source tree shares, and the DLLs are copied beside
# olvistra.exe. Sets OLVISTRA_WINDOWS_DEPS_PREFIX, OLVISTRA_WINDOWS_DLLS and
# the target windows_deps.
set(OLVISTRA_THIRD_PARTY_DIR "${CMAKE_SOURCE_DIR}/../shared/third_party" CACHE PATH
    "Folder holding the devil-, libjpeg-turbo-, libpng-, libexif- and lcms2-*.tar.gz source tarballs")
set(OLVISTRA_THIRD_PARTY_CACHE "${CMAKE_SOURCE_DIR}/build/third-party" CACHE PATH
    "Folder where the Windows libraries built from the tarballs are kept")

set(deps_script "${CMAKE_SOURCE_DIR}/scripts/windows-deps")
set(deps_recipe "${deps_script}" "${CMAKE_SOURCE_DIR}/cmake/third_party/devil-1.8.0-mingw.patch"
    "${CMAKE_SOURCE_DIR}/cmake/third_party/devil-1.8.0-png-gamma.patch"
    "${CMAKE_SOURCE_DIR}/cmake/third_party/devil-1.8.0-jpeg-struct-export.patch"
    "${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake")
set(deps_tarballs)
foreach(library devil libjpeg-turbo libpng libexif lcms2)
  file(GLOB found "${OLVISTRA_THIRD_PARTY_DIR}/${library}-*.tar.gz")
  list(LENGTH found count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "Want exactly one ${library}-*.tar.gz in ${OLVISTRA_THIRD_PARTY_DIR} "
                        "(set OLVISTRA_THIRD_PARTY_DIR), found ${count}")
  endif()
  list(APPEND deps_tarballs ${found})
endforeach()

# The shared folder is never named as an output of this build, so cleaning
# a build leaves it alone. The folder's name comes from what goes into the build, so a new tarball or
# an edited recipe gets a new folder and the old one is never half reused.
set(deps_key "")
foreach(input ${deps_tarballs} ${deps_recipe})
  file(SHA256 "${input}" digest)
  string(APPEND deps_key "${digest}")
endforeach()
string(SHA256 deps_key "${deps_key}")
string(SUBSTRING "${deps_key}" 0 16 deps_key)
set(OLVISTRA_WINDOWS_DEPS_PREFIX "${OLVISTRA_THIRD_PARTY_CACHE}/windows-${deps_key}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${deps_recipe})

set(deps_dlls)
set(OLVISTRA_WINDOWS_DLLS)
foreach(dll DevIL ILU ILUT)
  list(APPEND deps_dlls "${OLVISTRA_WINDOWS_DEPS_PREFIX}/bin/${dll}.dll")
  list(APPEND OLVISTRA_WINDOWS_DLLS "${CMAKE_BINARY_DIR}/${dll}.dll")
endforeach()
set(deps_stamp "${CMAKE_BINARY_DIR}/windows-deps.stamp")
add_custom_command(
  OUTPUT "${deps_stamp}"
  COMMAND bash "${deps_script}" "${OLVISTRA_THIRD_PARTY_DIR}" "${OLVISTRA_WINDOWS_DEPS_PREFIX}"
  COMMAND ${CMAKE_COMMAND} -E touch "${deps_stamp}"
  DEPENDS ${deps_tarballs} ${deps_recipe}
  COMMENT "DevIL and libexif for Windows (built once, in ${OLVISTRA_WINDOWS_DEPS_PREFIX})"
  USES_TERMINAL)
add_custom_command(
  OUTPUT ${OLVISTRA_WINDOWS_DLLS}
  COMMAND ${CMAKE_COMMAND} -E copy ${deps_dlls} "${CMAKE_BINARY_DIR}"
  DEPENDS "${deps_stamp}"
  COMMENT "Copying DevIL's DLLs beside olvistra.exe")
add_custom_target(windows_deps ALL DEPENDS ${OLVISTRA_WINDOWS_DLLS})
