#!/usr/bin/env bash
# Builds the web pages and checks them in Debian's Chromium, headless, through the
# DevTools protocol (tests/web/run.mjs, with puppeteer-core from npm; no browser is ever
# downloaded). Exits non-zero when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten chromium
command -v npm >/dev/null || scripts/setup.sh npm
scripts/web.sh
export PUPPETEER_SKIP_DOWNLOAD=1
if [[ ! -d tests/web/node_modules ]]; then
  (cd tests/web && npm ci --no-audit --no-fund)
fi
node tests/web/run.mjs
