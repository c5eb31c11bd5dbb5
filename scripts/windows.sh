#!/usr/bin/env bash
# The Windows build, on Linux: builds the dependencies for mingw-w64 (once per machine,
# scripts/windows_deps.sh), cross-builds Quorvel (library, programs, examples, tests),
# runs the test suite under Wine without a display, starts the programs under Wine on
# Xvfb and takes a screenshot of each, packs the ZIP and builds a program against it.
# Everything lives under build/windows; a rerun reuses what is there.
# Usage: scripts/windows.sh   (after scripts/setup.sh). Non-zero, naming the part, on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
top="$PWD"
root="$top/build/windows"
build="$root/quorvel"
jobs="$(nproc)"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$top}"

fail() { echo "windows: $*" >&2; exit 1; }

prefix="$(scripts/windows_deps.sh)" || fail "building the dependencies failed"

# Wine with a prefix of its own, quiet, without the dialogs offering Mono and Gecko, and
# finding the dependencies' DLLs (and the compiler's) in the prefix.
export WINEPREFIX="$root/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || fail "no $wine (scripts/setup.sh installs wine64)"
winepath="Z:${prefix//\//\\}\\bin"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Wine prefix $WINEPREFIX"
  env -u DISPLAY WINEPATH="$winepath" "$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot could not create $WINEPREFIX"
fi
# The tests run headless: no DISPLAY, so Wine opens no window and neither does SDL.
emulator="env;-u;DISPLAY;WINEPREFIX=$WINEPREFIX;WINEDEBUG=-all;WINEDLLOVERRIDES=$WINEDLLOVERRIDES;WINEPATH=$winepath;$wine"

echo "== $build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
  -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null || fail "configuring the cross-build failed"
cmake --build "$build" -j"$jobs" || fail "the cross-build failed"

echo "== the suite under Wine"
ctest --test-dir "$build" --output-on-failure -j"$jobs" || fail "tests failed under Wine"
