# `cmake --install`: the programs with their plug-in and data files together
# in one private directory (they find each other beside the running
# executable), commands in bin/ as links to them, the two libraries in the
# library directory with their headers, pkg-config files and CMake package
# (for programs that link against them), and the desktop entries and icons
# where desktops look.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(ORB_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/orb)

install(TARGETS ostrel orbtool Dioptra RUNTIME DESTINATION ${ORB_PRIVATE_DIR})
install(TARGETS verbix orbtool_views LIBRARY DESTINATION ${ORB_PRIVATE_DIR})
install(TARGETS OrbPlayer OrbVideoConverter orb_api EXPORT OrbSuiteTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES libOrbPlayer/include/libOrbPlayer/ISS_OrbPlayer.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/libOrbPlayer)
install(FILES libOrbVideoConverter/include/libOrbVideoConverter/ISS_OrbVideoConverter.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/libOrbVideoConverter)
install(FILES common/api/orb/orb_types.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orb)

# find_package(OrbSuite): the targets OrbSuite::OrbPlayer and OrbSuite::OrbVideoConverter.
set(ORB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrbSuite)
install(EXPORT OrbSuiteTargets NAMESPACE OrbSuite:: DESTINATION ${ORB_CMAKE_DIR})
file(WRITE ${CMAKE_BINARY_DIR}/OrbSuiteConfig.cmake "include(\"\${CMAKE_CURRENT_LIST_DIR}/OrbSuiteTargets.cmake\")\n")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/OrbSuiteConfigVersion.cmake VERSION ${PROJECT_VERSION}
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/OrbSuiteConfig.cmake ${CMAKE_BINARY_DIR}/OrbSuiteConfigVersion.cmake
        DESTINATION ${ORB_CMAKE_DIR})

# pkg-config: OrbPlayer and OrbVideoConverter.
# Relocatable: the prefix is found from the file's own place, so the files
# are right wherever the tree is installed or packaged.
file(RELATIVE_PATH ORB_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
foreach(library OrbPlayer OrbVideoConverter)
  set(ORB_PC_NAME ${library})
  configure_file(cmake/orb-library.pc.in ${CMAKE_BINARY_DIR}/${library}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${library}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
install(FILES ostrel/lang/ostrelui.osd ostrel/help/help.html Dioptra/lang/Dioptra.osd
        DESTINATION ${ORB_PRIVATE_DIR})
foreach(program ostrel orbtool Dioptra)
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK \"../${ORB_PRIVATE_DIR}/${program}\" \"\${bin}/${program}\" SYMBOLIC)
    message(STATUS \"Linking: \${bin}/${program}\")")
endforeach()

install(FILES ostrel/ostrel.desktop Dioptra/Dioptra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ostrel/skin/icons/ostrel.svg Dioptra/skin/dioptra.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
