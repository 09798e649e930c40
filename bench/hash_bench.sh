#!/usr/bin/env bash
# Digest speed against the peers, side by side in one run:
#  - quillora-cli hash, md5sum and openssl md5 on one 1 GiB file in page cache,
#    best of 3 wall-clock times, with the ratio peer time / our time
#    (above 1.00 means Quillora is faster);
#  - the in-memory engine (16 MiB buffer) in cycles per byte at the nominal
#    clock, next to openssl speed -evp md5 -bytes 16384.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build >/dev/null
command -v bc >/dev/null || { echo "bench needs bc (apt-get install bc)" >&2; exit 2; }

file=${BENCH_FILE:-/tmp/quillora-bench-1g.bin}
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne $((1 << 30)) ]; then
  echo "Making $file (1 GiB, seeded)"
  { openssl enc -aes-128-ctr -pass pass:quillora -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } | head -c $((1 << 30)) >"$file"
fi
cat "$file" >/dev/null  # into the page cache

best_of_3() {
  local best=""
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

q=$(best_of_3 build/bin/quillora-cli hash "$file")
m=$(best_of_3 md5sum "$file")
o=$(best_of_3 openssl md5 "$file")
printf '1 GiB file, best of 3 (s): quillora-cli hash %.3f   md5sum %.3f   openssl md5 %.3f\n' "$q" "$m" "$o"
printf 'ratio md5sum/quillora: %.2f   openssl/quillora: %.2f\n' "$(echo "$m / $q" | bc -l)" "$(echo "$o / $q" | bc -l)"

mhz=$(awk -F: '/cpu MHz/ {print $2; exit}' /proc/cpuinfo)
ours=$(build/bench/engine_bench | cut -d' ' -f1)
# openssl speed prints "md5 ... <bytes/s in thousands>k" for the one size.
theirs_k=$(openssl speed -evp md5 -bytes 16384 -seconds 3 2>/dev/null | awk '/^md5/ {gsub("k","",$NF); print $NF}')
theirs=$(echo "$theirs_k * 1000" | bc -l)
printf 'engine, 16 MiB buffer: %.0f MB/s = %.2f cycles/byte at %.0f MHz\n' "$(echo "$ours / 1000000" | bc -l)" "$(echo "$mhz * 1000000 / $ours" | bc -l)" "$mhz"
printf 'openssl speed -evp md5 -bytes 16384: %.0f MB/s = %.2f cycles/byte\n' "$(echo "$theirs / 1000000" | bc -l)" "$(echo "$mhz * 1000000 / $theirs" | bc -l)"
printf 'ratio engine/openssl throughput: %.2f\n' "$(echo "$ours / $theirs" | bc -l)"
