#!/usr/bin/env bash
# What verify's extras cost, side by side with a plain verify of the same
# tree in the same run, best of 3, with the tree in the page cache:
#   verify --new        (walks the folder for new files while digests run)
#   verify --progress   (the progress line, drawn to standard error)
# Usage: bench/verify_options_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
cli="$(realpath "${1:-build/bin/quillora-cli}")"
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}"
tree="$work/tree"
command -v python3 >/dev/null || { echo "bench needs python3" >&2; exit 2; }

mkdir -p "$tree"
python3 bench/make_tree.py "$tree"
echo "tree: $tree ($(cat "$tree.complete"))"

# Nanoseconds one run of "$@" takes.
took() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  echo $(( end - start ))
}

# "ours peer": the fastest of three runs of each, the two taking turns so
# that both see the same load on the machine.
best_of_3_side_by_side() {
  local ours="" peer="" t
  for _ in 1 2 3; do
    t=$(took "$1"); if [ -z "$ours" ] || [ "$t" -lt "$ours" ]; then ours=$t; fi
    t=$(took "$2"); if [ -z "$peer" ] || [ "$t" -lt "$peer" ]; then peer=$t; fi
  done
  awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.3f %.3f", a / 1e9, b / 1e9 }'
}

report() {  # name, "ours peer" seconds, peer name, bound
  local ours peer
  read -r ours peer <<<"$2"
  awk -v a="$ours" -v b="$peer" -v n="$1" -v p="$3" -v bound="$4" \
    'BEGIN { printf "%-30s %8.3f s   %-16s %8.3f s   ratio %.3f (at most %s)\n", n, a, p, b, a / b, bound }'
}

plain() { "$cli" verify "$tree/CheckSum.md5" >/dev/null; }
with_new() { "$cli" verify --new "$tree/CheckSum.md5" >/dev/null; }
with_progress() { "$cli" verify --progress "$tree/CheckSum.md5" >/dev/null 2>&1; }

# Warm the page cache and make the check file.
cat $(find "$tree" -type f) >/dev/null
"$cli" make "$tree" >/dev/null

report "verify --new" "$(best_of_3_side_by_side with_new plain)" "verify" 1.15
report "verify --progress" "$(best_of_3_side_by_side with_progress plain)" "verify" 1.02
