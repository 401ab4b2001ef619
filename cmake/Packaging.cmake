# Installation layout, desktop integration, manual pages and the Debian package
# (cpack -G DEB in the build folder; scripts/package does it all).

# eqFunction is private to the programs: it lives in lib/<multiarch>/ulmarox and
# they find it through a run path relative to themselves, so no environment is
# needed. Not directly in lib/: that is the loader's and would call for ldconfig.
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(ULX_INSTALL_PRIVLIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/ulmarox)
else()
    set(ULX_INSTALL_PRIVLIBDIR lib/ulmarox)
endif()
set(ULX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/ulmarox)
set(ULX_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/ulmarox)
set(CMAKE_INSTALL_RPATH "$ORIGIN/../${ULX_INSTALL_PRIVLIBDIR}")

set(ULX_PACKAGE_MAINTAINER "Ulmaro X developers <ulmarox@example.org>" CACHE STRING "Maintainer of the Debian package")
set(ULX_APPSTREAM_ID jp.brenvik.ulmarox)
# Date of this version: in the metainfo's release entry and in the package's changelog.
set(ULX_RELEASE_DATE 2026-12-10)
set(ULX_RELEASE_DATE_RFC2822 "Thu, 10 Dec 2026 12:00:00 +0000")

# Every file the package holds that the build makes, and the programs themselves.
add_custom_target(ulx_installed ALL)
add_dependencies(ulx_installed ulmarox ulmarox-headless eqsim eqforecast alertframe eqbridge eqFunction)

set(ULX_PACKAGING_BIN ${PROJECT_BINARY_DIR}/packaging)
find_program(ULX_GZIP gzip REQUIRED)

# Manual pages: each program's own help, so they never drift from it.
find_program(ULX_HELP2MAN help2man)
set(ULX_MAN_PAGES)
if(ULX_HELP2MAN)
    foreach(page
            "ulmarox|-Help|receive Earthquake Early Warnings and alert with a window and an alarm"
            "ulmarox-headless|-Help|receive Earthquake Early Warnings and report them as JSON lines"
            "eqsim|--help|replay earthquake scenarios as a local EQ server"
            "eqforecast|--help|estimate the seismic intensity and wave arrival at a location"
            "alertframe|--help|draw the alert frame of an earthquake into a PNG file"
            "eqbridge|--help|serve earthquake early warnings from a feed or a recording as a local EQ server")
        string(REPLACE "|" ";" fields "${page}")
        list(GET fields 0 program)
        list(GET fields 1 option)
        list(GET fields 2 summary)
        set(page_file ${ULX_PACKAGING_BIN}/man/${program}.1)
        add_custom_command(OUTPUT ${page_file}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${ULX_PACKAGING_BIN}/man
            COMMAND ${CMAKE_COMMAND} -E env LANG=C.UTF-8 LC_ALL=C.UTF-8 ASAN_OPTIONS=detect_leaks=0
                    ${ULX_HELP2MAN} --locale=C.UTF-8 --no-info --section=1 --help-option=${option}
                    --version-string=${PROJECT_VERSION} --name=${summary} --output=${page_file}
                    ./${program}
            COMMAND ${ULX_GZIP} -9nf ${page_file}
            WORKING_DIRECTORY $<TARGET_FILE_DIR:${program}>
            DEPENDS ${program}
            VERBATIM)
        list(APPEND ULX_MAN_PAGES ${page_file}.gz)
    endforeach()
    install(FILES ${ULX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man not found: the manual pages are not made (scripts/bootstrap installs it)")
endif()

configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${ULX_PACKAGING_BIN}/changelog @ONLY)
add_custom_command(OUTPUT ${ULX_PACKAGING_BIN}/changelog.gz
    COMMAND ${ULX_GZIP} -9nkf ${ULX_PACKAGING_BIN}/changelog
    DEPENDS ${ULX_PACKAGING_BIN}/changelog
    VERBATIM)
add_custom_target(ulx_packaging_files DEPENDS ${ULX_MAN_PAGES} ${ULX_PACKAGING_BIN}/changelog.gz)
add_dependencies(ulx_installed ulx_packaging_files)

# Desktop: menu entry, icon theme, software-centre metadata.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/ulmarox.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/app/ICON_APP_${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ulmarox.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/app/ICON_APP.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ulmarox.svg)
configure_file(${PROJECT_SOURCE_DIR}/packaging/ulmarox.metainfo.xml.in
               ${ULX_PACKAGING_BIN}/${ULX_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${ULX_PACKAGING_BIN}/${ULX_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The user service names the program by its installed path, known only when
# installing (cpack installs under /usr, cmake --install under the prefix).
install(CODE "
    set(ULX_HEADLESS_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/ulmarox-headless\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/ulmarox-headless.service.in\"
                   \"${ULX_PACKAGING_BIN}/ulmarox-headless.service\" @ONLY)")
install(FILES ${ULX_PACKAGING_BIN}/ulmarox-headless.service DESTINATION lib/systemd/user)
install(CODE "
    set(ULX_HEADLESS_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/ulmarox-headless\")
    set(ULX_EQBRIDGE_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/eqbridge\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/eqbridge.service.in\"
                   \"${ULX_PACKAGING_BIN}/eqbridge.service\" @ONLY)")
install(FILES ${ULX_PACKAGING_BIN}/eqbridge.service DESTINATION lib/systemd/user)

# Plug-in interface and the sample plug-in as documentation.
install(FILES ${PROJECT_SOURCE_DIR}/src/config/include/VeskPlugInInterface.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ulmarox)
install(FILES ${PROJECT_SOURCE_DIR}/examples/plugin/SamplePlugIn.cpp ${PROJECT_SOURCE_DIR}/packaging/plugin/CMakeLists.txt
        DESTINATION ${ULX_INSTALL_DOCDIR}/examples/plugin)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${ULX_PACKAGING_BIN}/changelog.gz
        DESTINATION ${ULX_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ulmarox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ulmaro X developers")
set(CPACK_PACKAGE_CONTACT ${ULX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Earthquake Early Warning receiver for Japan")
set(CPACK_PACKAGE_DESCRIPTION
    "Ulmaro X receives Japanese Earthquake Early Warnings (forecast class) from an
earthquake-information server, estimates the seismic intensity and the seconds
until the S-wave reaches the user's location, and alerts with a window and an
alarm when the user's conditions are met.

The package holds the windowed program, a headless receiver with a systemd user
service, the forecast library and the command-line tools eqforecast,
alertframe, eqsim and eqbridge. The estimate is a calculation for the user's
own use, not an official forecast of the Japan Meteorological Agency.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Install under /usr into the staging folder, so that the install-time prefix
# written into the user service is /usr and not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries from what is actually linked; Qt's platform plug-ins (only
# recommended by libqt6gui6) and the Japanese font are needed at run time; the
# alarm plays through a PulseAudio-compatible sound server.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${ULX_INSTALL_PRIVLIBDIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
include(CPack)
