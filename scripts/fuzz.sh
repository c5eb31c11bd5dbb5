#!/usr/bin/env bash
# Builds the palette file fuzzer with clang's libFuzzer, address and undefined-behaviour
# sanitizers, and runs it for a bounded time. Exits non-zero when it finds a crash.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang-14 libclang-rt-14-dev
seconds="${1:-20}"
out=build/fuzz
mkdir -p "$out/corpus"

# The library without its window: every palette and display source but the SDL one.
sources=(palette/*.cpp)
for f in display/*.cpp; do
  [[ "$f" == display/sdl_* ]] || sources+=("$f")
done

clang++-14 -std=c++20 -O1 -g -I. -Iinclude -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -fno-omit-frame-pointer -pthread \
  "${sources[@]}" tests/fuzz/no_window.cpp tests/fuzz/fuzz_palette_files.cpp \
  -lgif -o "$out/fuzz_palette_files"

"$out/fuzz_palette_files" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -artifact_prefix="$out/" "$out/corpus"
