#!/usr/bin/env bash
# Digest speed against the peers on one 1 GiB file in page cache, the
# commands alternating (A B A B ...); each ratio is B/A, how many times as
# fast quillora-cli hash (A) is. Then the in-memory engine (16 MiB buffer)
# in cycles per byte at the nominal clock, next to openssl speed.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
scripts/build >/dev/null

file=${BENCH_FILE:-/tmp/quillora-bench-1g.bin}
seeded_file "$file" $((1 << 30))
machine_line "before"
warm "$file"
compare "1 GiB file: md5sum / ours" - "build/bin/quillora-cli hash '$file'" "md5sum '$file'"
compare "1 GiB file: openssl md5 / ours" - "build/bin/quillora-cli hash '$file'" "openssl md5 '$file'"

mhz=$(awk -F: '/cpu MHz/ {print $2; exit}' /proc/cpuinfo)
ours=$(build/bench/engine_bench | cut -d' ' -f1)
# openssl speed prints "md5 ... <bytes/s in thousands>k" for the one size.
theirs_k=$(openssl speed -evp md5 -bytes 16384 -seconds 3 2>/dev/null | awk '/^md5/ {gsub("k","",$NF); print $NF}')
awk -v ours="$ours" -v theirs_k="$theirs_k" -v mhz="$mhz" 'BEGIN {
  theirs = theirs_k * 1000
  printf "engine, 16 MiB buffer: %.0f MB/s = %.2f cycles/byte at %.0f MHz\n", ours / 1e6, mhz * 1e6 / ours, mhz
  printf "openssl speed -evp md5 -bytes 16384: %.0f MB/s = %.2f cycles/byte\n", theirs / 1e6, mhz * 1e6 / theirs
  printf "ratio engine/openssl throughput: %.2f\n", ours / theirs }'
machine_line "after"
