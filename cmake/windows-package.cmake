# The Windows installer and portable zip: `cpack` in the Windows build makes
# olvistra-<version>-win64.exe (NSIS) and olvistra-<version>-win64.zip from
# the install tree (olvistra.exe, DevIL's DLLs, olvistra.reg, the samples and
# the licences). The installer puts them in Program Files\Olvistra (or the
# folder the user picks), sets the registry value the viewer reads, offers
# the viewer in Explorer's "Open with" for its picture types, and adds a
# Start-menu entry and an uninstaller that removes all of it again. Both
# need administrator rights and end with an error without them.
set(CPACK_PACKAGE_NAME olvistra)
set(CPACK_PACKAGE_VENDOR Quenmark)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Olvistra, a small, fast OpenGL image viewer")
set(CPACK_PACKAGE_FILE_NAME "olvistra-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Olvistra)
set(CPACK_PACKAGE_EXECUTABLES olvistra Olvistra)
set(CPACK_GENERATOR NSIS ZIP)

set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Olvistra)
set(CPACK_NSIS_DISPLAY_NAME Olvistra)
set(CPACK_NSIS_MUI_ICON "${CMAKE_SOURCE_DIR}/resources/olvistra.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_SOURCE_DIR}/resources/olvistra.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME olvistra.exe)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The key of olvistra.reg, with the folder actually chosen, and Explorer's
# "Open with" for the picture types the viewer lists (the extensions of
# model/file_info_factory.cpp): cmake/windows-installer.nsh.in.
file(READ "${CMAKE_SOURCE_DIR}/model/file_info_factory.cpp" factory_source)
string(REGEX MATCH "imageExtensions\\[\\] = {([^}]*)}" extensions_match "${factory_source}")
string(REGEX MATCHALL "[a-z0-9]+" picture_extensions "${CMAKE_MATCH_1}")
list(LENGTH picture_extensions extension_count)
if(NOT extension_count EQUAL 16)
  message(FATAL_ERROR "Expected the 16 picture extensions in model/file_info_factory.cpp, found: ${picture_extensions}")
endif()
set(OLVISTRA_REGISTER_TYPES "")
set(OLVISTRA_UNREGISTER_TYPES "")
foreach(extension ${picture_extensions})
  string(APPEND OLVISTRA_REGISTER_TYPES "  !insertmacro OLVISTRA_REGISTER_TYPE .${extension}\n")
  string(APPEND OLVISTRA_UNREGISTER_TYPES "  !insertmacro OLVISTRA_UNREGISTER_TYPE .${extension}\n")
endforeach()
set(OLVISTRA_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(olvistra_nsh "${CMAKE_BINARY_DIR}/nsis-template/olvistra.nsh")
configure_file(cmake/windows-installer.nsh.in "${olvistra_nsh}" @ONLY)
set(CPACK_NSIS_DEFINES "!include '${olvistra_nsh}'")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!insertmacro OLVISTRA_REGISTER")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!insertmacro OLVISTRA_UNREGISTER")

# CPack's NSIS script makes a 32-bit installer; this one is 64-bit like the
# program (and runs where only 64-bit Windows programs do, such as a 64-bit
# Wine). CPack finds the script template through CMAKE_MODULE_PATH first:
# this is CMake's own with one line added after its first (which carries a
# byte-order mark), and a call added at the start of .onInit and un.onInit.
set(nsis_template_dir "${CMAKE_BINARY_DIR}/nsis-template")
file(READ "${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in" nsis_template)
string(FIND "${nsis_template}" "\n" first_line_end)
math(EXPR first_line_end "${first_line_end} + 1")
string(SUBSTRING "${nsis_template}" 0 ${first_line_end} nsis_first_line)
string(SUBSTRING "${nsis_template}" ${first_line_end} -1 nsis_rest)
# Installer and uninstaller both begin with the check for administrator
# rights (cmake/windows-installer.nsh.in).
string(REPLACE "Function .onInit\n" "Function .onInit\n  Call OlvistraRequireAdministrator\n" nsis_rest "${nsis_rest}")
string(REPLACE "Function un.onInit\n" "Function un.onInit\n  Call un.OlvistraRequireAdministrator\n" nsis_rest "${nsis_rest}")
string(FIND "${nsis_rest}" "Call un.OlvistraRequireAdministrator" uninstaller_checks)
if(uninstaller_checks EQUAL -1)
  message(FATAL_ERROR "CPack's NSIS template has no un.onInit to check for administrator rights in")
endif()
file(WRITE "${nsis_template_dir}/NSIS.template.in" "${nsis_first_line}Target amd64-unicode\n${nsis_rest}")
list(PREPEND CMAKE_MODULE_PATH "${nsis_template_dir}")

include(CPack)
