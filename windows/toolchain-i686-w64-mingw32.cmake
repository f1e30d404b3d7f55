# Cross build for Windows (i686) with Debian's MinGW-w64 compilers:
#   cmake -S . -B build-win32-package --toolchain windows/toolchain-i686-w64-mingw32.cmake
# The win32 threading model of the compilers builds what ships: its run time
# calls only functions that Windows NT 4.0 has, where the posix model's run time
# needs Windows Vista (GetTickCount64) and the product uses no threads. The tests
# need the posix model (GoogleTest's std::mutex, the test programs' std::thread):
# toolchain-i686-w64-mingw32-tests.cmake sets MINGW_THREAD_MODEL to posix and
# reads this file.
if(NOT MINGW_THREAD_MODEL)
  set(MINGW_THREAD_MODEL win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${MINGW_THREAD_MODEL})
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The 32-bit programs are large-address-aware: Windows gives such a process the
# address space beyond 2 GB that it has (3 GB with /3GB on 32-bit Windows, 4 GB
# on 64-bit Windows). Nothing of defshift takes an address for a signed number.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--large-address-aware")
