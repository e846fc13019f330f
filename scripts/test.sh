#!/usr/bin/env bash
# Installs what the build needs, checks the formatting, then builds and runs
# every test twice: a normal build with gcc, optimised, with the desktop
# program and its Qt tests (build/), whose programs are then packaged,
# installed, checked and removed (build-package/: scripts/package.sh,
# scripts/check-package.sh), and a build of the same with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), so that both
# compilers see every file and the engine and the windows both run under the
# sanitizers; last, it runs each libFuzzer target for a short budget in that
# build (scripts/fuzz.sh). Exits non-zero when the formatting check, a
# build, any test, the package check or the fuzzing fails; the later steps run
# all the same, so one run reports everything.
# Idempotent; run from anywhere, as root (or with sudo at hand), no input needed.
#   BUILD_DIR       normal build folder    (default: build)
#   ASAN_BUILD_DIR  sanitizer build folder (default: build-asan)
#   MENDORA_MDF_DIR real data files        (default: ../shared/mdf beside the clone)
#   FUZZ_SECONDS    seconds per fuzz target (default: 25)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
ASAN_BUILD_DIR="${ASAN_BUILD_DIR:-$ROOT/build-asan}"

# Widget tests run without a display; sanitizers stop at the first error.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export CTEST_OUTPUT_ON_FAILURE=1

# Every tracked C++ file as the repository's .clang-format wants it; names
# each file that is not.
check_format() {
  echo "== clang-format check"
  local files=() unformatted=() f
  if ! command -v clang-format >/dev/null 2>&1; then
    echo "clang-format is not installed" >&2
    return 1
  fi
  mapfile -t files < <(git -C "$ROOT" ls-files -- '*.cpp' '*.h')
  if ((${#files[@]} == 0)); then
    echo "no tracked C++ files found (is $ROOT a git clone?)" >&2
    return 1
  fi
  for f in "${files[@]}"; do
    clang-format --style=file --dry-run -Werror "$ROOT/$f" >/dev/null 2>&1 || unformatted+=("$f")
  done
  if ((${#unformatted[@]})); then
    echo "not formatted as .clang-format asks (clang-format -i FILE fixes it):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    return 1
  fi
  echo "== clang-format: ${#files[@]} files formatted"
}

# Each GoogleTest case is its own ctest entry, so two run at once. The engine
# opens a data file with a shared lock, so tests reading the same real file run
# side by side.
run_tests() {
  local dir="$1"
  echo "== test $dir"
  ctest --test-dir "$dir" --output-on-failure --parallel "$(build_jobs)" </dev/null
}

install_packages

failed=()
check_format || failed+=("clang-format")

configure_and_build "$BUILD_DIR" -DMENDORA_GUI=ON -DMENDORA_SANITIZE=OFF -DMENDORA_TESTS=ON &&
  run_tests "$BUILD_DIR" || failed+=("$BUILD_DIR")

# The Debian package from the normal build's programs (build-package/),
# installed with apt-get, checked (man pages, desktop entry, lintian) and
# removed again.
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/package.sh" &&
  bash "$ROOT/scripts/check-package.sh" || failed+=("package")

# clang, so that the second compiler checks the tests too. The libraries are
# optimised a little (-O1, as the sanitizers' authors advise: the tests run
# in half the time and stack traces stay whole); the test programs' own files
# stay unoptimised. The libraries are instrumented for the fuzzer as well, so
# that the fuzz targets need no build of their own. The benchmarks are built
# by the normal build only.
configure_and_build "$ASAN_BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++ \
  -DMENDORA_GUI=ON -DMENDORA_SANITIZE=ON -DMENDORA_FUZZ=ON -DMENDORA_TESTS=ON -DMENDORA_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" &&
  run_tests "$ASAN_BUILD_DIR" || failed+=("$ASAN_BUILD_DIR")

# Each libFuzzer target for a short budget, in the sanitizer build; longer
# runs by hand (scripts/fuzz.sh, build-fuzz/).
FUZZ_BUILD_DIR="$ASAN_BUILD_DIR" bash "$ROOT/scripts/fuzz.sh" all "${FUZZ_SECONDS:-25}" ||
  failed+=("fuzzing")

if ((${#failed[@]})); then
  echo "== FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "== formatting checked; all tests passed in $BUILD_DIR and $ASAN_BUILD_DIR; the package installed and checked; fuzzing found nothing"
