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
  python3 - "$COVERAGE_BASELINE" "$JSON" <<'EOF' || status=1
import json, sys

def covered(path):
    lines = set()
    for f in json.load(open(path))["files"]:
        for line in f["lines"]:
            if line["count"] > 0 and not line.get("gcovr/noncode"):
                lines.add((f["file"], line["line_number"]))
    return lines

before, after = covered(sys.argv[1]), covered(sys.argv[2])
lost = sorted(before - after)
for name, number in lost:
    print(f"{name}:{number}")
print(f"{len(before)} lines covered before, {len(after)} now, {len(lost)} lost, "
      f"{len(after - before)} gained")
sys.exit(1 if lost else 0)
EOF
fi
exit "$status"
