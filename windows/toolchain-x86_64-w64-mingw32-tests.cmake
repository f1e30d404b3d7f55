# Cross build for Windows (x86_64) with the tests:
#   cmake -S . -B build-win64 --toolchain windows/toolchain-x86_64-w64-mingw32-tests.cmake
# The posix threading model of the compilers, because GoogleTest needs its
# std::mutex and the test programs std::thread (C for GoogleTest's own
# project). Everything else as for the package.
set(MINGW_THREAD_MODEL posix)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-x86_64-w64-mingw32.cmake)
