# What `cmake --install` lays out, and the Debian package made from it
# (`cpack -G DEB` in the build folder):
#   bin/tessary                      the program
#   lib/tessary/quilbo.so            the layered map's module, and the network-rendering one,
#                                    with the host SDK's shared libraries they and the program use
#   lib/tessary/tessary_images.so    the image library's side of the program, loaded when needed
#   share/tessary/examples/          the bundled scenes and textures
#   share/doc/tessary/               the README, the notes on formats, the scene schema
# The program finds its module and examples relative to itself, so the tree
# works wherever it is put (a staging prefix, /usr, /opt/tessary).
if(WIN32 OR NOT TARGET tessary)
  return()
endif()

# The host SDK and the Win32 subset are shared libraries that the program
# and the modules share (as a host's SDK libraries are): they go beside the
# modules, and the installed program and modules find them there.
set_target_properties(tessary PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/tessary")
set(_tessary_libraries tessary_quilbo tessary_quilbo_netrender tessary_sdk tessary_win32)
if(TARGET tessary_images)
  list(APPEND _tessary_libraries tessary_images)
endif()
set_target_properties(${_tessary_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS tessary RUNTIME DESTINATION bin)
install(TARGETS ${_tessary_libraries} LIBRARY DESTINATION lib/tessary)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION share/tessary/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/scene-format.md
              ${PROJECT_SOURCE_DIR}/docs/file-format.md ${PROJECT_SOURCE_DIR}/docs/scene.schema.json
              ${PROJECT_SOURCE_DIR}/docs/layers-sheet.png
        DESTINATION share/doc/tessary)

set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VENDOR "Tessary")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Layered texture map: compositing, evaluation and scene conversion")
set(CPACK_PACKAGE_CONTACT "Tessary maintainers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries the program and module link, as Debian names them,
# and the font the sheets are labelled with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
include(CPack)
