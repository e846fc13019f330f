#!/usr/bin/env bash
# Builds the program, mendora-cli and every library with clang
# (build-clang/), unoptimised and without debug information: the compiler's
# verdict, quickly, while working. scripts/test.sh compiles everything, tests
# included, with clang in its sanitizer build; CLANG_TESTS=ON builds the tests
# and benchmarks here too. Exits non-zero when the build fails.
# Idempotent; run from anywhere, as root (or with sudo at hand).
#   CLANG_BUILD_DIR  build folder (default: build-clang)
#   CLANG_TESTS      ON to build the tests and benchmarks as well (default: OFF)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

CLANG_BUILD_DIR="${CLANG_BUILD_DIR:-$ROOT/build-clang}"

install_packages
configure_and_build "$CLANG_BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++ \
  -DMENDORA_GUI=ON -DMENDORA_SANITIZE=OFF -DMENDORA_TESTS="${CLANG_TESTS:-OFF}" \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0
echo "== clang built the program and its libraries in $CLANG_BUILD_DIR"
