# The Linux executable: the app code over our Win32 subset (platform/linux,
# SDL2 and POSIX), its install layout and the Debian package.
find_package(DevIL REQUIRED)
find_package(SDL2 REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(Threads REQUIRED)
# libexif reads the EXIF orientation of JPEGs inside the decode helper.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBEXIF REQUIRED IMPORTED_TARGET libexif)

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
list(APPEND PLATFORM_SOURCES ${CMAKE_SOURCE_DIR}/platform/exif_orientation.cpp)

add_library(olvistra_core STATIC ${APP_SOURCES} ${PLATFORM_SOURCES} ${ICON_SOURCE})
target_include_directories(olvistra_core PUBLIC ${CMAKE_SOURCE_DIR} ${IL_INCLUDE_DIR})
target_compile_options(olvistra_core PRIVATE ${OLVISTRA_WARNINGS})
target_compile_definitions(olvistra_core PRIVATE
  OLVISTRA_REGISTRY_FILE="${OLVISTRA_REGISTRY_FILE}")
if(OLVISTRA_TESTS)
  target_compile_definitions(olvistra_core PUBLIC OLVISTRA_TEST_HOOKS)
endif()
target_link_libraries(olvistra_core PUBLIC
  ${ILUT_LIBRARIES} ${ILU_LIBRARIES} ${IL_LIBRARIES}
  SDL2::SDL2 OpenGL::GL OpenGL::GLU Threads::Threads PkgConfig::LIBEXIF)

add_executable(olvistra platform/linux/entry.cpp)
target_compile_options(olvistra PRIVATE ${OLVISTRA_WARNINGS})
target_link_libraries(olvistra PRIVATE olvistra_core)

# Install: the binary, the desktop entry and its icon, a bundled sample
# folder, and the registry file that points the viewer at its installed data
# directory.
install(TARGETS olvistra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/olvistra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/olvistra-32.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME olvistra.png)
install(DIRECTORY resources/samples DESTINATION ${CMAKE_INSTALL_DATADIR}/olvistra OPTIONAL)
install(FILES resources/olvistra.ico DESTINATION ${CMAKE_INSTALL_DATADIR}/olvistra)
string(REPLACE "\\" "\\\\" OLVISTRA_DATA_DIR_ESCAPED "${OLVISTRA_DATA_DIR}")
string(REPLACE "\"" "\\\"" OLVISTRA_DATA_DIR_ESCAPED "${OLVISTRA_DATA_DIR_ESCAPED}")
configure_file(resources/olvistra.reg.in ${CMAKE_BINARY_DIR}/olvistra.reg @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/olvistra.reg DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/olvistra)

include(cmake/package.cmake)
