if(QUELVO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUELVO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUELVO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUELVO_SANITIZE must be empty, 'address' or 'thread'")
endif()

# A fuzzing build (clang, a build folder of its own): every library carries
# libFuzzer's coverage and the sanitizers, so that the fuzz targets (fuzz/)
# link the libraries as they are, and only they link libFuzzer itself
# (quelvo_fuzz_target).
option(QUELVO_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(QUELVO_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
function(quelvo_fuzz_target target)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endfunction()

# Suites that host the embedded browser: Qt WebEngine, that is Chromium, not
# built with the sanitizers. A suite that starts hosting the browser is added
# here.
#
# Under AddressSanitizer two of Chromium's own habits would fail them, and no
# suppression file can tell them apart:
# - it deletes some of its objects through a pointer to a smaller base class
#   (in ~WebContentsAdapter): new-delete-type-mismatch inside
#   libQt6WebEngineCore, and ASan suppression files do not reach allocator
#   reports;
# - it keeps process-wide objects to the end by design, and its code has no
#   frame pointers, so LeakSanitizer's stacks of them name no module that a
#   leak: line could match (the slow unwinder that would name them makes the
#   suite run many times longer than its timeout).
# So these suites alone run with those two checks off. Every other check
# (overflows, use after free, undefined behaviour) stays on, and the same
# window code runs with every check on in the window suites without the
# browser (tst_QtFrontEnd and the FormTest cases that open no lookup page).
#
# Under ThreadSanitizer, Chromium's threads (IO, thread pool, device monitor)
# synchronise with primitives it cannot see, and show only through the
# interceptors they call (sockets, epoll, mutexes) from libQt6WebEngineCore,
# libevent and libudev. In these suites ignore_noninstrumented_modules=1 drops
# interceptor reports from libraries not built with ThreadSanitizer; every
# access of our own (instrumented) code stays checked.
set(QUELVO_BROWSER_SUITES tst_ScanEndToEnd tst_LookupBrowser)

# Every other Qt suite, under AddressSanitizer, unwinds with the slow unwinder
# at each allocation. A Qt suite whose application starts Qt WebEngine (every
# one linking the Qt front end) gets a GLX context on the offscreen platform
# when an X display is there, and with it Mesa's software GL driver, which
# keeps one allocation of its own to the end and is unloaded before the leak
# check. Its code has no frame pointers: only the slow unwinder reaches the
# GLX frame that tests/app/lsan.supp names. It costs these suites about half
# as much time again; leak checking stays on.
#
# quelvo_qt_sanitizer_environment(<var> <browser>): the one
# ENVIRONMENT_MODIFICATION entry (empty: none) that a Qt suite, or the cases
# of one that host the browser when <browser> is true, get under this build's
# sanitizer. One entry, because gtest_discover_tests passes each property
# value as one word: a list there loses all but its first element.
function(quelvo_qt_sanitizer_environment var browser)
  set(entry "")
  if(QUELVO_SANITIZE STREQUAL "address")
    if(browser)
      set(entry "ASAN_OPTIONS=string_append::new_delete_type_mismatch=0:detect_leaks=0")
    else()
      set(entry "ASAN_OPTIONS=string_append::fast_unwind_on_malloc=0")
    endif()
  elseif(QUELVO_SANITIZE STREQUAL "thread" AND browser)
    set(entry "TSAN_OPTIONS=string_append::ignore_noninstrumented_modules=1")
  endif()
  set(${var} "${entry}" PARENT_SCOPE)
endfunction()

# Per-test sanitizer settings; called for each Qt test.
function(quelvo_sanitizer_test_properties name)
  set(browser FALSE)
  if(name IN_LIST QUELVO_BROWSER_SUITES)
    set(browser TRUE)
  endif()
  quelvo_qt_sanitizer_environment(entry ${browser})
  if(entry)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION "${entry}")
  endif()
endfunction()

# Test executables whose code runs threads: the scan worker and its
# hand-overs, closing the window during a scan, the lookup service. Their
# tests carry the label "threaded", and the target quelvo_threaded_tests
# builds just them: the ThreadSanitizer run of scripts/test-sanitizers builds
# and runs that selection alone (build and test presets tsan-threaded).
# Declared with quelvo_gtest(... THREADED ...), or by calling this after the
# executable and its tests (gtest_discover_tests then takes LABELS threaded).
add_custom_target(quelvo_threaded_tests)
function(quelvo_threaded_suite target)
  add_dependencies(quelvo_threaded_tests ${target})
  if(TEST ${target})
    set_property(TEST ${target} APPEND PROPERTY LABELS threaded)
  endif()
endfunction()
