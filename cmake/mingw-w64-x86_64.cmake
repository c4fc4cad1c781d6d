# Cross-build for 64-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-x86-64 and mingw-w64):
#
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
#   cmake --build build-windows        # build-windows/src/Varnock64.dll
#
# The posix threading variant of the compiler is used throughout: the core
# traces on std::thread workers, which the win32 variant of GCC 12 lacks.
# winpthreads is linked statically with the C++ runtime, so the DLL still
# imports nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNOCK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNOCK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNOCK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNOCK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOCK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
