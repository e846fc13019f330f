#!/usr/bin/env bash
# Builds the program and every test with ThreadSanitizer (gcc, GUI on, in
# build-tsan/) and runs all the tests: the Qt tests drive the job thread and
# the window thread together. Not part of the CI run: it needs its own full
# build. Exits non-zero when a build or a test fails or when ThreadSanitizer
# reports a race (or another error) that scripts/tsan.supp does not name, in
# a test or in a program a test starts; the reports are printed at the end.
# Idempotent; run from anywhere, as root (or with sudo at hand).
#   TSAN_BUILD_DIR  build folder (default: build-tsan)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

TSAN_BUILD_DIR="${TSAN_BUILD_DIR:-$ROOT/build-tsan}"
REPORTS="$TSAN_BUILD_DIR/tsan-reports"

install_packages

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
# die_after_fork=0: the tests start programs (mendora, mendora-cli) from
# threaded processes. Each process writes its reports to a file of its own
# under $REPORTS, so that a report from a started program is not lost.
export TSAN_OPTIONS="die_after_fork=0:halt_on_error=0:second_deadlock_stack=1:suppressions=$ROOT/scripts/tsan.supp:log_path=$REPORTS/report"

failed=()
CXX=g++ configure_and_build "$TSAN_BUILD_DIR" -DCMAKE_CXX_COMPILER=g++ \
  -DMENDORA_GUI=ON -DMENDORA_SANITIZE=OFF -DMENDORA_TESTS=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" ||
  failed+=("build")

if ((${#failed[@]} == 0)); then
  rm -rf "$REPORTS"
  mkdir -p "$REPORTS"
  echo "== test $TSAN_BUILD_DIR"
  # The real data files are taken in turns through the real_mdf_files lock.
  ctest --test-dir "$TSAN_BUILD_DIR" --output-on-failure --parallel "$(build_jobs)" \
    </dev/null || failed+=("tests")
  shopt -s nullglob
  reports=("$REPORTS"/report.*)
  if ((${#reports[@]})); then
    cat "${reports[@]}" >&2
    echo "== ThreadSanitizer wrote ${#reports[@]} report file(s) in $REPORTS" >&2
    failed+=("ThreadSanitizer reports")
  fi
fi

if ((${#failed[@]})); then
  echo "== FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "== no ThreadSanitizer report; all tests passed in $TSAN_BUILD_DIR"
