# The Windows installer and portable zip: `cpack` in the Windows build makes
# olvistra-<version>-win64.exe (NSIS) and olvistra-<version>-win64.zip from
# the install tree (olvistra.exe, DevIL's DLLs, olvistra.reg, the samples and
# the licences). The installer puts them in Program Files\Olvistra (or the
# folder the user picks), sets the registry value the viewer reads, and adds
# a Start-menu entry and an uninstaller that removes the value again.
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
# The key of olvistra.reg, with the folder actually chosen.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS
    "WriteRegStr HKLM 'SOFTWARE\\\\Quenmark\\\\Olvistra' 'installDir' '$INSTDIR'")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "DeleteRegKey HKLM 'SOFTWARE\\\\Quenmark\\\\Olvistra'
  DeleteRegKey /ifempty HKLM 'SOFTWARE\\\\Quenmark'")

# CPack's NSIS script makes a 32-bit installer; this one is 64-bit like the
# program (and runs where only 64-bit Windows programs do, such as a 64-bit
# Wine). CPack finds the script template through CMAKE_MODULE_PATH first:
# this is CMake's own with one line added after its first (which carries a
# byte-order mark).
set(nsis_template_dir "${CMAKE_BINARY_DIR}/nsis-template")
file(READ "${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in" nsis_template)
string(FIND "${nsis_template}" "\n" first_line_end)
math(EXPR first_line_end "${first_line_end} + 1")
string(SUBSTRING "${nsis_template}" 0 ${first_line_end} nsis_first_line)
string(SUBSTRING "${nsis_template}" ${first_line_end} -1 nsis_rest)
file(WRITE "${nsis_template_dir}/NSIS.template.in" "${nsis_first_line}Target amd64-unicode\n${nsis_rest}")
list(PREPEND CMAKE_MODULE_PATH "${nsis_template_dir}")

include(CPack)
