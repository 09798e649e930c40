#!/usr/bin/env bash
# Quillora on trees shaped like real ones, each figure from one run with the
# compared commands alternating (A B A B ...), medians and the spread of the
# pairs' ratios:
#   long-tailed tree (20,000 files, median 2 KiB, five of 50-200 MB), cached:
#     make vs hashdeep (goal 3), vs md5sum run by xargs -P on every core,
#     and against its compute floor (goal at most 1.2)
#   300,000 tiny files, make vs a plain open-read-close reader on every core
#     (goal: at most 1.2 x its time)
#   200,000 tiny files present, verify vs md5sum -c (goal 2)
#   1,000,000 tiny files present, verify vs md5sum -c (goal 2; only with
#     BENCH_MILLION=1: the tree takes a while to make)
#   16 files of 256 MiB, CPU time of -j 8 against -j 1 (goal at most 1.1)
#   cold cache (dropped before each run; needs root): the long-tailed tree
#     vs the reader with 8 reads in flight (goal at most 1.3 x its time),
#     and a 2 GiB file cold vs cached (goal at most 1.15)
# Usage: bench/real_trees_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
if [ $# -eq 0 ]; then
  scripts/build >/dev/null
  cmake --build build --target lanes_bench >/dev/null
fi
cli="$(realpath "${1:-build/bin/quillora-cli}")"
command -v hashdeep >/dev/null || { echo "bench needs hashdeep (apt-get install hashdeep)" >&2; exit 2; }
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}"
mkdir -p "$work"
cores=$(nproc)
cc -O2 -pthread bench/reader.c -o "$work/reader"
reader="$work/reader"

longtail="$work/longtail"
tiny="$work/tiny"
python3 bench/real_tree.py "$longtail" longtail
python3 bench/real_tree.py "$tiny" tiny
tiny200k="$work/tiny200k"
python3 bench/real_tree.py "$tiny200k" tiny 200000
big16="$work/big16"
mkdir -p "$big16"
for i in $(seq -w 1 16); do seeded_file "$big16/part$i.bin" $((256 << 20)); done
two="$work/two-gib.bin"
seeded_file "$two" $((2 << 30))
machine_line "before"
echo "long-tailed tree: $(cat "$longtail.complete")"
echo "tiny tree: $(cat "$tiny.complete")"

warm "$longtail" "$tiny" "$big16"
compare "make long-tailed, hashdeep / ours" 3 \
  "'$cli' make '$longtail'" "cd '$longtail' && hashdeep -r -c md5 ."
ours=$compare_a
compare "make long-tailed, xargs -P$cores md5sum / ours" - \
  "'$cli' make '$longtail'" "cd '$longtail' && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 -n 64 -P $cores md5sum"

# The compute floor: the large files spread over every core at the scalar
# engine's speed, the rest on the widest lane engine, every core busy.
rates=$(build/bench/lanes_bench)
scalar=$(awk '$1 == "scalar" { print $2 }' <<<"$rates")
lanes=$(awk '{ r = $2 } END { print r }' <<<"$rates")  # the widest engine comes last
read -r large small < <(find "$longtail" -type f ! -name CheckSum.md5 -printf '%s\n' |
  awk '{ if ($1 > 16777216) l += $1; else s += $1 } END { print l + 0, s + 0 }')
awk -v ours="$ours" -v l="$large" -v s="$small" -v sc="$scalar" -v la="$lanes" -v c="$cores" 'BEGIN {
  floor = l / (sc * c) + s / (la * c)
  printf "%-44s ours %.3f s, floor %.3f s (%.2f GB large at %.2f GB/s, %.2f GB small at %.2f GB/s, %d cores): %.2f x (goal at most 1.2) %s\n",
    "make long-tailed vs its compute floor", ours, floor, l / 1e9, sc / 1e9, s / 1e9, la / 1e9, c, ours / floor,
    (ours / floor <= 1.2 ? "met" : "SHORT") }'

compare "make 300,000 tiny, ours / reader -t$cores" "<=1.2" \
  "'$reader' $cores '$tiny'" "'$cli' make '$tiny'"

"$cli" make "$tiny200k" >/dev/null
(cd "$tiny200k" && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 md5sum >"$work/tiny200k.md5sum")
warm "$tiny200k"
compare "verify --quiet 200,000 tiny, md5sum -c / ours" 2 \
  "'$cli' verify --quiet '$tiny200k/CheckSum.md5'" "cd '$tiny200k' && md5sum -c --quiet '$work/tiny200k.md5sum'"

if [ "${BENCH_MILLION:-0}" = 1 ]; then
  million="$work/million"
  python3 bench/real_tree.py "$million" tiny 1000000
  "$cli" make "$million" >/dev/null
  (cd "$million" && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 md5sum >"$work/million.md5sum")
  warm "$million"
  # Both quiet: md5sum -c --quiet prints only failures, as verify --quiet does.
  compare "verify --quiet 1,000,000 tiny, md5sum -c / ours" 2 \
    "'$cli' verify --quiet '$million/CheckSum.md5'" "cd '$million' && md5sum -c --quiet '$work/million.md5sum'"
fi

compare "CPU, 16 x 256 MiB, -j 8 / -j 1" "<=1.1" \
  "'$cli' --jobs 1 make '$big16'" "'$cli' --jobs 8 make '$big16'" cpu

if [ "$(id -u)" -eq 0 ] && (sync; echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  before_a=$cold_cache before_b=$cold_cache
  compare "cold long-tailed, ours / reader -t8" "<=1.3" \
    "'$reader' 8 '$longtail'" "'$cli' make '$longtail'"
  before_a="" before_b=$cold_cache
  compare "2 GiB file, cold / cached" "<=1.15" "'$cli' hash '$two'" "'$cli' hash '$two'"
  before_a="" before_b=""
  echo "disk: $(for d in /sys/block/*/queue/rotational; do n=${d#/sys/block/}; echo -n "${n%%/*} rotational=$(cat "$d") "; done)"
else
  echo "cold runs skipped: dropping the page cache needs root"
fi
machine_line "after"
