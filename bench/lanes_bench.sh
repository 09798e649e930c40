#!/usr/bin/env bash
# The multi-file lane engines against the peers and against Quillora's own
# scalar engine, side by side in one run, best of 3, all in page cache, with
# the default number of threads. Every ratio is "how many times as fast".
#   20,000-file tree, make and verify: vs hashdeep (goal 3) and vs
#     --engine scalar (goal 2)
#   16 files of 256 MiB, make: vs hashdeep (goal 2.5)
#   the kernels in memory, one core: GB/s of each engine vs the scalar engine
#     (goal 3 for avx512)
#   one 1 GiB file, hash: vs md5sum (goal 1.15)
# Prints the load average first: other work on the machine skews the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build >/dev/null
command -v hashdeep >/dev/null || { echo "bench needs hashdeep (apt-get install hashdeep)" >&2; exit 2; }
. bench/common.sh
cli="$(realpath build/bin/quillora-cli)"
bench_tree
big="$work/big16"
mkdir -p "$big"
# Seeded bytes: the same files on every run.
seeded() { { openssl enc -aes-128-ctr -pass "pass:quillora$2" -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } | head -c "$1"; }
if [ ! -f "$big.complete" ]; then
  for i in $(seq -w 1 16); do seeded $((256 << 20)) "$i" >"$big/part$i.bin"; done
  echo "16 files of 256 MiB" >"$big.complete"
fi
one="$work/one-1g.bin"
[ -f "$one.complete" ] || { seeded $((1 << 30)) "" >"$one"; echo "1 GiB" >"$one.complete"; }
echo "$(nproc) cores; engines: $("$cli" --engine avx512 --version >/dev/null 2>&1 && echo "avx512 ")$("$cli" --engine avx2 --version >/dev/null 2>&1 && echo "avx2 ")scalar"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

cat $(find "$tree" -type f) "$big"/* "$one" >/dev/null
"$cli" make "$tree" >/dev/null
(cd "$tree" && hashdeep -r -c md5 . >"$work/hashdeep.txt")

q=$(best_of_3 "$cli" make "$tree")
s=$(best_of_3 "$cli" --engine scalar make "$tree")
h=$(best_of_3 sh -c "cd '$tree' && hashdeep -r -c md5 .")
ratio "make, tree" "$q" "hashdeep -r -c md5" "$h" 3
ratio "make, tree" "$q" "quillora-cli --engine scalar" "$s" 2

q=$(best_of_3 "$cli" verify "$tree/CheckSum.md5")
s=$(best_of_3 "$cli" --engine scalar verify "$tree/CheckSum.md5")
h=$(best_of_3 sh -c "cd '$tree' && hashdeep -c md5 -a -k '$work/hashdeep.txt' -r .")
ratio "verify, tree" "$q" "hashdeep -c md5 -a -k" "$h" 3
ratio "verify, tree" "$q" "quillora-cli --engine scalar" "$s" 2

q=$(best_of_3 "$cli" make "$big")
h=$(best_of_3 sh -c "cd '$big' && hashdeep -r -c md5 .")
ratio "make, 16 x 256 MiB" "$q" "hashdeep -r -c md5" "$h" 2.5

build/bench/lanes_bench | awk '
  $1 == "scalar" { scalar = $2 }
  { rate[NR] = $2; name[NR] = $1 }
  END { for (i = 1; i <= NR; ++i) printf "kernel %-8s %6.2f GB/s per core   %.2f x the scalar engine%s\n",
          name[i], rate[i] / 1e9, rate[i] / scalar, (name[i] == "avx512" ? (rate[i] / scalar >= 3 ? " (goal 3.00) met" : " (goal 3.00) SHORT") : "") }'

q=$(best_of_3 "$cli" hash "$one")
m=$(best_of_3 md5sum "$one")
ratio "hash, 1 GiB file" "$q" "md5sum" "$m" 1.15
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
