# Release archives, made by the package target (CPack):
#   cmake --build --preset windows --target package  -> build/windows/qdlauncher-<version>-win64.zip
#   cmake --build --preset host --target package     -> build/host/qdstamp-<version>-linux-x86_64.tar.gz
# The version is the project's, the same number the launcher's version
# resource and qdstamp --version carry.

configure_file(${PROJECT_SOURCE_DIR}/res/package/README.txt.in ${CMAKE_BINARY_DIR}/package/README.txt @ONLY)
# README.md and docs/ stand as they do in the repository, so that every link
# between them works in the unpacked archive too.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/package/README.txt
        DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs)
install(FILES ${PROJECT_SOURCE_DIR}/res/demo/DemoApp.qdcfg ${PROJECT_SOURCE_DIR}/res/demo/splash.bmp DESTINATION demo)

set(CPACK_PACKAGE_NAME qdlauncher)
set(CPACK_PACKAGE_VENDOR "the qdlauncher authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Launcher for Java desktop applications on 64-bit Windows, and its stamper qdstamp")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME qdlauncher-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME qdstamp-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
# One folder of the archive's own name holds everything.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
