#!/usr/bin/env bash
# The completion and the manual page name the commands, options, engines and digests that quillora-cli's tables
# give its help, and no others; the completion offers as check files every name and extension the digest table
# gives them (PATTERNS: "*.sha256 SHA256SUMS ...", as packaging/check_file_types.cmake reads them), and nothing else.
# Usage: options_test.sh QUILLORA_CLI COMPLETION MANUAL [PATTERNS]
set -uo pipefail
cli=$1 completion=$(readlink -f "$2") manual=$3 failures=0
same() {  # WHAT WANT GOT
  [ "$2" = "$3" ] || { printf '%s:\n  tables: %s\n  %s\n' "$1" "$2" "$3" >&2; failures=$((failures + 1)); }
}
words() { tr ' ' '\n' | sed '/^$/d' | LC_ALL=C sort -u | tr '\n' ' '; }
# An option's entry in a help text begins "  -j, --jobs N" or "      --new"; VALUE: only those taking one.
help_options() { "$cli" "$@" --help | sed -n -E "s/^(  (-[A-Za-z]), |      )(--[a-z-]+)${value:-}.*/\2 \3/p" | words; }
long() { tr ' ' '\n' | grep -- -- | words; }
completed() {  # WORDS...: what the completion offers as the next word
  LC_ALL=C bash -c 'source "$0"; COMP_WORDS=(quillora-cli "$@"); COMP_CWORD=$#; _quillora_cli
    printf "%s\n" "${COMPREPLY[@]}"' "$completion" "$@" | words
}
# The tags of OPTIONS' paragraphs before its first sub-section, and in those whose title names COMMAND.
manual_options() {
  awk -v command="$1" '/^\.S[HS]/ { ours = $0 == ".SH OPTIONS" || (mine && command != "" && $0 ~ "[\" ]" command " ") }
    /^\.SH/ { mine = $0 == ".SH OPTIONS" } tag && ours { print } { tag = $0 == ".TP" }' "$manual" |
    grep -oE '\\-(\\-[a-z]+(\\-[a-z]+)*|[A-Za-z]\b)' | tr -d '\\' | words
}
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p' | words)
same "the completion's commands" "$commands" "$(completed '')"
same "the completion's options" "$(help_options | long)" "$(completed --)"
for command in $commands; do
  same "the manual's synopsis of $command" "$("$cli" "$command" --help | sed -n 's/^usage: //p')" "$(grep -A1 -x \
    '.B quillora-cli' "$manual" | sed 's/\\f[BIR]//g; s/\\-/-/g' | sed -n "s/^$command /quillora-cli &/p")"
  same "the manual's $command options" "$(help_options "$command")" "$(manual_options "$command")"
  same "the completion's $command options" "$(help_options "$command" | long)" "$(completed "$command" --)"
  for option in $(value=' [A-Z]' help_options "$command"); do  # the word after it is its value, no command
    same "the completion after $option hash verify" "$(completed verify --)" "$(completed "$option" hash verify --)"
  done
done
engines=$("$cli" --engine '?' 2>&1 | sed -n 's/.*(\(.*\))$/\1/; s/,\| or / /gp' | words)
same "the completion's engines" "$engines" "$(completed --engine '')"
same "the manual's engines" "$engines" \
  "$(sed -n '/^\.BI \\-\\-engine/,/^\.TP/s/^\.B \([a-z0-9-]*\)$/\1/p' "$manual" | words)"
# -a's names, from the one list in the digest table; in the manual each stands first on a .B or .BR line of -a's
# paragraph, and nothing else does.
digests=$("$cli" hash -a '?' 2>&1 | sed -n 's/.*(\(.*\))$/\1/; s/,\| or / /gp' | words)
same "the completion's digests" "$digests" "$(completed -a '')"
same "the manual's digests" "$digests" \
  "$(sed -n '/^\.BR \\-a ", "/,/^\.TP/s/^\.BR\{0,1\} \([a-z][a-z0-9-]*\)\( .*\)\{0,1\}$/\1/p' "$manual" | words)"
if [ -n "${4:-}" ]; then
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
  want=""
  set -f
  for pattern in $4; do  # each in its letter cases, and renamed or signed
    case $pattern in
      '*.'*) extension=${pattern#\*.} && names="x.$extension X.${extension^^} x.$extension.asc" ;;
      *) names="$pattern ${pattern,,} $pattern.txt" ;;
    esac
    for name in $names; do
      touch "$folder/$name" && want+=" $name"
    done
  done
  set +f
  touch "$folder/notes.txt" "$folder/x.sha256.zip" "$folder/SHA256SUMS.gpg" "$folder/MD5SUMS-old"
  want=$(printf '%s\n' $want | words)
  for command in verify check; do
    same "the completion's check files for $command" "$want" "$(cd "$folder" && completed "$command" '')"
  done
fi
[ "$failures" -eq 0 ] && echo "options_test: OK"
