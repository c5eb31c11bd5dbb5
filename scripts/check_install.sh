#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and builds tests/consumer against it twice,
# through find_package(Quorvel) and through pkg-config, running each program headless.
# Usage: scripts/check_install.sh [build directory, default build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== install into a temporary prefix, and a program that uses it"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$work/prefix/bin/quorvel-demo" --version

cmake -S tests/consumer -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer" "$work/cmake.gif"

pc="$(find "$work/prefix" -name quorvel.pc)"
export PKG_CONFIG_PATH="$(dirname "$pc")${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
# shellcheck disable=SC2046  # pkg-config's output is meant to be split into words
g++ -std=c++20 -Wall -Wextra -Werror tests/consumer/consumer.cpp \
  $(pkg-config --cflags --libs quorvel) -o "$work/pkg-config-consumer"
"$work/pkg-config-consumer" "$work/pkg-config.gif"
