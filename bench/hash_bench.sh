#!/usr/bin/env bash
# Digest speed against the peers, side by side in one run:
#  - quillora-cli hash, md5sum and openssl md5 on one 1 GiB file in page cache,
#    best of 3 wall-clock times, with the ratio peer time / our time
#    (above 1.00 means Quillora is faster);
#  - the in-memory engine (16 MiB buffer) in cycles per byte at the nominal
#    clock, next to openssl speed -evp md5 -bytes 16384.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
scripts/build >/dev/null

file=${BENCH_FILE:-/tmp/quillora-bench-1g.bin}
big_file "$file"

q=$(best_of_3 build/bin/quillora-cli hash "$file")
m=$(best_of_3 md5sum "$file")
o=$(best_of_3 openssl md5 "$file")
echo "1 GiB file, best of 3 (s): quillora-cli hash $(seconds "$q")   md5sum $(seconds "$m")   openssl md5 $(seconds "$o")"
echo "ratio md5sum/quillora: $(times_as_fast "$q" "$m")   openssl/quillora: $(times_as_fast "$q" "$o")"

mhz=$(awk -F: '/cpu MHz/ {print $2; exit}' /proc/cpuinfo)
ours=$(build/bench/engine_bench | cut -d' ' -f1)
# openssl speed prints "md5 ... <bytes/s in thousands>k" for the one size.
theirs_k=$(openssl speed -evp md5 -bytes 16384 -seconds 3 2>/dev/null | awk '/^md5/ {gsub("k","",$NF); print $NF}')
awk -v ours="$ours" -v theirs_k="$theirs_k" -v mhz="$mhz" 'BEGIN {
  theirs = theirs_k * 1000
  printf "engine, 16 MiB buffer: %.0f MB/s = %.2f cycles/byte at %.0f MHz\n", ours / 1e6, mhz * 1e6 / ours, mhz
  printf "openssl speed -evp md5 -bytes 16384: %.0f MB/s = %.2f cycles/byte\n", theirs / 1e6, mhz * 1e6 / theirs
  printf "ratio engine/openssl throughput: %.2f\n", ours / theirs }'
