# The Debian package: `cpack -G DEB` in a build tree (scripts/package.sh does it all). Read-only files go to
# /usr/lib/doverariz, laid out as beside the executable in the build tree; the writable ones (cfg/, log/, the
# bench) go to /var/lib/doverariz, named by the file data-location beside the executable and prepared by the
# package's postinst, outside the package's own files so that an upgrade never touches them.
set(doverariz_libdir "lib/doverariz")
set(doverariz_tools doverariz handset)
if(TARGET ledger)
    list(APPEND doverariz_tools ledger)
endif()

install(TARGETS ${doverariz_tools} RUNTIME DESTINATION "${doverariz_libdir}")
# The line engineer's tools for a device backend stay beside the tool, off the operators' path.
install(TARGETS tgtlink-conformance handset-emulator RUNTIME DESTINATION "${doverariz_libdir}")
# The device backends beside the executable, where the station's cfg/device.ini names them, and the interface
# a line builds its own against.
install(TARGETS tgtlink_backend_bench tgtlink_backend_serial LIBRARY DESTINATION "${doverariz_libdir}")
install(FILES "${PROJECT_SOURCE_DIR}/tgtlink/include/tgtlink/tgtlink_backend.h" DESTINATION include/doverariz)
# The tool reads .xls workbooks through this helper beside it; it is not a command of its own.
install(TARGETS xlscells RUNTIME DESTINATION "${doverariz_libdir}")
install(DIRECTORY "${DOVERARIZ_RUNTIME_DIR}/ramrun" "${DOVERARIZ_RUNTIME_DIR}/tr"
        DESTINATION "${doverariz_libdir}")
install(FILES "${DOVERARIZ_RUNTIME_DIR}/stations.txt" "${PROJECT_SOURCE_DIR}/packaging/data-location"
        DESTINATION "${doverariz_libdir}")
# The manuals exist when the build made them (DOVERARIZ_BUILD_MANUALS).
install(DIRECTORY "${DOVERARIZ_RUNTIME_DIR}/DOC" "${DOVERARIZ_RUNTIME_DIR}/doc"
        DESTINATION "${doverariz_libdir}" OPTIONAL)

# The commands on the path are links to the executables, which find their files beside themselves.
set(doverariz_links "${CMAKE_BINARY_DIR}/packaging/bin")
file(MAKE_DIRECTORY "${doverariz_links}")
foreach(tool IN LISTS doverariz_tools)
    file(CREATE_LINK "../${doverariz_libdir}/${tool}" "${doverariz_links}/${tool}" SYMBOLIC)
    install(FILES "${doverariz_links}/${tool}" DESTINATION bin)
endforeach()

install(FILES "${PROJECT_SOURCE_DIR}/packaging/doverariz.desktop" DESTINATION share/applications)
install(FILES "${PROJECT_SOURCE_DIR}/resources/images/doverariz.png"
        DESTINATION share/icons/hicolor/256x256/apps)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/packaging/copyright"
        DESTINATION share/doc/doverariz)

# The changelog and the manual pages go in compressed, as Debian's policy has them: gzip -n, so that the
# package's bytes do not change with the time of the build.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(doverariz_gzipped "${CMAKE_BINARY_DIR}/packaging/gz")
set(doverariz_gz_files "")
foreach(source IN ITEMS changelog man/doverariz.1 man/handset.1 man/ledger.1)
    get_filename_component(name "${source}" NAME)
    set(gz "${doverariz_gzipped}/${name}.gz")
    add_custom_command(OUTPUT "${gz}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${doverariz_gzipped}"
        COMMAND ${CMAKE_COMMAND} -E copy "${PROJECT_SOURCE_DIR}/packaging/${source}" "${doverariz_gzipped}/${name}"
        COMMAND "${GZIP_PROGRAM}" -9 -n -f "${doverariz_gzipped}/${name}"
        DEPENDS "${PROJECT_SOURCE_DIR}/packaging/${source}"
        VERBATIM)
    list(APPEND doverariz_gz_files "${gz}")
endforeach()
add_custom_target(doverariz_package_docs ALL DEPENDS ${doverariz_gz_files})
install(FILES "${doverariz_gzipped}/changelog.gz" DESTINATION share/doc/doverariz RENAME changelog.Debian.gz)
install(FILES "${doverariz_gzipped}/doverariz.1.gz" "${doverariz_gzipped}/handset.1.gz"
        DESTINATION share/man/man1)
if(TARGET ledger)
    install(FILES "${doverariz_gzipped}/ledger.1.gz" DESTINATION share/man/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME doverariz)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "DoverAriz line tools <line-tools@doverariz.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Station tool that writes identities into mobile handsets")
set(CPACK_PACKAGE_DESCRIPTION
    "Writes up to four IMEIs, main-board and product serial numbers and a Bluetooth address into the handsets of a production line, reads them back and records every identity issued, so that none is issued twice. Includes the bench of simulated handsets and its command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# groupadd and usermod (postinst), the Chinese font of the default language.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd, fonts-wqy-microhei")
# `ledger serve` answers through Qt's HTTP server; its TLS comes with Qt's network library.
if(TARGET ledger)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6httpserver6, libqt6network6")
endif()
# The manuals' viewer is only suggested: recommended, a desktop's PDF viewer pulls in a hundred packages on a
# station that may never open Help (which names what to install when no viewer is there).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils, evince | okular | qpdfview | mupdf")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/packaging/postinst;${PROJECT_SOURCE_DIR}/packaging/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
