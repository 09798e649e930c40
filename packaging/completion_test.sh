#!/usr/bin/env bash
# quillora-cli's bash completion in a folder of awkward names: a name with
# blanks comes back whole however the word is quoted, and after "--" every
# word is a path. Usage: completion_test.sh COMPLETION_FILE
set -uo pipefail
completion="$(readlink -f "$1")" work="$(mktemp -d)" failures=0
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir "my dir" && touch -- "my file.txt" "my sums.md5" "-n.md5" || exit 1
expect() {  # "CANDIDATES, ONE A LINE" WORDS...
  local want="$1" got
  shift
  got="$(LC_ALL=C bash -c 'source "$0"; COMP_WORDS=(quillora-cli "$@"); COMP_CWORD=$#; _quillora_cli
    printf "%s\n" "${COMPREPLY[@]}"' "$completion" "$@" | LC_ALL=C sort)"
  [ "$got" = "$want" ] || { echo "for [$*] want [$want] got [$got]" >&2; failures=$((failures + 1)); }
}
expect $'my dir\nmy file.txt\nmy sums.md5' hash my
expect 'my file.txt' hash 'my\ f'
expect 'my file.txt' hash "'my f"
expect 'my file.txt' hash '"my f'
expect $'my dir\nmy sums.md5' --jobs 2 verify --quiet my
expect 'my dir' verify --base-folder my
expect '-n.md5' verify -- -
expect $'my dir\nmy file.txt\nmy sums.md5' hash -- -j my
[ "$failures" -eq 0 ] && echo "completion_test: OK"
