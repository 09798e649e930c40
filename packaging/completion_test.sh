#!/usr/bin/env bash
# Runs quillora-cli's bash completion on typed command lines in a folder of
# awkward names and checks the candidates: names with blanks come back whole
# however the word was quoted, and after "--" every word is a path.
# Usage: completion_test.sh COMPLETION_FILE
set -uo pipefail
completion="$(readlink -f "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir "my dir" sub
touch -- "my file.txt" "my sums.md5" "-n.md5" plain.txt

failures=0
# candidates WORDS...: the candidates for the last word, one a line, sorted.
candidates() {
  LC_ALL=C bash -c 'source "$0"; COMP_WORDS=(quillora-cli "$@"); COMP_CWORD=$#; _quillora_cli
                    printf "%s\n" "${COMPREPLY[@]}"' "$completion" "$@" | LC_ALL=C sort
}
# expect "EXPECTED LINES" WORDS...
expect() {
  local want="$1" got
  shift
  got="$(candidates "$@")"
  if [ "$got" != "$want" ]; then
    printf 'completion_test: for %s\n  want: %s\n  got:  %s\n' "$*" "${want//$'\n'/ | }" "${got//$'\n'/ | }" >&2
    failures=$((failures + 1))
  fi
}

expect $'my dir\nmy file.txt\nmy sums.md5' hash my
expect 'my file.txt' hash 'my\ f'
expect 'my file.txt' hash "'my f"
expect 'my file.txt' hash '"my f'
expect 'my dir' make my
expect $'my dir\nmy sums.md5' verify my
expect $'my dir\nmy sums.md5' --jobs 2 verify --quiet my
# After "--": files named like options, and no option values.
expect '-n.md5' verify -- -
expect '-n.md5' hash -- -n
expect $'my dir\nmy file.txt\nmy sums.md5' hash -- -j my
expect $'--new\n--no-progress' verify --n
expect $'hash\nmake\nverify' ''
expect $'1\n2\n4\n8' -j ''
expect 'scalar' hash --engine s
expect $'sub' make -- s

if [ "$failures" -ne 0 ]; then
  echo "completion_test: $failures failed" >&2
  exit 1
fi
echo "completion_test: OK"
