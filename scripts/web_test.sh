#!/usr/bin/env bash
# Builds the web pages and checks them in Debian's Chromium, headless, through the
# DevTools protocol (tests/web/run.mjs, with puppeteer-core from npm; no browser is ever
# downloaded). Exits non-zero when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten chromium
command -v npm >/dev/null || scripts/setup.sh npm
scripts/web.sh
# The native programs that say what the pages must show and write (built already when the
# whole test command runs).
# Configured again each time: a build directory made before these targets existed has no
# rule for them.
if [[ ! -f build/release/CMakeCache.txt ]]; then
  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=ON \
    -DQUORVEL_BUILD_BENCH=OFF >/dev/null
else
  cmake build/release >/dev/null
fi
cmake --build build/release -j"$(nproc)" --target quorvel-play quorvel-pic quorvel_web_lines quorvel_web_place >/dev/null
export PUPPETEER_SKIP_DOWNLOAD=1
if [[ ! -d tests/web/node_modules ]]; then
  (cd tests/web && npm ci --no-audit --no-fund)
fi
node tests/web/run.mjs
