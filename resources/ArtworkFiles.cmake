# QUELVO_ARTWORK_FILES: every file of the window's artwork, as its path under
# resources/. Included by resources/ (the Qt resources) and by the Win32
# front end (RCDATA resources).
set(_quelvo_artwork_dir ${CMAKE_CURRENT_LIST_DIR})
set(QUELVO_ARTWORK_FILES
  background.png
  page_start.png page_scanning.png page_report.png page_lookup.png page_about.png
  scanning.gif quelvo.ico quelvo.png)
foreach(button StartScan FixNow Download Cancel Back PageScan PageHelp PageAbout Min Close)
  list(APPEND QUELVO_ARTWORK_FILES buttons/Bn_${button}_Up.bmp buttons/Bn_${button}_Hot.bmp)
endforeach()
file(STRINGS ${_quelvo_artwork_dir}/pictures/order.txt picture_names)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_quelvo_artwork_dir}/pictures/order.txt)
list(APPEND QUELVO_ARTWORK_FILES pictures/order.txt)
foreach(name IN LISTS picture_names)
  if(name MATCHES "\\.[bB][mM][pP]$")
    list(APPEND QUELVO_ARTWORK_FILES pictures/${name})
  else()
    list(APPEND QUELVO_ARTWORK_FILES pictures/${name}.bmp)
  endif()
endforeach()
