# Read by cpack once per generator: each package's components and file name.
set(build "${CPACK_ZIPSFX_BINARY_DIR}")
if(CPACK_GENERATOR STREQUAL "DEB")
    # zipsfx_VERSION_amd64.deb, installed under /usr.
    set(CPACK_INSTALL_CMAKE_PROJECTS "${build};zipsfx;linux;/;${build};zipsfx;debian;/")
elseif(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_INSTALL_CMAKE_PROJECTS "${build};zipsfx;linux;/")
    set(CPACK_PACKAGE_FILE_NAME "zipsfx-${CPACK_PACKAGE_VERSION}-linux-${CPACK_ZIPSFX_PROCESSOR}")
elseif(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_INSTALL_CMAKE_PROJECTS "${build};zipsfx;windows;/")
    set(CPACK_PACKAGE_FILE_NAME "zipsfx-${CPACK_PACKAGE_VERSION}-windows")
endif()
