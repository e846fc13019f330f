#!/usr/bin/env bash
# The bash completion of mendora-cli, driven as bash drives it: COMP_WORDS and
# COMP_CWORD set, the completion function called, COMPREPLY compared.
#   CompletionTest.sh MENDORA_CLI COMPLETION_SCRIPT DATA_FILE
set -uo pipefail
cli="$1"
# shellcheck disable=SC1090
source "$2"
data="$3"

failures=0
# complete WORD... : COMPREPLY for the last word, sorted, one per line.
complete_line() {
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _mendora_cli
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
}
expect() {
  local what="$1" want="$2" got="$3"
  if [[ "$got" != "$want" ]]; then
    echo "FAILED: $what"
    echo "  want: $(tr '\n' ' ' <<<"$want")"
    echo "  got:  $(tr '\n' ' ' <<<"$got")"
    failures=$((failures + 1))
  fi
}

expect "every command" "$(printf '%s\n' ddl export info rows tables tree)" "$(complete_line '')"
expect "a command's start" "rows" "$(complete_line 'ro')"
expect "the program's options" "$(printf '%s\n' --help --version)" "$(complete_line '--')"
expect "a command's options" "--format" "$(complete_line rows "$data" t '--f')"
expect "an option's values" "$(printf '%s\n' csv json tsv)" \
  "$(complete_line rows "$data" t --format '')"
expect "no value to offer" "" "$(complete_line rows "$data" t --limit '')"

tables="$("$cli" tables "$data" | while IFS= read -r t; do printf '%q\n' "$t"; done | sort)"
[[ -n "$tables" ]] || { echo "FAILED: $data has no tables"; failures=$((failures + 1)); }
expect "the tables of the file" "$tables" "$(complete_line rows "$data" '')"
expect "the tables after an option" "$tables" "$(complete_line rows --limit 3 "$data" '')"
expect "the tables for --only" "$tables" "$(complete_line export "$data" /tmp --only '')"
expect "no tables of a missing file" "" "$(complete_line rows /nonexistent.mdf '')"

folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/sub"
touch "$folder/a.mdf" "$folder/B.MDF" "$folder/c.txt"
expect "data files and folders" "$(printf '%s\n' "$folder/B.MDF" "$folder/a.mdf" "$folder/sub")" \
  "$(complete_line info "$folder/")"
expect "folders for the destination" "$folder/sub" "$(complete_line export "$data" "$folder/")"

if ((failures)); then
  echo "$failures completion checks failed"
  exit 1
fi
echo "completion: all checks passed"
