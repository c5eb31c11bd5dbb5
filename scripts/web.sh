#!/usr/bin/env bash
# Builds the programs as web pages in build/web/ (Emscripten, from web/CMakeLists.txt):
# one page per program, quorvel-<name>.html beside its .js and .wasm.
# Usage: scripts/web.sh          build
#        scripts/web.sh serve    build, then serve build/web on 127.0.0.1 (PORT, default 8000)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten
out=build/web
# Debian's Emscripten runs its tools on the machine's Node.js, which must find Debian's
# JavaScript modules (acorn and others) there.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

deps="$(scripts/web_deps.sh)"

emcmake cmake -S web -B build/web-cmake -DCMAKE_BUILD_TYPE=Release \
  -DQUORVEL_WEB_OUT="$PWD/$out" -DQUORVEL_WEB_DEPS="$deps" >/dev/null
cmake --build build/web-cmake -j2

# page <program> <title> <start: auto|picture> <what to press, HTML> [directory]
page() {
  local program="$1" title="$2" start="$3" help="$4" dir="${5:-$out}"
  python3 - web/page.html "$dir/$program.html" "$program" "$title" "$start" "$help" <<'EOF'
import sys
template, target, program, title, start, help_ = sys.argv[1:]
text = open(template).read()
for field, value in (("PROGRAM", program), ("TITLE", title), ("START", start), ("HELP", help_)):
    text = text.replace("@" + field + "@", value)
open(target, "w").write(text)
EOF
}

fullscreen='<kbd>Alt</kbd>+<kbd>Enter</kbd>: full screen.'
for js in "$out"/quorvel-*.js; do
  program="$(basename "$js" .js)"
  case "$program" in
    quorvel-demo)
      page "$program" "Quorvel demonstration" auto \
        "Press <kbd>Space</kbd> at each prompt to go on. $fullscreen" ;;
    quorvel-showcase)
      page "$program" "Quorvel showcase" auto \
        "<kbd>N</kbd> day/night, <kbd>B</kbd> blending, <kbd>&larr;</kbd> <kbd>&rarr;</kbd> slower/faster, <kbd>G</kbd> grey, <kbd>I</kbd> negative, <kbd>Space</kbd> pause, <kbd>Esc</kbd> quit. $fullscreen" ;;
    quorvel-raster)
      page "$program" "Palettes per line at 320x200" auto \
        "A sky gradient, copper bars, a status bar of its own and a cycling border, from palettes per line. <kbd>Esc</kbd> quits. $fullscreen" ;;
    quorvel-play)
      page "$program" "Quorvel player" picture \
        "Choose or drop a picture. <kbd>Space</kbd>: pause the cycles. <kbd>Esc</kbd>: another picture. $fullscreen" ;;
    *)
      page "$program" "$program" auto "$fullscreen" ;;
  esac
done
page quorvel-timing "Timing" auto "Measures fades and frames." "$out/tests"
page quorvel-lines "Palettes per line" auto "Shows a known list of line palettes." "$out/tests"
# The pages carry the text font's glyphs, giflib, libpng, zlib and Emscripten's C library,
# whose licences travel with every copy.
{
  cat LICENSE
  printf '\n\n'
  cat THIRD_PARTY_NOTICES.md
  for licence in giflib libpng zlib; do
    printf '\n\n---- %s, as its source package gives its licence ----\n\n' "$licence"
    cat "$deps/share/licences/$licence.txt"
  done
  printf '\n\n---- musl, the C library in every page, as Emscripten carries it ----\n\n'
  cat "$(dirname "$(readlink -f "$(command -v emcc)")")/system/lib/libc/musl/COPYRIGHT"
} > "$out/NOTICES.txt"

for f in "$out"/quorvel-*.js "$out"/quorvel-*.wasm; do
  printf '%8d  %s\n' "$(stat -c %s "$f")" "$f"
done

if [[ "${1:-}" == "serve" ]]; then
  port="${PORT:-8000}"
  echo "Serving $out at http://127.0.0.1:$port/  (Ctrl+C stops)"
  for html in "$out"/quorvel-*.html; do echo "  http://127.0.0.1:$port/$(basename "$html")"; done
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$out"
fi
