#!/usr/bin/env bash
# mendora-cli against the sqlite3 shell on the same rows, side by side in one
# run, the two taking turns so that a busy machine weighs on both alike:
#
#   rows    mendora-cli rows FILE TABLE --format csv      sqlite3 -csv DB 'select * from "TABLE"'
#   export  mendora-cli export FILE DIR --only TABLE      sqlite3 DB .dump
#   all     mendora-cli export FILE DIR (every table, the pool's workers; with --all-tables)
#
#   bench/sqlite3_side_by_side.sh BUILD_DIR FILE.mdf TABLE SCRATCH [REPEATS] [--all-tables]
#
# DB is the table saved by `mendora-cli export --format sqlite --only TABLE`
# into SCRATCH once, first. Every output goes to SCRATCH (the scripts and the
# dump) or to /dev/null (the rows), with the data file and the database in the
# page cache after an unmeasured first turn. Prints each turn's wall time and
# the medians, rows per second and the ratio sqlite3 / mendora-cli (above 1:
# mendora-cli is faster), then the load average.
#
# A table of 1.2 M rows: `large_mdf_generator OUT.mdf --size-mib 120 --tables 1`
# (its table is dbo.T0000). The 400-table file: `--size-mib 512 --mixed`.
set -euo pipefail

if (($# < 4)); then
  echo "usage: $0 BUILD_DIR FILE.mdf TABLE SCRATCH [REPEATS] [--all-tables]" >&2
  exit 2
fi
build=$1 mdf=$2 table=$3 scratch=$4 repeats=${5:-5} all=${6:-}
cli="$build/mendora-cli"
mkdir -p "$scratch"

# The table as the SQLite save names it: without its schema.
plain=${table#*.}
db=$("$cli" export "$mdf" "$scratch" --format sqlite --only "$plain" 2>/dev/null)
rows=$(sqlite3 "$db" "select count(*) from \"$plain\"")
echo "file $mdf, table $table: $rows rows; database $db"

now() { date +%s.%N; }
# Runs "$@" and prints its wall time in seconds.
timed() {
  local start end
  start=$(now)
  "$@"
  end=$(now)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ours_rows() { "$cli" rows "$mdf" "$table" --format csv >/dev/null 2>&1; }
shell_rows() { sqlite3 -csv "$db" "select * from \"$plain\"" >/dev/null; }
ours_export() {
  rm -rf "$scratch/scripts" && mkdir "$scratch/scripts"
  "$cli" export "$mdf" "$scratch/scripts" --only "$plain" >/dev/null 2>&1
}
shell_export() { sqlite3 "$db" .dump >"$scratch/dump.sql"; }
ours_all() {
  rm -rf "$scratch/all" && mkdir "$scratch/all"
  "$cli" export "$mdf" "$scratch/all" >/dev/null 2>&1
}

# One comparison: an unmeasured turn each, then REPEATS alternating turns.
compare() {
  local name=$1 ours=$2 shell=$3 a=() b=() i
  $ours
  $shell
  for ((i = 0; i < repeats; ++i)); do
    a+=("$(timed $ours)")
    b+=("$(timed $shell)")
  done
  local ma mb
  ma=$(printf '%s\n' "${a[@]}" | median)
  mb=$(printf '%s\n' "${b[@]}" | median)
  echo "$name  mendora-cli: ${a[*]}"
  echo "$name  sqlite3:     ${b[*]}"
  printf '%s  median %.3f s (%.2f M rows/s) against %.3f s (%.2f M rows/s): %.2fx\n' "$name" \
    "$ma" "$(echo "$rows / $ma / 1000000" | bc -l)" "$mb" "$(echo "$rows / $mb / 1000000" | bc -l)" \
    "$(echo "$mb / $ma" | bc -l)"
}

compare rows ours_rows shell_rows
compare export ours_export shell_export
if [[ "$all" == --all-tables ]]; then
  total=$("$cli" info "$mdf" 2>/dev/null | sed -n 's/^rows: *//p' | head -n 1)
  ours_all
  t=()
  for ((i = 0; i < repeats; ++i)); do t+=("$(timed ours_all)"); done
  m=$(printf '%s\n' "${t[@]}" | median)
  echo "all tables  mendora-cli export: ${t[*]}"
  echo "all tables  median $m s${total:+, $total rows}"
fi
uptime
