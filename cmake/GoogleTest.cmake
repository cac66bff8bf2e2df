# GoogleTest is built from Debian's source package so that it shares the
# compiler, the sanitizers and (for the Windows build) the toolchain.
set(QUELVO_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QUELVO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# quelvo_gtest(name [THREADED] SOURCES ... LIBS ...): one test executable,
# its cases registered with CTest one by one. THREADED: its code runs threads
# (see quelvo_threaded_suite).
function(quelvo_gtest name)
  cmake_parse_arguments(ARG "THREADED" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  quelvo_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  set(_properties "")
  if(ARG_THREADED)
    set(_properties PROPERTIES LABELS threaded)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Run under Wine by the cross build's own script; listing cases at build
    # time would need Wine at configure time.
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${_properties})
  endif()
  if(ARG_THREADED)
    quelvo_threaded_suite(${name})
  endif()
endfunction()
