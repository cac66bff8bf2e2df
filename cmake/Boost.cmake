# Boost.Asio and Boost.Beast, header-only from Debian's libboost-dev: the one
# HTTP transport of the lookup service, on Linux and in the Windows build.
# quelvo_boost carries the include folder, the definitions and, for Windows,
# the socket libraries.
find_package(Threads REQUIRED)
add_library(quelvo_boost INTERFACE)
target_link_libraries(quelvo_boost INTERFACE Threads::Threads)

if(CMAKE_CROSSCOMPILING AND WIN32)
  # mingw must not see the Linux headers in /usr/include, so it gets a folder
  # that holds only a link to the Boost headers.
  set(QUELVO_BOOST_HEADERS "/usr/include/boost" CACHE PATH "Folder of the Boost headers (the boost/ folder itself)")
  if(NOT EXISTS ${QUELVO_BOOST_HEADERS}/beast/http/basic_parser.hpp)
    message(FATAL_ERROR "Boost.Beast is missing at ${QUELVO_BOOST_HEADERS}: scripts/setup installs libboost-dev")
  endif()
  set(_boost_root ${CMAKE_BINARY_DIR}/boost-include)
  file(MAKE_DIRECTORY ${_boost_root})
  file(CREATE_LINK ${QUELVO_BOOST_HEADERS} ${_boost_root}/boost SYMBOLIC)
  target_include_directories(quelvo_boost SYSTEM INTERFACE ${_boost_root})
  # Windows 10 and later; Asio picks its socket calls from this.
  target_compile_definitions(quelvo_boost INTERFACE _WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN)
  target_link_libraries(quelvo_boost INTERFACE ws2_32 mswsock)
else()
  find_package(Boost 1.74 REQUIRED)
  target_link_libraries(quelvo_boost INTERFACE Boost::headers)
endif()
target_compile_definitions(quelvo_boost INTERFACE BOOST_ASIO_NO_DEPRECATED BOOST_ASIO_DISABLE_BOOST_COROUTINE)
