#!/usr/bin/env bash
# Draws the sample art into samples/ (or the folder given) with the project's own code:
# the showcase's coast as an ILBM with its cycles and as a scene with its day, a waterfall
# with its day as a scene and an ILBM, and a test ramp as a scene in JavaScript. The files
# are committed; the tests check that they are what this draws.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-samples}"
build=build/release
mkdir -p "$out"
scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvel-make-samples >/dev/null
"$build/quorvel-make-samples" "$out"
ls -l "$out"
