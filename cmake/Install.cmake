# Install rules for the four programs and their desktop files, and the Debian package
# (CPack's DEB generator; scripts/package.sh builds it).
include(GNUInstallDirs)

set(ZP_PROGRAMS zp-readertest zp-readertest-sim zp-readertest-cli zp-vcard)
set(ZP_DATA ${PROJECT_SOURCE_DIR}/data)
set(ZP_GENERATED ${PROJECT_BINARY_DIR}/data)

# The version every program answers to --version.
foreach(program IN LISTS ZP_PROGRAMS)
    target_compile_definitions(${program} PRIVATE ZP_VERSION="${PROJECT_VERSION}")
endforeach()

install(TARGETS ${ZP_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${ZP_DATA}/zp-readertest.desktop ${ZP_DATA}/zp-readertest-sim.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZP_DATA}/org.example.zp_readertest.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon: the SVG and its PNG renderings (data/icons/render.sh) in the hicolor theme.
install(FILES ${ZP_DATA}/icons/zp-readertest.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${ZP_DATA}/icons/zp-readertest-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME zp-readertest.png)
endforeach()

# The manual page, with the project's version, and the changelog, compressed as Debian
# wants them (gzip -9n: no name or time stamp, so the package is reproducible). The page
# covers all four programs; the other three names are links to it.
configure_file(${ZP_DATA}/zp-readertest.1.in ${ZP_GENERATED}/zp-readertest.1 @ONLY)
configure_file(${ZP_DATA}/changelog ${ZP_GENERATED}/changelog COPYONLY)
foreach(name zp-readertest.1 changelog)
    add_custom_command(OUTPUT ${ZP_GENERATED}/${name}.gz
                       COMMAND gzip -9 -n -k -f ${name}
                       DEPENDS ${ZP_GENERATED}/${name}
                       WORKING_DIRECTORY ${ZP_GENERATED}
                       VERBATIM)
endforeach()
add_custom_target(zp-compressed-docs ALL
                  DEPENDS ${ZP_GENERATED}/zp-readertest.1.gz ${ZP_GENERATED}/changelog.gz)
foreach(program zp-readertest-sim zp-readertest-cli zp-vcard)
    file(CREATE_LINK zp-readertest.1.gz ${ZP_GENERATED}/${program}.1.gz SYMBOLIC)
endforeach()
install(FILES ${ZP_GENERATED}/zp-readertest.1.gz ${ZP_GENERATED}/zp-readertest-sim.1.gz
              ${ZP_GENERATED}/zp-readertest-cli.1.gz
              ${ZP_GENERATED}/zp-vcard.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZP_GENERATED}/changelog.gz ${ZP_DATA}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package. Its library dependencies come from dpkg-shlibdeps; the PC/SC service
# and its tools are recommended, since the simulated reader runs without them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zp-readertest)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZP Reader Tester developers <zp-readertest@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tester for PC/SC smart-card readers and cards")
# The long description as Debian shows it: lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "A desktop program with which an engineer or technician exercises a PC/SC\n"
       "smart-card reader and the card in it by hand: pick a reader, connect, type\n"
       "command APDUs field by field and read every command and reply as hex in a\n"
       "response log. It drives microprocessor cards over T=0 and T=1, SLE4432/4442,\n"
       "SLE4418/4428, SLE4404, SLE4406/4436/5536 and I2C memory cards, the reader's\n"
       "SAM slot and its magnetic stripe reader.\n"
       "\n"
       "zp-readertest-sim runs the same program on a built-in simulated reader,\n"
       "zp-readertest-cli runs scripts of APDUs against a card and checks the replies\n"
       "on test stations and in CI, and zp-vcard puts a simulated card into a virtual\n"
       "reader of the PC/SC service.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zp-readertest.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pcscd, pcsc-tools")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "vsmartcard-vpcd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
