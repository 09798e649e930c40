#!/usr/bin/env bash
# What verify's extras cost, against a plain verify of the same tree, the
# two alternating (A B A B ...), with the tree in the page cache; each ratio
# is the option's time over the plain verify's:
#   verify --new        (walks the folder for new files while digests run)
#   verify --progress   (the progress line, drawn to standard error)
# Usage: bench/verify_options_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
cli="$(realpath "${1:-build/bin/quillora-cli}")"
bench_tree

machine_line "before"
# Warm the page cache and make the check file.
warm "$tree"
"$cli" make "$tree" >/dev/null

compare "verify --new / verify" "<=1.15" "'$cli' verify '$tree/CheckSum.md5'" "'$cli' verify --new '$tree/CheckSum.md5'"
compare "verify --progress / verify" "<=1.02" "'$cli' verify '$tree/CheckSum.md5'" \
  "'$cli' verify --progress '$tree/CheckSum.md5'"
machine_line "after"
