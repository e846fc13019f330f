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
# the medians of wall and processor time, rows per second and the ratios
# sqlite3 / mendora-cli (above 1: mendora-cli is faster), then the load
# average. On a busy machine the processor time says more than the wall time.
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

# Runs "$@" (a function of this script, in a child shell) and prints its wall
# time and its processor time (user + system, children included) in seconds.
timed() {
  local t
  t=$({ /usr/bin/time -f "%e %U %S" bash -c "$(declare -f "$1"); $(declare -p cli mdf table plain db scratch); $1" >/dev/null; } 2>&1 | tail -n 1)
  read -r wall user sys <<<"$t"
  echo "$wall $(echo "$user + $sys" | bc -l)"
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

# One comparison: an unmeasured turn each, then REPEATS alternating turns;
# the medians of wall time and of processor time.
compare() {
  local name=$1 ours=$2 shell=$3 a=() b=() i
  $ours
  $shell
  for ((i = 0; i < repeats; ++i)); do
    a+=("$(timed $ours)")
    b+=("$(timed $shell)")
  done
  local wa wb ca cb
  wa=$(printf '%s\n' "${a[@]}" | cut -d' ' -f1 | median)
  wb=$(printf '%s\n' "${b[@]}" | cut -d' ' -f1 | median)
  ca=$(printf '%s\n' "${a[@]}" | cut -d' ' -f2 | median)
  cb=$(printf '%s\n' "${b[@]}" | cut -d' ' -f2 | median)
  echo "$name  mendora-cli (wall cpu): $(printf '%s, ' "${a[@]}")"
  echo "$name  sqlite3     (wall cpu): $(printf '%s, ' "${b[@]}")"
  printf '%s  wall median %.3f s (%.2f M rows/s) against %.3f s (%.2f M rows/s): %.2fx\n' "$name" \
    "$wa" "$(echo "$rows / $wa / 1000000" | bc -l)" "$wb" "$(echo "$rows / $wb / 1000000" | bc -l)" \
    "$(echo "$wb / $wa" | bc -l)"
  printf '%s  processor median %.3f s against %.3f s: %.2fx\n' "$name" "$ca" "$cb" \
    "$(echo "$cb / $ca" | bc -l)"
}

compare rows ours_rows shell_rows
compare export ours_export shell_export
if [[ "$all" == --all-tables ]]; then
  ours_all
  t=()
  for ((i = 0; i < repeats; ++i)); do t+=("$(timed ours_all)"); done
  echo "all tables  mendora-cli export (wall cpu): $(printf '%s, ' "${t[@]}")"
  echo "all tables  wall median $(printf '%s\n' "${t[@]}" | cut -d' ' -f1 | median) s"
fi
uptime
