#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and builds tests/consumer against it
# through find_package(Quorvel) and through the README's pkg-config lines, then builds and
# installs the library alone by the README's configure-and-install line and builds the
# consumer against that too, running each program headless. The README's lines are the
# ```sh check-install blocks, run as they stand with PREFIX set.
# Usage: scripts/check_install.sh [build directory, default build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${1:-build/release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# readme_block <n>: the n-th (1-based) check-install block of the README.
readme_block() {
  awk -v want="$1" '/^```sh check-install$/ { n++; inside = n == want; next }
                    /^```$/ { inside = 0 } inside' README.md
}
library_block="$(readme_block 1)"
program_block="$(readme_block 2)"
if [[ -z "$library_block" || -z "$program_block" ]]; then
  echo "check_install: README.md lacks its two check-install blocks" >&2
  exit 1
fi

# readme_program <prefix> <folder>: the README's pkg-config lines, in a folder holding the
# consumer as main.cpp, against <prefix>; then the program they built.
readme_program() {
  mkdir -p "$2"
  cp tests/consumer/consumer.cpp "$2/main.cpp"
  (cd "$2" && PREFIX="$1" bash -euo pipefail -c "$program_block")
  "$2/main" "$2/out.gif"
}

echo "== install into a temporary prefix, and programs that use it"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$work/prefix/bin/quorvel-demo" --version

cmake -S tests/consumer -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer" "$work/cmake.gif"
readme_program "$work/prefix" "$work/pkg-config"

echo "== the library alone, by the README's line, and a program against it"
PREFIX="$work/library" bash -euo pipefail -c "$library_block" >/dev/null
if [[ -e "$work/library/bin" ]]; then
  echo "check_install: the library alone installed programs: $(ls "$work/library/bin")" >&2
  exit 1
fi
readme_program "$work/library" "$work/library-program"
