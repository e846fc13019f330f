#!/usr/bin/env bash
# Line coverage of the product code by the normal test suite: builds the
# program and every test with gcc's coverage counters in build-coverage/,
# runs the whole ctest suite there, and prints the covered lines per product
# file (engine, sql, ui, browser, export, cli, shell, widgets; never tests,
# bench or fuzz). Not part of CI: the counters slow the tests several times.
#   COVERAGE_BUILD_DIR  build folder              (default: build-coverage)
#   COVERAGE_JSON       where the line-by-line report goes
#                       (default: COVERAGE_BUILD_DIR/coverage.json)
#   COVERAGE_BASELINE   an earlier COVERAGE_JSON: names every product line it
#                       covered that this run does not, and fails if any
#   COVERAGE_BASELINE_REV  the git revision that report was made from, when
#                       the sources have changed since: lines are matched
#                       through the text at that revision
#                       (scripts/coverage_compare.py)
# Arguments are further cmake options (e.g. -DMENDORA_REAL_MDF_DIR=...).
# Run from anywhere; installs gcovr when it is missing.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

BUILD_DIR="${COVERAGE_BUILD_DIR:-$ROOT/build-coverage}"
JSON="${COVERAGE_JSON:-$BUILD_DIR/coverage.json}"
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

MENDORA_PACKAGES+=(gcovr)
install_packages

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Unoptimised, so that every line counts where it is written; the counters
# updated atomically, as the save's workers run the same lines at once (plain
# updates lose counts and can leave a count gcovr refuses).
configure_and_build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="--coverage -O0 -fprofile-update=atomic" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DMENDORA_GUI=ON -DMENDORA_SANITIZE=OFF -DMENDORA_TESTS=ON \
  "${launcher[@]}" "$@"

# Counters from an earlier run would add to this one's.
find "$BUILD_DIR" -name '*.gcda' -delete
echo "== tests"
status=0
ctest --test-dir "$BUILD_DIR" --parallel "$(build_jobs)" || status=$?

product=()
for folder in engine sql ui browser export cli shell widgets; do
  product+=(--filter "$ROOT/$folder/")
done
echo "== line coverage of the product code"
gcovr --root "$ROOT" --object-directory "$BUILD_DIR" "${product[@]}" \
  --json "$JSON" --txt - --sort-percentage
echo "== line-by-line report: $JSON"

if [[ -n "${COVERAGE_BASELINE:-}" ]]; then
  echo "== product lines covered by $COVERAGE_BASELINE and not now"
  rev=()
  [[ -n "${COVERAGE_BASELINE_REV:-}" ]] && rev=(--rev "$COVERAGE_BASELINE_REV")
  python3 "$ROOT/scripts/coverage_compare.py" "$COVERAGE_BASELINE" "$JSON" --root "$ROOT" \
    "${rev[@]}" || status=1
fi
exit "$status"
