# Install rules and packages of the native build (`make install`, `make dist`).
#
# The Windows programs come from the cross builds beside this one (build/win32, build/win64), so
# the native build installs all three stubs. Three components: "linux" is what `cmake --install`
# puts under the prefix (bin/zipsfx, lib/zipsfx/, the documents and the manual page); "debian"
# adds what only the Debian package needs; "windows" is the Windows release archive's flat
# folder. The last two are left out of a plain install.

set(ZIPSFX_WIN32_BUILD ${CMAKE_BINARY_DIR}/../win32 CACHE PATH
    "The 32-bit Windows build whose tool and stub are installed and packaged")
set(ZIPSFX_WIN64_BUILD ${CMAKE_BINARY_DIR}/../win64 CACHE PATH
    "The 64-bit Windows build whose stub is installed and packaged")
set(ZIPSFX_DEBIAN_MAINTAINER "zipsfx developers <zipsfx@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")
set(win32_stub ${ZIPSFX_WIN32_BUILD}/zipsfx-stub.exe)
set(win64_stub ${ZIPSFX_WIN64_BUILD}/zipsfx-stub.exe)
set(win32_tool ${ZIPSFX_WIN32_BUILD}/zipsfx.exe)

# Manual page and changelog compressed the way Debian wants them (no name or time inside, so that
# the same input gives the same bytes).
set(packaging_dir ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_SOURCE_DIR}/doc/zipsfx.1.in ${packaging_dir}/zipsfx.1 @ONLY)
foreach(document ${packaging_dir}/zipsfx.1 ${CMAKE_SOURCE_DIR}/doc/changelog)
    get_filename_component(name ${document} NAME)
    add_custom_command(OUTPUT ${packaging_dir}/${name}.gz
        COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" gzip ${document} ${packaging_dir}/${name}.gz
        DEPENDS ${document} VERBATIM)
endforeach()
add_custom_target(packaging_documents ALL
    DEPENDS ${packaging_dir}/zipsfx.1.gz ${packaging_dir}/changelog.gz)

# linux: the installed layout. The Windows stubs must have been built (make win32 win64); a
# missing one stops the install with its path named.
install(TARGETS zipsfx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT linux)
# The stubs go in byte for byte (install(PROGRAMS/FILES) never strips, and they are stripped
# already): what is installed is what the build's tests checked.
install(PROGRAMS $<TARGET_FILE:zipsfx-stub> DESTINATION ${ZIPSFX_STUB_INSTALL_DIR}
        COMPONENT linux)
install(FILES ${win32_stub} DESTINATION ${ZIPSFX_STUB_INSTALL_DIR} COMPONENT linux)
install(FILES ${win64_stub} DESTINATION ${ZIPSFX_STUB_INSTALL_DIR}
        RENAME zipsfx-stub-win64.exe COMPONENT linux)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT linux)
install(FILES ${packaging_dir}/zipsfx.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT linux)

# debian: the copyright file and changelog every package carries, and the one lintian override.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
        RENAME copyright COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${packaging_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/lintian-overrides DESTINATION share/lintian/overrides
        RENAME zipsfx COMPONENT debian EXCLUDE_FROM_ALL)

# windows: one folder, the tool beside every stub (the POSIX one too, so that files for Linux
# can be made on Windows), which is where the tool looks first.
install(FILES ${win32_tool} ${win32_stub} DESTINATION . COMPONENT windows EXCLUDE_FROM_ALL)
install(FILES ${win64_stub} DESTINATION . RENAME zipsfx-stub-win64.exe
        COMPONENT windows EXCLUDE_FROM_ALL)
install(PROGRAMS $<TARGET_FILE:zipsfx-stub> DESTINATION . COMPONENT windows EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .
        COMPONENT windows EXCLUDE_FROM_ALL)

# Packages: `cpack` in this build makes all three into build/dist (make dist); the generator
# options file picks each one's components and name.
set(CPACK_GENERATOR DEB TGZ ZIP)
set(CPACK_PACKAGE_NAME zipsfx)
set(CPACK_PACKAGE_VENDOR "the zipsfx developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting Zip archives for Windows and Linux")
set(CPACK_PACKAGE_DESCRIPTION
    "zipsfx turns a Zip archive into a single program that unpacks itself:\n"
    "a small Windows program (32-bit or 64-bit) that asks, offers a folder,\n"
    "extracts with a progress bar and starts a setup program, or a Linux\n"
    "program that does the same in a terminal. The zipsfx tool makes, lists,\n"
    "tests and extracts such files.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "${ZIPSFX_DEBIAN_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/../dist)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZIPSFX_DEBIAN_MAINTAINER}")
# Computed from the programs by dpkg-shlibdeps: the C library only.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_ZIPSFX_BINARY_DIR ${CMAKE_BINARY_DIR})
set(CPACK_ZIPSFX_PROCESSOR ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackGenerators.cmake)
include(CPack)
