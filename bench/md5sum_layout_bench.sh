#!/usr/bin/env bash
# Verify from an md5sum file against verify from Quillora's own check file,
# on the same tree in the page cache, in one run: the commands alternate
# (A B A B ...) so both see the same load. Prints each side's best time, the
# ratio md5sum file / own file of the bests, and the spread of the ratios of
# the rounds, with the processor and the load average. Goal: at most 1.05.
# Usage: bench/md5sum_layout_bench.sh [path/to/quillora-cli] [rounds]   (default build/bin, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
cli="$(realpath "${1:-build/bin/quillora-cli}")"
rounds="${2:-7}"
bench_tree
echo "cpu: $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Our own file first: the md5sum make passes CheckSum.md5 over, so both name
# the same files in the same order.
rm -f "$tree/MD5SUMS"
"$cli" make "$tree" >/dev/null
"$cli" make --format md5sum "$tree" >/dev/null
cat $(find "$tree" -type f) >/dev/null

own() { "$cli" verify --quiet "$tree/CheckSum.md5" >/dev/null; }
gnu() { "$cli" verify --quiet "$tree/MD5SUMS" >/dev/null; }
own || { echo "verify of CheckSum.md5 did not pass" >&2; exit 1; }
gnu || { echo "verify of MD5SUMS did not pass" >&2; exit 1; }

# Processor time (user + system, all threads) as well as wall time: on a
# busy machine the wall times wander, what the program itself spends less so.
TIMEFORMAT='%U %S'
cpu_seconds() { { time "$@"; } 2>&1 | awk '{ print $1 + $2 }'; }
own_times=() gnu_times=() own_cpu=() gnu_cpu=()
for _ in $(seq "$rounds"); do
  start=$(date +%s%N); own_cpu+=($(cpu_seconds own)); own_times+=($(($(date +%s%N) - start)))
  start=$(date +%s%N); gnu_cpu+=($(cpu_seconds gnu)); gnu_times+=($(($(date +%s%N) - start)))
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v own="${own_cpu[*]}" -v gnu="${gnu_cpu[*]}" 'BEGIN {
  n = split(own, a, " "); split(gnu, b, " ")
  for (i = 1; i <= n; i++) { sa += a[i]; sb += b[i] }
  printf "processor time, mean of %d: CheckSum.md5 %.3f s, MD5SUMS %.3f s, ratio %.3f\n", n, sa / n, sb / n, sb / sa
}'
awk -v own="${own_times[*]}" -v gnu="${gnu_times[*]}" 'BEGIN {
  n = split(own, a, " "); split(gnu, b, " ")
  best_a = a[1]; best_b = b[1]
  for (i = 1; i <= n; i++) {
    if (a[i] < best_a) best_a = a[i]; if (b[i] < best_b) best_b = b[i]
    r[i] = b[i] / a[i]
  }
  # the ratios of the rounds, sorted, for the median and the range
  for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
  median = n % 2 ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2
  ratio = best_b / best_a
  printf "verify CheckSum.md5 %8.3f s (best of %d)   verify MD5SUMS %8.3f s\n", best_a / 1e9, n, best_b / 1e9
  printf "ratio MD5SUMS/CheckSum.md5 of the bests %.3f (goal at most 1.05) %s; per round median %.3f, range %.3f to %.3f\n",
    ratio, (ratio <= 1.05 ? "met" : "SHORT"), median, r[1], r[n]
}'
