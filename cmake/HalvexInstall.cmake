# What `cmake --install <build> [--prefix DIR]` puts where, in the layout
# desktops and packagers expect (GNUInstallDirs, so a packager can move the
# folders with the usual CMAKE_INSTALL_* variables):
#   bin/                                   halvex, halvex_contentgen, halvex_contentcheck
#   share/halvex/                          the content pack (system/, worlds/, readme.txt, ...)
#   share/applications/halvex.desktop      the menu entry
#   share/icons/hicolor/{64x64,256x256}/apps/halvex.png
# The installed game finds its content from its own folder: the path from
# bin/ to share/halvex is compiled into it, so any prefix works.
include(GNUInstallDirs)

set(HALVEX_INSTALL_CONTENT_DIR ${CMAKE_INSTALL_DATADIR}/halvex)
file(RELATIVE_PATH halvex_content_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_DATADIR}/halvex)
target_compile_definitions(halvex PRIVATE HALVEX_CONTENT_FROM_BIN="${halvex_content_from_bin}")

install(TARGETS halvex halvex_contentgen halvex_contentcheck RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The pack the build generated; its build stamp stays behind.
install(DIRECTORY ${HALVEX_CONTENT_DIR}/ DESTINATION ${HALVEX_INSTALL_CONTENT_DIR}
  PATTERN .generated EXCLUDE)

install(FILES ${PROJECT_SOURCE_DIR}/shell/halvex.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 64 256)
  install(FILES ${HALVEX_CONTENT_DIR}/icons/halvex${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME halvex.png)
endforeach()
