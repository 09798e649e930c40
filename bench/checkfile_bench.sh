#!/usr/bin/env bash
# Check-file throughput against md5sum, side by side in one run, best of 3,
# with the tree in the page cache:
#   quillora-cli --jobs 1 make    vs  find | xargs md5sum (both one thread)
#   quillora-cli --jobs 1 verify  vs  md5sum -c --quiet
#   verify of 1,000,000 records naming missing files, vs md5sum -c on the same
# Usage: bench/checkfile_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
cli="$(realpath "${1:-build/bin/quillora-cli}")"
bench_tree
echo "peer: $(md5sum --version | head -n 1)"

report() {  # name, our nanoseconds, peer name, peer nanoseconds
  awk -v a="$2" -v b="$4" -v n="$1" -v p="$3" \
    'BEGIN { printf "%-34s %8.3f s   %-28s %8.3f s   ratio ours/peer %.2f\n", n, a / 1e9, p, b / 1e9, a / b }'
}

# Single-threaded, as the peer is: the engine and the walk against theirs.
quillora_make() { "$cli" --jobs 1 make "$tree" >/dev/null; }
md5sum_make() {
  (cd "$tree" && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 md5sum >"$work/md5sum.txt")
}
quillora_verify() { "$cli" --jobs 1 verify "$tree/CheckSum.md5" >/dev/null; }
md5sum_verify() { (cd "$tree" && md5sum -c --quiet "$work/md5sum.txt"); }

# Warm the page cache, and make the check files both verifiers read.
cat $(find "$tree" -type f) >/dev/null
quillora_make
md5sum_make

report "quillora-cli --jobs 1 make" "$(best_of_3 quillora_make)" "find | xargs md5sum" "$(best_of_3 md5sum_make)"
report "quillora-cli --jobs 1 verify" "$(best_of_3 quillora_verify)" "md5sum -c --quiet" "$(best_of_3 md5sum_verify)"

# One million records, every one naming a file that does not exist.
missing="$work/missing"
mkdir -p "$missing"
if [ ! -f "$missing/CheckSum.md5" ]; then
  awk 'BEGIN { for (i = 0; i < 1000000; i++)
                 printf "d41d8cd98f00b204e9800998ecf8427e\tgone\\%03d\\file%07d.txt\r\n", i % 1000, i }' \
    >"$missing/CheckSum.md5"
  awk 'BEGIN { for (i = 0; i < 1000000; i++)
                 printf "d41d8cd98f00b204e9800998ecf8427e  gone/%03d/file%07d.txt\n", i % 1000, i }' \
    >"$missing/md5sum.txt"
fi
quillora_missing() { "$cli" verify "$missing/CheckSum.md5" >/dev/null || true; }
md5sum_missing() { (cd "$missing" && md5sum -c --quiet md5sum.txt >/dev/null 2>&1) || true; }
report "quillora-cli verify, 1M missing" "$(best_of_3 quillora_missing)" "md5sum -c, 1M missing" \
  "$(best_of_3 md5sum_missing)"
