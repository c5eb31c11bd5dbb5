#!/usr/bin/env bash
# Sets up, builds and runs the demonstration program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF
cmake --build build/demo -j"$(nproc)" --target quorvel-demo
exec build/demo/quorvel-demo
