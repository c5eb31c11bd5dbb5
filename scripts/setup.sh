#!/usr/bin/env bash
# Installs what building and testing need, only where it is missing (Debian 12).
set -euo pipefail

packages=(cmake make g++ pkg-config libsdl2-dev libsdl2-image-dev libgif-dev libgtest-dev
          libbenchmark-dev libpng-dev dpkg-dev xvfb xauth imagemagick "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
