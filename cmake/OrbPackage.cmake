# `cmake --build build --target package`: a Debian package of the installed
# suite, its dependencies found from the libraries the binaries link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orb-suite)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orb suite developers <orb-suite@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fisheye video player, converter and lens calibration tool")
set(CPACK_PACKAGE_DESCRIPTION "Plays 180 to 360 degree fisheye videos as undistorted, turnable views (ostrel), \
converts them into ordinary H.265 videos, finds a lens's image circle (Dioptra), and does all of it on the \
command line (orbtool). Includes the player and converter libraries with their headers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file and the ldconfig trigger for the two public libraries.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Our own libraries satisfy our programs' links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${ORB_BIN_DIR})
# Loaded at run time, so no link names them: GL drivers, Qt's SVG icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl-mesa0, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs")
include(CPack)
