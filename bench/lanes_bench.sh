#!/usr/bin/env bash
# The multi-file lane engines against the peers and against Quillora's own
# scalar engine, all in page cache, with the default number of threads; the
# compared commands alternate (A B A B ...). Every ratio is B/A: how many
# times as fast Quillora (A) is.
#   20,000-file tree, make and verify: vs hashdeep (goal 3) and vs
#     --engine scalar (goal 2)
#   16 files of 256 MiB, make: vs hashdeep (goal 2.5)
#   the kernels in memory, one core: GB/s of each engine vs the scalar engine
#     (goal 3 for avx512)
#   one 1 GiB file, hash: vs md5sum (goal 1.15)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build >/dev/null
cmake --build build --target lanes_bench >/dev/null
command -v hashdeep >/dev/null || { echo "bench needs hashdeep (apt-get install hashdeep)" >&2; exit 2; }
. bench/common.sh
cli="$(realpath build/bin/quillora-cli)"
bench_tree
big="$work/big16"
mkdir -p "$big"
for i in $(seq -w 1 16); do seeded_file "$big/part$i.bin" $((256 << 20)); done
one="$work/one-1g.bin"
seeded_file "$one" $((1 << 30))
machine_line "before"
echo "engines: $("$cli" --engine avx512 --version >/dev/null 2>&1 && echo "avx512 ")$("$cli" --engine avx2 --version >/dev/null 2>&1 && echo "avx2 ")scalar"

warm "$tree" "$big" "$one"
"$cli" make "$tree" >/dev/null
(cd "$tree" && hashdeep -r -c md5 . >"$work/hashdeep.txt")

compare "make, tree: hashdeep / ours" 3 "'$cli' make '$tree'" "cd '$tree' && hashdeep -r -c md5 ."
compare "make, tree: --engine scalar / ours" 2 "'$cli' make '$tree'" "'$cli' --engine scalar make '$tree'"
compare "verify, tree: hashdeep -a -k / ours" 3 "'$cli' verify '$tree/CheckSum.md5'" \
  "cd '$tree' && hashdeep -c md5 -a -k '$work/hashdeep.txt' -r ."
compare "verify, tree: --engine scalar / ours" 2 "'$cli' verify '$tree/CheckSum.md5'" \
  "'$cli' --engine scalar verify '$tree/CheckSum.md5'"
compare "make, 16 x 256 MiB: hashdeep / ours" 2.5 "'$cli' make '$big'" "cd '$big' && hashdeep -r -c md5 ."

# The kernels alternate inside the program, round by round.
build/bench/lanes_bench | awk '
  $1 == "scalar" { scalar = $2 }
  { rate[NR] = $2; name[NR] = $1; spread[NR] = $3 " " $4 }
  END { for (i = 1; i <= NR; ++i) printf "kernel %-8s %6.2f GB/s per core %s  %.2f x the scalar engine%s\n",
          name[i], rate[i] / 1e9, spread[i], rate[i] / scalar,
          (name[i] == "avx512" ? (rate[i] / scalar >= 3 ? " (goal 3.00) met" : " (goal 3.00) SHORT") : "") }'

compare "hash, 1 GiB file: md5sum / ours" 1.15 "'$cli' hash '$one'" "md5sum '$one'"
machine_line "after"
