# Cross-building for 64-bit Windows with Debian's mingw-w64, posix thread model (the one
# with std::thread and std::mutex):
#   cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DCMAKE_PREFIX_PATH=<where SDL2, giflib, libpng, zlib and GoogleTest are>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW}-windres)

# Libraries, headers and packages come from the mingw sysroot and the given prefixes only,
# never from the build machine; its programs (awk, pkg-config) are the machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
