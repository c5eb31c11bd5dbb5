#!/usr/bin/env bash
# Installs what building and testing need, only where it is missing (Debian 12): the
# Linux build, and the Windows cross-build (mingw-w64 with posix threads, Wine to run it,
# and the source entry apt-get source needs for the dependencies built for it).
set -euo pipefail

packages=(cmake make g++ pkg-config libsdl2-dev libsdl2-image-dev libgif-dev libgtest-dev
          libbenchmark-dev libpng-dev dpkg-dev netpbm xauth
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 xvfb x11-apps
          imagemagick "$@")
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get source needs a deb-src entry for bookworm main. One of its own, beside the deb
# entries, added only when no deb-src entry exists anywhere.
update=0
if ! grep -qsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
  uri="$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)"
  [ -n "$uri" ] || uri="$(sed -nE 's/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+bookworm[[:space:]].*/\2/p' \
    /etc/apt/sources.list 2>/dev/null | head -n1)"
  [ -n "$uri" ] || uri="http://deb.debian.org/debian"
  echo "setup: adding /etc/apt/sources.list.d/quorvel-sources.sources (deb-src $uri bookworm main)"
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" | $sudo tee /etc/apt/sources.list.d/quorvel-sources.sources >/dev/null
  update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) || ((update)); then
  $sudo apt-get update -q
fi
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
