#!/usr/bin/env bash
# Builds the file fuzzers (the blocking routines' palette files; every palette format, the
# IFF chunks, every picture decoder) with clang's libFuzzer, address and undefined-behaviour
# sanitizers, and runs each for a bounded time. Exits non-zero when one finds a crash.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang-14 libclang-rt-14-dev
seconds="${1:-20}"
out=build/fuzz

# The library without SDL: every palette, display and formats source but the SDL ones and
# those of the other system.
sources=(palette/*.cpp)
for f in display/*.cpp formats/*.cpp; do
  case "$(basename "$f")" in sdl_* | *_windows.cpp) ;; *) sources+=("$f") ;; esac
done

for target in fuzz_palette_files fuzz_formats; do
  mkdir -p "$out/corpus-$target"
  cp tests/data/palettes/*.gpl "$out/corpus-$target/"  # real files to start from
  python3 tests/fuzz/picture_seeds.py "$out/corpus-$target"
  checks=()
  if [[ "$target" == fuzz_formats ]]; then checks=(tests/fuzz/picture_checks.cpp); fi
  clang++-14 -std=c++20 -O1 -g -I. -Iinclude -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=all -fno-omit-frame-pointer -pthread \
    "${sources[@]}" tests/fuzz/no_window.cpp "${checks[@]}" "tests/fuzz/$target.cpp" \
    -lgif -lpng -lz -o "$out/$target"
  "$out/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -artifact_prefix="$out/$target-" "$out/corpus-$target"
done
