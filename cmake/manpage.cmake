# tessaline-host.1, made by help2man from the program's own help texts: the
# top-level --help and --version, and each command's --help as a section.
# Installed compressed, as man pages are on Debian.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(STATUS "help2man not found: the build makes no man page (scripts/setup.sh --tests installs it)")
  return()
endif()

set(TESSALINE_MANPAGE ${CMAKE_BINARY_DIR}/man/tessaline-host.1)
add_custom_command(
  OUTPUT ${TESSALINE_MANPAGE} ${TESSALINE_MANPAGE}.gz
  COMMAND ${CMAKE_COMMAND} -DHOST=$<TARGET_FILE:tessaline-host> -DHELP2MAN=${HELP2MAN} -DOUTPUT=${TESSALINE_MANPAGE}
    -P ${CMAKE_CURRENT_LIST_DIR}/make_manpage.cmake
  DEPENDS tessaline-host ${CMAKE_CURRENT_LIST_DIR}/make_manpage.cmake
  COMMENT "Making the man page tessaline-host.1")
add_custom_target(tessaline_manpage ALL DEPENDS ${TESSALINE_MANPAGE}.gz)
install(FILES ${TESSALINE_MANPAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT host)
