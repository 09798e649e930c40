#!/usr/bin/env bash
# Check-file throughput against md5sum, the commands alternating (A B A B
# ...), with the tree in the page cache; each ratio is B/A, how many times
# as fast Quillora (A) is:
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

# Single-threaded, as the peer is: the engine and the walk against theirs.
quillora_make="'$cli' --jobs 1 make '$tree'"
md5sum_make="cd '$tree' && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 md5sum >'$work/md5sum.txt'"

machine_line "before"
# Warm the page cache, and make the check files both verifiers read.
warm "$tree"
sh -c "$quillora_make" >/dev/null
sh -c "$md5sum_make"

compare "--jobs 1 make: find | xargs md5sum / ours" - "$quillora_make" "$md5sum_make"
compare "--jobs 1 verify: md5sum -c / ours" - "'$cli' --jobs 1 verify '$tree/CheckSum.md5'" \
  "cd '$tree' && md5sum -c --quiet '$work/md5sum.txt'"

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
compare "verify, 1M missing: md5sum -c / ours" - "'$cli' verify '$missing/CheckSum.md5'" \
  "cd '$missing' && md5sum -c --quiet md5sum.txt"
machine_line "after"
