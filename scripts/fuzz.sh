#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, build-fuzz/) and runs one or all of them.
#   bash scripts/fuzz.sh TARGET SECONDS   one target for as long as you like
#   bash scripts/fuzz.sh all SECONDS      each target in turn (what CI runs)
# Targets: fuzz_page (page and record decoders, system-table rows, IAM/PFS/boot
# pages), fuzz_value (typed values, their text and SQL literal), fuzz_xml
# (binary XML token streams), fuzz_file (a whole small data file: version
# test, analysis, object tree, every row and large value).
# The seed corpora are made at run time from the real data files (pages of
# them, and their first pages as small files), plus any cases the fuzzer found
# and kept in build-fuzz/corpus/. A crash, leak, hang (a case over 10 s) or
# sanitizer report fails the run; the case is left in build-fuzz/.
#   FUZZ_BUILD_DIR   build folder (default: build-fuzz); one configured with
#                    MENDORA_FUZZ=ON already is used as it is
#   MENDORA_MDF_DIR  real data files (default: ../shared/mdf beside the clone)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/common.sh
source "$ROOT/scripts/common.sh"

TARGET="${1:-all}"
SECONDS_EACH="${2:-30}"
FUZZ_BUILD_DIR="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
MDF_DIR="${MENDORA_MDF_DIR:-$ROOT/../shared/mdf}"

install_packages
fuzz_targets=(fuzz_page fuzz_value fuzz_xml fuzz_file)
if grep -qs '^MENDORA_FUZZ:BOOL=ON' "$FUZZ_BUILD_DIR/CMakeCache.txt"; then
  # A build already instrumented for fuzzing (scripts/test.sh's sanitizer
  # build is): only the targets are built, with the build's own settings.
  echo "== build the fuzz targets in $FUZZ_BUILD_DIR"
  cmake --build "$FUZZ_BUILD_DIR" --parallel "$(build_jobs)" --target "${fuzz_targets[@]}"
else
  configure_and_build "$FUZZ_BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++ -DMENDORA_FUZZ=ON \
    -DMENDORA_GUI=OFF -DMENDORA_TESTS=OFF -DMENDORA_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi

# Seeds: every 7th page of each supported real file for the page decoders, the
# first 48 pages of each as a small file for the whole-file target, and a
# few stored values.
seeds="$FUZZ_BUILD_DIR/seeds"
if [[ ! -d "$seeds" ]]; then
  mkdir -p "$seeds/fuzz_page" "$seeds/fuzz_file" "$seeds/fuzz_value" "$seeds/fuzz_xml"
  if [[ -d "$MDF_DIR" ]]; then
    for f in "$MDF_DIR"/v*.mdf; do
      name="$(basename "$f" .mdf)"
      pages=$(($(stat -c %s "$f") / 8192))
      for ((p = 0; p < pages; p += 7)); do
        dd if="$f" of="$seeds/fuzz_page/$name-$p" bs=8192 skip="$p" count=1 status=none
      done
      dd if="$f" of="$seeds/fuzz_file/$name" bs=8192 count=48 status=none
    done
  else
    echo "note: no real data files in $MDF_DIR; the fuzzers start from nothing" >&2
  fi
  printf '\x38\x00\x2a\x00\x00\x00' >"$seeds/fuzz_value/int"
  printf '\x6a\x02\x01\x39\x30\x00\x00' >"$seeds/fuzz_value/decimal"
  printf '\x2b\x07\xc0\xe1\xe4\x00\x00\xa0\x42\x0b\x98\xfe' >"$seeds/fuzz_value/datetimeoffset"
  printf '\x62\x00\xe7\x01\x09\x04\xd0\x00\x34\x08\x00h\x00i\x00' >"$seeds/fuzz_value/variant"
  # <a x="1"><!--c-->t</a> after the header
  printf '\xf0\x01a\x00\xf0\x01x\x00\xef\x00\x00\x01\xef\x00\x00\x02\xf8\x01\xf6\x02\x11\x011\x00\xf5\xf3\x01c\x00\x11\x01t\x00\xf7' >"$seeds/fuzz_xml/element"
fi

run_one() {
  local target="$1" max_len=8192
  [[ "$target" == fuzz_file ]] && max_len=$((48 * 8192))
  local corpus="$FUZZ_BUILD_DIR/corpus/$target"
  mkdir -p "$corpus" "$seeds/$target"
  echo "== fuzz $target for ${SECONDS_EACH}s"
  (cd "$FUZZ_BUILD_DIR" && "./fuzz/$target" "$corpus" "$seeds/$target" \
    -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 </dev/null)
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
if [[ "$TARGET" == all ]]; then
  # As many targets at once as there are cores; each one's report is printed
  # whole when it ends, and any that fails fails the run.
  targets=("${fuzz_targets[@]}")
  jobs="$(build_jobs)"
  status=0
  for ((i = 0; i < ${#targets[@]}; i += jobs)); do
    pids=()
    for t in "${targets[@]:i:jobs}"; do
      run_one "$t" >"$FUZZ_BUILD_DIR/$t.log" 2>&1 &
      pids+=("$!:$t")
    done
    for p in "${pids[@]}"; do
      if ! wait "${p%%:*}"; then
        status=1
        echo "== fuzz ${p#*:} FAILED" >&2
      fi
      cat "$FUZZ_BUILD_DIR/${p#*:}.log"
    done
  done
  ((status == 0)) || exit 1
else
  run_one "$TARGET"
fi
echo "== fuzzing found nothing"
