# Cross build for Windows (x86_64) with Debian's MinGW-w64 compilers:
#   cmake -S . -B build-win64-package --toolchain windows/toolchain-x86_64-w64-mingw32.cmake
# The win32 threading model of the compilers builds what ships: its run time
# calls only functions that Windows NT 4.0 has, where the posix model's run time
# needs Windows Vista (GetTickCount64) and the product uses no threads. The tests
# need the posix model (GoogleTest's std::mutex, the test programs' std::thread):
# toolchain-x86_64-w64-mingw32-tests.cmake sets MINGW_THREAD_MODEL to posix and
# reads this file.
if(NOT MINGW_THREAD_MODEL)
  set(MINGW_THREAD_MODEL win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${MINGW_THREAD_MODEL})
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
