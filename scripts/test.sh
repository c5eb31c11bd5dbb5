#!/usr/bin/env bash
# Sets up, builds and runs every test: a release build and a program built against its
# installation, then the whole suite again under the address and undefined-behaviour
# sanitizers, the threaded tests under the thread sanitizer, the web pages in Chromium, and
# the Windows cross-build under Wine (scripts/windows.sh). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

# timed <what> <command...>: runs a part of the test command and notes how long it took,
# for the summary at the end.
times=()
timed() {
  local what="$1" start=$SECONDS; shift
  "$@"
  times+=("$(printf '%5ds  %s' $((SECONDS - start)) "$what")")
}

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

timed "release build and suite" build_and_test release Release ""
# Full-screen scaling at 1920x1080 under Xvfb, read back from screenshots.
timed "full-screen scaling under Xvfb" scripts/xvfb_scaling.sh build/release >/dev/null
# What `cmake --install` gives users, built against with find_package and pkg-config.
timed "install and programs built against it" scripts/check_install.sh build/release
# The gallery still renders (into a folder of its own; the committed GIFs stay as they are).
gallery="$(mktemp -d)"
timed "gallery" scripts/gallery.sh "$gallery" >/dev/null
rm -rf "$gallery"
timed "address and undefined-behaviour sanitizers" build_and_test asan Debug address
# The palette file readers against arbitrary bytes, for a bounded time.
timed "fuzzers" scripts/fuzz.sh 20
# The tests where a second thread meets the program's thread.
timed "thread sanitizer" build_and_test tsan Debug thread test_keys test_presenter test_recorder test_recorder_posix
# The programs as web pages, driven in a real browser.
timed "web pages in Chromium" scripts/web_test.sh
# Windows: the cross-build, its suite under Wine, the programs on Xvfb, the ZIP package.
timed "Windows under Wine" scripts/windows.sh
printf '%s\n' "${times[@]}"
echo "All tests passed."
