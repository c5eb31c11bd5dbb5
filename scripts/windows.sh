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
# A build made against other dependencies has their paths in its cache: start it afresh.
if [ "$(cat "$build/deps-prefix" 2>/dev/null)" != "$prefix" ]; then
  rm -rf "$build"
  mkdir -p "$build"
  echo "$prefix" >"$build/deps-prefix"
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
  -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_BUILD_BENCH=OFF "${launcher[@]}" \
  -DQUORVEL_RUNTIME_DLLS="$(printf '%s;' "$prefix"/bin/{SDL2,libpng16,libstdc++-6,libgcc_s_seh-1,libwinpthread-1}.dll)" \
  -DQUORVEL_RUNTIME_LICENCES="$prefix/share/licences" >/dev/null || fail "configuring the cross-build failed"
cmake --build "$build" -j"$jobs" || fail "the cross-build failed"

echo "== the suite under Wine"
ctest --test-dir "$build" --output-on-failure -j"$jobs" || fail "tests failed under Wine"

# Arguments reach a program in UTF-8 whatever the code page: a name with characters of no
# single code page, given on the command line, names the file.
echo "== a file name of no single code page on a command line"
named="$root/names"
rm -rf "$named"
mkdir -p "$named"
cp "$top/samples/coast.lbm" "$named/côte-Ωλ.lbm"
LC_ALL=C.UTF-8 env -u DISPLAY WINEPATH="$winepath" "$wine" "$build/quorvel-pic.exe" info \
  "Z:${named//\//\\}\\côte-Ωλ.lbm" >"$named/info.txt" 2>&1 || { cat "$named/info.txt" >&2; fail "quorvel-pic cannot open a file named on its command line in UTF-8"; }
# The Wine session started without a display would outlive the step and give the programs
# below a desktop with no windows: end it.
/usr/lib/wine/wineserver -k 2>/dev/null || true

# The programs in a real window: Wine's X11 driver on Xvfb. Each is started, given time
# to draw, and photographed; the pictures stay in $shots for a look.
shots="$root/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
echo "== the programs under Wine on Xvfb (screenshots in $shots)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$root/xvfb.display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$root/xvfb.display" ] && break; sleep 0.1; done
display=":$(cat "$root/xvfb.display")"
bin="$build"
# shoot <name> <seconds before the first> <seconds between> <program> [args...]: runs a
# program in the window, takes two screenshots, ends it.
shoot() {
  local name="$1" first="$2" between="$3" program="$4"; shift 4
  DISPLAY="$display" WINEPATH="$winepath" "$wine" "$bin/$program.exe" "$@" >"$shots/$name.log" 2>&1 &
  local pid=$!
  sleep "$first"
  import -display "$display" -window root "$shots/$name-1.png"
  sleep "$between"
  import -display "$display" -window root "$shots/$name-2.png"
  kill "$pid" 2>/dev/null || true
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
colours() { convert "$1" -format %k info:; }
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ]; }
shoot demo 8 1 quorvel-demo
shoot showcase 6 2 quorvel-showcase --window
shoot play 6 2 quorvel-play --cycle 1-255@30 "$top/docs/gallery/colour_cycling.gif"
[ "$(colours "$shots/demo-2.png")" -gt 1 ] || fail "the demo shows nothing (see $shots/demo-2.png, demo.log)"
differs "$shots/showcase-1.png" "$shots/showcase-2.png" || fail "the showcase does not move (see $shots)"
[ "$(colours "$shots/play-2.png")" -gt 2 ] || fail "the player shows no picture (see $shots/play-2.png, play.log)"
differs "$shots/play-1.png" "$shots/play-2.png" || fail "the player's cycles do not run (see $shots)"
kill $xvfb 2>/dev/null || true

# The package, unzipped, and a program built against it with find_package as its users
# build theirs; the dependencies' own headers and import libraries come from the prefix.
echo "== the ZIP package and a program built against it"
version="$(sed -n 's/^project(quorvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
(cd "$build" && cpack -G ZIP >/dev/null) || fail "cpack -G ZIP failed"
zip="$build/quorvel-$version-win64.zip"
[ -f "$zip" ] || fail "no $zip"
unzipped="$root/package"
rm -rf "$unzipped" "$root/consumer"
mkdir -p "$unzipped"
cmake -E chdir "$unzipped" cmake -E tar xf "$zip"
package="$unzipped/quorvel-$version-win64"
for f in bin/quorvel-demo.exe bin/SDL2.dll bin/libpng16.dll lib/libquorvel.a include/quorvel/display.hpp \
         lib/cmake/Quorvel/QuorvelConfig.cmake share/doc/quorvel/LICENSE share/doc/quorvel/THIRD_PARTY_NOTICES.md \
         share/doc/quorvel/licences/SDL2.txt; do
  [ -f "$package/$f" ] || fail "the package has no $f"
done
cmake -S tests/consumer -B "$root/consumer" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$package;$prefix" >/dev/null \
  || fail "the consumer does not configure against the package"
cmake --build "$root/consumer" -j"$jobs" >/dev/null || fail "the consumer does not build against the package"
env -u DISPLAY WINEPATH="Z:${package//\//\\}\\bin" "$wine" "$root/consumer/consumer.exe" "$root/consumer/fade.gif" \
  || fail "the consumer failed under Wine"
echo "windows: all passed"
