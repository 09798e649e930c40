#!/usr/bin/env bash
# The BLAKE2b engine (blake2b/) on one 1 GiB file in page cache, one thread,
# reading 256 KiB at a time (bench/blake2b_sum.cpp), the commands alternating
# (A B A B ...); each ratio is B/A, how many times as fast A is:
#   the portable kernel / the AVX2 kernel (the AVX2 one is chosen where the
#     CPU has it only while this stays above 1)
#   libgcrypt's BLAKE2b-512 (bench/gcrypt_sum.c, its own assembly) / ours
#     as chosen (goal 0.9: no more than 10% behind)
#   b2sum / ours as chosen (goal 1)
#   libgcrypt / quillora-cli hash -a blake2b, the engine behind the whole
#     program (goal 0.9)
# Each by wall time, then by CPU time (user and system: steadier on a busy
# machine; with "cpu" a ratio is how many times A's CPU time B's is). Each
# side's digest is checked against b2sum's before it is timed.
# Usage: bench/blake2b_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
scripts/build blake2b_sum quillora-cli >/dev/null
for tool in b2sum cc; do
  command -v "$tool" >/dev/null || { echo "bench needs $tool" >&2; exit 2; }
done
[ -f /usr/include/gcrypt.h ] || { echo "bench needs libgcrypt20-dev" >&2; exit 2; }
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}"
mkdir -p "$work"
cc -O2 bench/gcrypt_sum.c -lgcrypt -o "$work/gcrypt_sum"
gcrypt_sum="$work/gcrypt_sum"
ours=build/bench/blake2b_sum
cli=build/bin/quillora-cli

file=${BENCH_FILE:-/tmp/quillora-bench-1g.bin}
seeded_file "$file" $((1 << 30))
expected=$(b2sum "$file" | cut -d' ' -f1)
check() {  # check LABEL COMMAND: the command's first word is b2sum's digest
  [ "$(sh -c "$2" | head -1 | cut -d' ' -f1)" = "$expected" ] || { echo "$1 gives another digest" >&2; exit 1; }
}
kernels=(portable)
"$ours" avx2 /dev/null >/dev/null 2>&1 && kernels+=(avx2)
for kernel in "${kernels[@]}" chosen; do check "$kernel" "$ours $kernel '$file'"; done
check libgcrypt "$gcrypt_sum blake2b '$file'"
check quillora-cli "$cli hash -a blake2b '$file'"

warm "$file"
machine_line "before"
for what in wall cpu; do
  [ "${#kernels[@]}" -gt 1 ] &&
    compare "1 GiB: portable kernel / AVX2 kernel" 1 "$ours avx2 '$file'" "$ours portable '$file'" $what
  compare "1 GiB: libgcrypt BLAKE2b-512 / ours" 0.9 "$ours chosen '$file'" "$gcrypt_sum blake2b '$file'" $what
  compare "1 GiB: b2sum / ours" 1 "$ours chosen '$file'" "b2sum '$file'" $what
  compare "1 GiB: libgcrypt / hash -a blake2b" 0.9 "$cli hash -a blake2b '$file'" "$gcrypt_sum blake2b '$file'" $what
done
machine_line "after"
