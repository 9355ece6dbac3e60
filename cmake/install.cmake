# Install rules. Two components:
#   host    (the default, `cmake --install` and the Debian package): the
#           stand-in host in bin/, its module folder in lib/tessaline/, the
#           preview page in share/tessaline/web/ and the man page;
#   plugin  (only on request, for the release archive): the module folder
#           exactly as the application loads it, one top folder tessaline/.
# The host finds the module and the page relative to its own program, so the
# installed tree works wherever it is moved to.

# The module folder: the library beside res/ and docs/manual.pdf.
function(tessaline_install_module_folder destination component)
  if(WIN32)
    # The .cdl64 is a DLL; its import library is of no use to the application.
    install(FILES $<TARGET_FILE:tessaline> DESTINATION ${destination} COMPONENT ${component} ${ARGN})
  else()
    install(TARGETS tessaline LIBRARY DESTINATION ${destination} COMPONENT ${component} ${ARGN})
  endif()
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/res DESTINATION ${destination} COMPONENT ${component} ${ARGN})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.pdf DESTINATION ${destination}/docs COMPONENT ${component} ${ARGN})
endfunction()

tessaline_install_module_folder(tessaline plugin EXCLUDE_FROM_ALL)

if(TARGET tessaline-host)
  install(TARGETS tessaline-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
  # The import helper lives beside the host, where the host looks for it.
  if(TARGET tessaline-import)
    install(TARGETS tessaline-import RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
  endif()
  tessaline_install_module_folder(${CMAKE_INSTALL_LIBDIR}/tessaline host)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/hostapp/web/static/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaline/web
    COMPONENT host)
  # Debian's package documents: the copyright and a compressed changelog.
  set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
  string(TIMESTAMP changelogDate "%a, %d %b %Y %H:%M:%S +0000" UTC)
  string(CONCAT changelogText "tessaline (${TESSALINE_VERSION}) stable; urgency=medium\n\n"
    "  * Release ${TESSALINE_VERSION}.\n\n"
    " -- the Tessaline developers <developers@tessaline.example>  ${changelogDate}\n")
  file(CONFIGURE OUTPUT ${changelog} CONTENT "${changelogText}")
  add_custom_command(OUTPUT ${changelog}.gz COMMAND gzip -9nkf ${changelog} DEPENDS ${changelog})
  add_custom_target(tessaline_changelog ALL DEPENDS ${changelog}.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
    COMPONENT host)
  include(${CMAKE_CURRENT_LIST_DIR}/manpage.cmake)
endif()
