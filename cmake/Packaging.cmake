# `make package`: the Debian package of the command line, from the Linux
# build (the Windows zip is put together by scripts/package).
if(WIN32)
  return()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/quillon-link)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon-link)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Morvane Productions")
set(CPACK_PACKAGE_CONTACT "Morvane Productions")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Transfers data between the PC and a Super Magicom/WildCard or Super Magic Drive")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
