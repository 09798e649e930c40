#!/usr/bin/env bash
# The digests beside MD5 against their peers, each figure from one run with
# the compared commands alternating (A B A B ...): medians, and the spread
# of the pairs' ratios B/A (how many times as fast quillora-cli, A, is).
#   one 1 GiB file, cached:
#     hash -a sha256 vs openssl dgst -sha256 (goal 0.95)
#     hash -a sha1 and -a sha512, and an SFV's CRC-32, vs libgcrypt's own
#       speed (bench/gcrypt_sum.c, one thread; goal 0.95)
#     hash -a blake2b vs b2sum (goal 1), and vs libgcrypt's BLAKE2b-512
#       (goal 0.9; bench/blake2b_bench.sh times the engine alone)
#   the 20,000-file tree (1 KiB to 1 MiB) and the long-tailed tree, cached:
#     verify of a SHA256SUMS vs sha256sum -c (goal 5), and vs openssl dgst
#       -sha256 over the same files in one process (goal 1.8)
#     hash -a sha1 and -a sha512, and verify of an SFV, vs libgcrypt's own
#       speed over the same files in one process (goal 1.8)
#   a check file of untagged 64-digit SHA3-256 records named "sums" (its
#     name tells no digest, so each line may be any of six): the bytes the
#     verify reads over the bytes of its files (goal: 1, one read a file),
#     and its time against a SHA3-256 verify told the digest (-a sha3 -l 256)
# Usage: bench/digests_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
[ $# -gt 0 ] || scripts/build >/dev/null
cli="$(realpath "${1:-build/bin/quillora-cli}")"
for tool in openssl b2sum sha256sum rhash strace; do
  command -v "$tool" >/dev/null || { echo "bench needs $tool" >&2; exit 2; }
done
[ -f /usr/include/gcrypt.h ] || { echo "bench needs libgcrypt20-dev" >&2; exit 2; }
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}"
mkdir -p "$work"
cc -O2 bench/gcrypt_sum.c -lgcrypt -o "$work/gcrypt_sum"
gcrypt_sum="$work/gcrypt_sum"

file=${BENCH_FILE:-/tmp/quillora-bench-1g.bin}
seeded_file "$file" $((1 << 30))
bench_tree
longtail="$work/longtail"
python3 bench/real_tree.py "$longtail" longtail
echo "long-tailed tree: $(cat "$longtail.complete")"

# Each tree's files, by names relative to it (NUL-separated), and the check
# files the peers write of them, kept beside the tree so that no other
# bench finds them in it: verify reads them with --base-folder.
check_files() {
  local root="$1" name="$2"
  [ -s "$work/$name.files" ] && [ "$work/$name.files" -nt "$root.complete" ] && return
  echo "Writing $name's check files" >&2
  (cd "$root" && find . -type f ! -name CheckSum.md5 ! -name MD5SUMS -print0 | sort -z) >"$work/$name.files"
  (cd "$root" && xargs -0 sha256sum <"$work/$name.files") >"$work/$name.SHA256SUMS"
  (cd "$root" && xargs -0 rhash --crc32 --sfv <"$work/$name.files" | grep -v '^;') >"$work/$name.sfv"
}
# One process over every file of a tree: the names as arguments, in one go.
one_process() { echo "cd '$1' && xargs -0 -x -s 2000000 $2 <'$work/$3.files'"; }
for name in tree longtail; do
  root=$tree
  [ $name = tree ] || root=$longtail
  check_files "$root" $name
  [ "$(xargs -0 -x -s 2000000 echo <"$work/$name.files" | wc -l)" = 1 ] ||
    { echo "$name's names do not fit one command line" >&2; exit 2; }
done
# Each verify passes before it is timed.
"$cli" verify --status --base-folder "$tree" "$work/tree.SHA256SUMS"
"$cli" verify --status --base-folder "$tree" "$work/tree.sfv"

warm "$file" "$tree" "$longtail"
machine_line "before"
echo "-- one 1 GiB file, cached"
compare "openssl dgst -sha256 / hash -a sha256" 0.95 "'$cli' hash -a sha256 '$file'" "openssl dgst -sha256 '$file'"
compare "libgcrypt SHA-1 / hash -a sha1" 0.95 "'$cli' hash -a sha1 '$file'" "'$gcrypt_sum' sha1 '$file'"
compare "libgcrypt SHA-512 / hash -a sha512" 0.95 "'$cli' hash -a sha512 '$file'" "'$gcrypt_sum' sha512 '$file'"
(cd "$(dirname "$file")" && rhash --crc32 --sfv "$(basename "$file")" | grep -v '^;') >"$work/one.sfv"
compare "libgcrypt CRC-32 / verify of an .sfv" 0.95 "'$cli' verify --base-folder '$(dirname "$file")' '$work/one.sfv'" \
  "'$gcrypt_sum' crc32 '$file'"
compare "b2sum / hash -a blake2b" 1 "'$cli' hash -a blake2b '$file'" "b2sum '$file'"
compare "libgcrypt BLAKE2b-512 / hash -a blake2b" 0.9 "'$cli' hash -a blake2b '$file'" \
  "'$gcrypt_sum' blake2b '$file'"

for name in tree longtail; do
  root=$tree
  [ $name = tree ] || root=$longtail
  echo "-- $name, cached"
  verify="'$cli' verify --base-folder '$root'"
  compare "$name: sha256sum -c / verify" 5 "$verify '$work/$name.SHA256SUMS'" \
    "cd '$root' && sha256sum -c --quiet '$work/$name.SHA256SUMS'"
  compare "$name: openssl dgst -sha256 / verify" 1.8 "$verify '$work/$name.SHA256SUMS'" \
    "$(one_process "$root" "openssl dgst -sha256" $name)"
  for digest in sha1 sha512; do
    compare "$name: libgcrypt $digest / hash -a $digest" 1.8 "'$cli' hash -a $digest '$root'" \
      "$(one_process "$root" "'$gcrypt_sum' $digest" $name)"
  done
  compare "$name: libgcrypt CRC-32 / verify of an .sfv" 1.8 "$verify '$work/$name.sfv'" \
    "$(one_process "$root" "'$gcrypt_sum' crc32" $name)"
done

echo "-- untagged 64-digit records, SHA3-256, in a file named sums"
sums="$work/sums"
[ -s "$sums" ] || (cd "$tree" && "$cli" hash -a sha3 -l 256 .) >"$sums"
"$cli" verify --status --base-folder "$tree" "$sums"
strace -f -qq -e trace=read -e signal=none -o "$work/sums.trace" "$cli" verify --status --base-folder "$tree" "$sums"
awk -v files="$(cut -d' ' -f3 <"$tree.complete")" '
  { if (match($0, /= [0-9]+$/)) read += substr($0, RSTART + 2) }
  END { printf "bytes read %.0f over the files'\'' %.0f bytes: %.3f (goal 1, one read a file)\n", read, files, read / files }' \
  "$work/sums.trace"
compare "sums told -a sha3 -l 256 / sums as found" - "'$cli' verify --base-folder '$tree' '$sums'" \
  "'$cli' verify -a sha3 -l 256 --base-folder '$tree' '$sums'"
machine_line "after"
