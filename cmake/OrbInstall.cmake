# `cmake --install`: the programs, their libraries, plug-in and data files
# together in one private directory (they find each other beside the
# running executable), commands in bin/ as links to them, and the desktop
# entries and icons where desktops look.
include(GNUInstallDirs)
set(ORB_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/orb)

install(TARGETS ostrel orbtool Dioptra RUNTIME DESTINATION ${ORB_PRIVATE_DIR})
install(TARGETS OrbPlayer OrbVideoConverter verbix LIBRARY DESTINATION ${ORB_PRIVATE_DIR})
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
