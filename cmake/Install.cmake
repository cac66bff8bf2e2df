# The installed layout (cmake --install, and the Debian package built from it):
#   bin/quelvo, bin/quelvo-restore, bin/quelvo_regdump, bin/quelvo-scan
#   share/quelvo/            FileType_lib.txt, Help.chm, the lookup catalogue,
#                            quelvo-scan.schema.json (its report's schema)
#   share/applications/      quelvo.desktop
#   share/icons/hicolor/     the program's icon at each size
#   share/metainfo/          the AppStream description
#   share/man/man1/          a page for each program
# The program looks for its files beside itself first, then in
# ../share/quelvo/ from its folder.
include(GNUInstallDirs)

if(WIN32)
  return()  # the Windows installer lays out its own folder
endif()

set(QUELVO_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/quelvo)
set(linux ${PROJECT_SOURCE_DIR}/resources/linux)

foreach(program quelvo quelvo_restore quelvo_regdump quelvo_scan_program)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(QUELVO_FRONTEND STREQUAL "qt")
  install(FILES ${PROJECT_SOURCE_DIR}/resources/FileType_lib.txt ${CMAKE_BINARY_DIR}/Help.chm
          DESTINATION ${QUELVO_INSTALL_DATADIR})
  # The lookup catalogue, beside the library as beside the program in a build folder.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/lookup/lookup_catalogue.tsv DESTINATION ${QUELVO_INSTALL_DATADIR})
  install(FILES ${linux}/quelvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${linux}/example.quelvo.Quelvo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  file(GLOB icon_sizes RELATIVE ${PROJECT_SOURCE_DIR}/resources/icons/hicolor
       ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/*)
  foreach(size IN LISTS icon_sizes)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}/apps/quelvo.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/resources/quelvo.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  install(FILES ${linux}/man/quelvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET quelvo_scan_program)
  install(FILES ${linux}/man/quelvo-scan.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/programs/quelvo-scan/quelvo-scan.schema.json
          DESTINATION ${QUELVO_INSTALL_DATADIR})
  # Its library, which a build of the core alone would not install otherwise.
  if(NOT QUELVO_FRONTEND STREQUAL "qt")
    install(FILES ${PROJECT_SOURCE_DIR}/resources/FileType_lib.txt DESTINATION ${QUELVO_INSTALL_DATADIR})
  endif()
endif()
if(TARGET quelvo_restore)
  install(FILES ${linux}/man/quelvo-restore.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET quelvo_regdump)
  install(FILES ${linux}/man/quelvo_regdump.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
