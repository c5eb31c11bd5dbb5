#!/usr/bin/env bash
# Sets up, builds and runs every test: a release build and a program built against its
# installation, then the whole suite again under the address and undefined-behaviour
# sanitizers, the threaded tests under the thread sanitizer, and the web pages in
# Chromium. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

# build_and_test <dir> <build type> <sanitizer> [targets...]: builds (the given targets, or
# everything) and runs the tests that were built.
build_and_test() {
  local dir="build/$1" type="$2" sanitize="$3"; shift 3
  echo "== $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DQUORVEL_SANITIZE="$sanitize" \
    -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_BUILD_BENCH=OFF >/dev/null
  if (($#)); then
    cmake --build "$dir" -j"$jobs" --target "$@"
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" -L threads
  else
    cmake --build "$dir" -j"$jobs"
    ctest --test-dir "$dir" --output-on-failure -j"$jobs"
  fi
}

build_and_test release Release ""
# What `cmake --install` gives users, built against with find_package and pkg-config.
scripts/check_install.sh build/release
# The gallery still renders (into a folder of its own; the committed GIFs stay as they are).
gallery="$(mktemp -d)"
scripts/gallery.sh "$gallery" >/dev/null
rm -rf "$gallery"
build_and_test asan Debug address
# The palette file readers against arbitrary bytes, for a bounded time.
scripts/fuzz.sh 20
# The tests where a second thread meets the program's thread.
build_and_test tsan Debug thread test_keys test_presenter test_recorder
# The programs as web pages, driven in a real browser.
scripts/web_test.sh
echo "All tests passed."
