#!/usr/bin/env bash
# Lanes full at every job count: hash of 8 files of 128 MiB in page cache,
# with one job, two and eight, the compared commands alternating (A B A B
# ...). Each ratio is B/A.
#   -j 2 / -j 1, wall time (goal at most 0.65: the second core earns its keep)
#   -j 8 / -j 2, wall time (goal at most 1.00: more jobs than cores costs nothing)
#   -j 8 / -j 2, CPU time  (goal at most 1.15)
# And the CPU time of -j 2 against -j 1, for the record.
# Usage: bench/jobs_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
[ $# -gt 0 ] || scripts/build >/dev/null
cli="$(realpath "${1:-build/bin/quillora-cli}")"
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}"
eight="$work/eight128"
mkdir -p "$eight"
for i in 1 2 3 4 5 6 7 8; do seeded_file "$eight/part$i.bin" $((128 << 20)); done
machine_line "before"

warm "$eight"
hash() { echo "'$cli' --no-progress --jobs $1 hash '$eight'"; }
compare "hash 8 x 128 MiB, -j 2 / -j 1" "<=0.65" "$(hash 1)" "$(hash 2)"
compare "hash 8 x 128 MiB, -j 2 / -j 1" - "$(hash 1)" "$(hash 2)" cpu
compare "hash 8 x 128 MiB, -j 8 / -j 2" "<=1.00" "$(hash 2)" "$(hash 8)"
compare "hash 8 x 128 MiB, -j 8 / -j 2" "<=1.15" "$(hash 2)" "$(hash 8)" cpu
machine_line "after"
