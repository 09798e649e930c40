#!/usr/bin/env bash
# Verify from an md5sum file against verify from Quillora's own check file,
# on the same tree in the page cache, the two alternating (A B A B ...):
# wall time and processor time (user + system, all threads), each as the
# median ratio md5sum file / own file with its spread. Goal: at most 1.05.
# Usage: bench/md5sum_layout_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
cli="$(realpath "${1:-build/bin/quillora-cli}")"
bench_tree
machine_line "before"

# Our own file first: the md5sum make passes CheckSum.md5 over, so both name
# the same files in the same order.
rm -f "$tree/MD5SUMS"
"$cli" make "$tree" >/dev/null
"$cli" make --format md5sum "$tree" >/dev/null
warm "$tree"
"$cli" verify --quiet "$tree/CheckSum.md5" >/dev/null || { echo "verify of CheckSum.md5 did not pass" >&2; exit 1; }
"$cli" verify --quiet "$tree/MD5SUMS" >/dev/null || { echo "verify of MD5SUMS did not pass" >&2; exit 1; }

own="'$cli' verify --quiet '$tree/CheckSum.md5'"
gnu="'$cli' verify --quiet '$tree/MD5SUMS'"
compare "verify, MD5SUMS / CheckSum.md5" "<=1.05" "$own" "$gnu"
compare "verify, MD5SUMS / CheckSum.md5" "<=1.05" "$own" "$gnu" cpu
machine_line "after"
