# `cpack` in the build folder makes the release files, named from VERSION:
#   tessaline_<version>_amd64.deb          the host with its module and page (Linux)
#   tessaline-<version>-<os>-x64.zip       the plug-in folder tessaline/ for the application
# The archive holds only the plugin component; the package what a plain
# install installs, the host component (cpack-project.cmake picks per generator).
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(TESSALINE_ARCH x64)
else()
  set(TESSALINE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
endif()
if(WIN32)
  set(TESSALINE_ARCHIVE_NAME tessaline-${TESSALINE_VERSION}-win-${TESSALINE_ARCH})
  set(CPACK_GENERATOR ZIP)
else()
  set(TESSALINE_ARCHIVE_NAME tessaline-${TESSALINE_VERSION}-linux-${TESSALINE_ARCH})
  set(CPACK_GENERATOR DEB ZIP)
endif()

set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VERSION ${TESSALINE_VERSION})
set(CPACK_PACKAGE_VENDOR "the Tessaline developers")
set(CPACK_PACKAGE_CONTACT "the Tessaline developers <developers@tessaline.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://tessaline.example)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rounded edges and edge lines for Cinema 4D, with a stand-in host")
# The long description, in lines short enough for package tools; the Debian
# package puts the summary above it.
set(CPACK_PACKAGE_DESCRIPTION
  "Tessaline is a plug-in module for Cinema 4D with two channel shaders that\n"
  "work on the polygon structure of the rendered object: Soft Edge rounds hard\n"
  "polygon edges in the normal channel, Draw Edge draws lines along edges in\n"
  "any channel.\n"
  "\n"
  "This package holds the Linux build of the module and tessaline-host, which\n"
  "loads it as the application would: it renders scenes and model files with\n"
  "Embree, draws the shaders' attribute panels and serves a live preview in\n"
  "the browser.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The module folder under lib/ has no public libraries for other packages.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# CPack hands every CPACK_ variable on to cpack-project.cmake.
set(CPACK_TESSALINE_ARCHIVE_NAME ${TESSALINE_ARCHIVE_NAME})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-project.cmake)
include(CPack)
