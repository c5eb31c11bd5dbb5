#!/usr/bin/env bash
# Builds what the web pages need beyond the C++ library (zlib, libpng and giflib) with
# Emscripten, from Debian's own source packages, into a prefix under build/web-deps, and
# prints that prefix. Emscripten's own ports would be fetched from the network, which
# these machines do not reach. The prefix is named after the source versions, the
# compiler and this script, so only a fresh machine, or a change to one of them, pays
# for the build.
# Usage: scripts/web_deps.sh   (needs scripts/setup.sh's emscripten and deb-src entry)
set -euo pipefail
cd "$(dirname "$0")/.."
top="$PWD"
root="$top/build/web-deps"
packages=(zlib libpng1.6 giflib)
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

source "$top/scripts/debian_sources.sh"
dscs="$(debian_source_dscs "${packages[@]}")" || exit 1
deps_begin "web deps" "$root" < <(echo "$dscs"; emcc --version | sed -n 1p;
  cat "$top/scripts/web_deps.sh" "$top/scripts/debian_sources.sh")

rm -rf "$prefix" "$root/src"
mkdir -p "$prefix/include" "$prefix/lib"
step "fetching and unpacking the sources" debian_source_unpack "$root/src" "${packages[@]}"

# static_library <name> <folder> <flags> <sources...>: compiles the C sources of a folder
# with emcc, two at a time, into lib<name>.a of the prefix. The libraries' own build
# systems would spend longer finding out what Emscripten already says.
static_library() {
  local name="$1" folder="$2" flags="$3"; shift 3
  (cd "$folder" && printf '%s\n' "$@" |
     xargs -P2 -I{} emcc -O2 $flags -I"$prefix/include" -c {} -o {}.o &&
     rm -f "lib$name.a" && emar rcs "lib$name.a" "${@/%/.o}")
  install -m 644 "$folder/lib$name.a" "$prefix/lib/"
}

zlib="$root/src/zlib"
install -m 644 "$zlib/zlib.h" "$zlib/zconf.h" "$prefix/include/"
# What zlib's configure finds on every system with a C library.
step "building zlib" static_library z "$zlib" -DHAVE_UNISTD_H adler32.c compress.c crc32.c deflate.c gzclose.c \
  gzlib.c gzread.c gzwrite.c infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
# libpng's configuration as its own scripts give it for every system with a C library.
png="$root/src/libpng1.6"
cp "$png/scripts/pnglibconf.h.prebuilt" "$png/pnglibconf.h"
install -m 644 "$png/png.h" "$png/pngconf.h" "$png/pnglibconf.h" "$prefix/include/"
step "building libpng" static_library png16 "$png" "" png.c pngerror.c pngget.c pngmem.c \
  pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c \
  pngwrite.c pngwtran.c pngwutil.c
# giflib's static library by its own makefile, as for Windows.
gif="$root/src/giflib"
step "building giflib" make -C "$gif" -j2 libgif.a CC=emcc AR=emar OFLAGS=-O2
install -m 644 "$gif/gif_lib.h" "$prefix/include/"
install -m 644 "$gif/libgif.a" "$prefix/lib/"

# The licences of what the pages carry, for their notices.
licences="$prefix/share/licences"
mkdir -p "$licences"
install -m 644 "$zlib/LICENSE" "$licences/zlib.txt"
install -m 644 "$png/LICENSE" "$licences/libpng.txt"
install -m 644 "$gif/COPYING" "$licences/giflib.txt"

deps_end
