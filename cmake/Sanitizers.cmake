if(QUELVO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUELVO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUELVO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUELVO_SANITIZE must be empty, 'address' or 'thread'")
endif()

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
# browser (tst_Form_QLVO_GUI, tst_ScanFlow, tst_ScanClose).
#
# Under ThreadSanitizer, Chromium's threads (IO, thread pool, device monitor)
# synchronise with primitives it cannot see, and show only through the
# interceptors they call (sockets, epoll, mutexes) from libQt6WebEngineCore,
# libevent and libudev. In these suites ignore_noninstrumented_modules=1 drops
# interceptor reports from libraries not built with ThreadSanitizer; every
# access of our own (instrumented) code stays checked.
set(QUELVO_BROWSER_SUITES tst_ScanEndToEnd tst_LookupBrowser)

# Per-test sanitizer settings; called for each Qt test.
function(quelvo_sanitizer_test_properties name)
  if(NOT name IN_LIST QUELVO_BROWSER_SUITES)
    return()
  endif()
  if(QUELVO_SANITIZE STREQUAL "address")
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
      "ASAN_OPTIONS=string_append::new_delete_type_mismatch=0:detect_leaks=0")
  elseif(QUELVO_SANITIZE STREQUAL "thread")
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
      "TSAN_OPTIONS=string_append::ignore_noninstrumented_modules=1")
  endif()
endfunction()
