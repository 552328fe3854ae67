# What `cmake --install` and `cpack -G DEB` put under the prefix: both programs in bin/;
# the shipped files in share/tessivane/, where the program looks for them when its own
# folder holds none; the desktop entry and our icon where desktops look for them.
# The shipped files come as this build made them (TESSIVANE_SHIP_DIR: test.scn, data/,
# worlds/), never from the run folder, where the user may have edited and recorded.
install(TARGETS tessivane tessivane-inspect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${TESSIVANE_SHIP_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tessivane PATTERN .keep EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/app/tessivane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/app/tessivane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Packaging installs what is built and builds nothing more (not the tests or benchmarks).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME tessivane)
set(CPACK_PACKAGE_VENDOR "Tessivane developers")
set(CPACK_PACKAGE_CONTACT "Tessivane developers <tessivane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive real-time 3-D physics and terrain sandbox")
set(CPACK_PACKAGE_DESCRIPTION "Fly a camera over a procedural landscape, throw soft bodies and particle fountains
around with the mouse, pin and drag point masses and record every frame as a picture.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries the programs link (the window library, GLU, GL, X) come from dpkg-shlibdeps;
# the Mesa drivers behind GL are loaded at run time, so no link names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libglx-mesa0")
set(CPACK_GENERATOR DEB)
include(CPack)
