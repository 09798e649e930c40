#!/usr/bin/env bash
# What verify's extras cost, side by side with a plain verify of the same
# tree in the same run, best of 3, with the tree in the page cache:
#   verify --new        (walks the folder for new files while digests run)
#   verify --progress   (the progress line, drawn to standard error)
# Usage: bench/verify_options_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
cli="$(realpath "${1:-build/bin/quillora-cli}")"
bench_tree

report() {  # name, "ours peer" nanoseconds, peer name, bound
  local ours peer
  read -r ours peer <<<"$2"
  awk -v a="$ours" -v b="$peer" -v n="$1" -v p="$3" -v bound="$4" \
    'BEGIN { printf "%-30s %8.3f s   %-16s %8.3f s   ratio %.3f (at most %s)\n", n, a / 1e9, p, b / 1e9, a / b, bound }'
}

plain() { "$cli" verify "$tree/CheckSum.md5" >/dev/null; }
with_new() { "$cli" verify --new "$tree/CheckSum.md5" >/dev/null; }
with_progress() { "$cli" verify --progress "$tree/CheckSum.md5" >/dev/null 2>&1; }

# Warm the page cache and make the check file.
cat $(find "$tree" -type f) >/dev/null
"$cli" make "$tree" >/dev/null

report "verify --new" "$(best_of_3_pair with_new plain)" "verify" 1.15
report "verify --progress" "$(best_of_3_pair with_progress plain)" "verify" 1.02
