# Cross-build for 64-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-x86-64 and mingw-w64):
#
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
#   cmake --build build-windows        # build-windows/src/Varnock64.dll
#
# The win32 threading variant of the compiler is used throughout: the core
# starts no threads, and this variant needs no winpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNOCK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNOCK_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VARNOCK_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${VARNOCK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOCK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
