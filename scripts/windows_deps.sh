#!/usr/bin/env bash
# Builds what Quorvel needs on Windows (zlib, libpng, giflib, SDL2, SDL2_image and
# GoogleTest) from Debian's own source packages, each with its own build system, into a
# prefix under build/windows, and prints that prefix. The prefix is named after the source
# versions, the compiler and this script, so a rerun on the same machine reuses it and
# only a change to one of them builds it again.
# Usage: scripts/windows_deps.sh   (needs scripts/setup.sh's packages and deb-src entry)
set -euo pipefail
cd "$(dirname "$0")/.."
top="$PWD"
root="$top/build/windows"
toolchain="$top/cmake/mingw-w64-x86_64.cmake"
jobs="$(nproc)"
packages=(zlib libpng1.6 giflib libsdl2 libsdl2-image googletest)

source "$top/scripts/debian_sources.sh"
# The exact source versions apt-get would fetch, without fetching them.
dscs="$(debian_source_dscs "${packages[@]}")" || exit 1
deps_begin "windows deps" "$root" < <(echo "$dscs"; x86_64-w64-mingw32-g++-posix --version | head -n1;
  cat "$toolchain" "$top/scripts/windows_deps.sh" "$top/scripts/debian_sources.sh")

rm -rf "$prefix" "$root/src"
mkdir -p "$prefix"
step "fetching and unpacking the sources" debian_source_unpack "$root/src" "${packages[@]}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# cmake_dep <source folder> <options...>: configures, builds and installs one CMake project.
cmake_dep() {
  local source="$root/src/$1"; shift
  step "configuring $(basename "$source")" cmake -S "$source" -B "$source/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${launcher[@]}" "$@"
  step "building $(basename "$source")" cmake --build "$source/build" -j"$jobs"
  step "installing $(basename "$source")" cmake --install "$source/build"
}

# Debian's zlib source leaves out the Windows resource file its shared library needs, so
# only its static library is built, with its CMake, and goes into libpng's DLL.
zlib="$root/src/zlib"
step "configuring zlib" cmake -S "$zlib" -B "$zlib/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${launcher[@]}"
step "building zlib" cmake --build "$zlib/build" -j"$jobs" --target zlibstatic
mkdir -p "$prefix/include" "$prefix/lib"
install -m 644 "$zlib/zlib.h" "$zlib/build/zconf.h" "$prefix/include/"
install -m 644 "$zlib/build/libzlibstatic.a" "$prefix/lib/libz.a"
cmake_dep libpng1.6 -DPNG_SHARED=ON -DPNG_STATIC=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_ROOT="$prefix"
# giflib has a Unix makefile only: its static library, built by it with the cross compiler.
step "building giflib" make -C "$root/src/giflib" -j"$jobs" libgif.a CC="${launcher:+ccache }x86_64-w64-mingw32-gcc-posix" \
  AR=x86_64-w64-mingw32-ar OFLAGS=-O2
install -m 644 "$root/src/giflib/gif_lib.h" "$prefix/include/"
install -m 644 "$root/src/giflib/libgif.a" "$prefix/lib/"
# Quorvel uses SDL's video, events and timers only; the rest is left out to build faster.
cmake_dep libsdl2 -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL_AUDIO=OFF -DSDL_JOYSTICK=OFF \
  -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF
# SDL2_image writes the tests' indexed PNGs, which takes libpng (its own writer without it
# writes true colour); no codecs from outside beyond that.
cmake_dep libsdl2-image -DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_TESTS=OFF -DSDL2IMAGE_VENDORED=OFF \
  -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_BACKEND_STB=OFF -DSDL2IMAGE_JPG=OFF -DSDL2IMAGE_AVIF=OFF \
  -DSDL2IMAGE_JXL=OFF -DSDL2IMAGE_TIF=OFF -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_SVG=OFF
cmake_dep googletest -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON

# The compiler's own DLLs that every program needs, beside the others.
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do
  install -m 644 "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")" "$prefix/bin/"
done
install -m 644 /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$prefix/bin/"

# The licences of what the programs carry, for the package.
licences="$prefix/share/licences"
mkdir -p "$licences"
install -m 644 "$root/src/zlib/LICENSE" "$licences/zlib.txt"
install -m 644 "$root/src/libpng1.6/LICENSE" "$licences/libpng.txt"
install -m 644 "$root/src/giflib/COPYING" "$licences/giflib.txt"
install -m 644 "$root/src/libsdl2/LICENSE.txt" "$licences/SDL2.txt"
install -m 644 /usr/share/doc/gcc-mingw-w64-base/copyright "$licences/gcc-runtime.txt"
install -m 644 /usr/share/doc/mingw-w64-x86-64-dev/copyright "$licences/mingw-w64-winpthreads.txt"

deps_end
