# Cross build of the core and its tests for 64-bit Windows with mingw-w64
# (posix thread model, so std::thread works). The executables link statically
# so that they run under Wine without the runtime DLLs beside them.
#
#   cmake -S . -B build-mingw -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#     -DQUELVO_BUILD_GUI=OFF -DQUELVO_BUILD_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUELVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUELVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUELVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUELVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUELVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest starts every test executable through Wine.
find_program(QUELVO_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUELVO_WINE})
