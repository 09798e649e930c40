#!/usr/bin/env bash
# Peak memory of a verify whose check file holds one very long record line,
# side by side with md5sum -c on the same line in its own layout. A record
# must cost about its own length (at most 1.5 times it, plus a constant),
# never a copy per step it passes through.
# Usage: bench/checkfile_memory.sh [path/to/quillora-cli]   (default build/bin)
#        QUILLORA_LINE_BYTES=N sets the path's length (default 1 GiB).
set -euo pipefail
cd "$(dirname "$0")/.."
cli="$(realpath "${1:-build/bin/quillora-cli}")"
bytes="${QUILLORA_LINE_BYTES:-1073741824}"
work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}/memory"
[ -x /usr/bin/time ] || { echo "bench needs /usr/bin/time (Debian package: time)" >&2; exit 2; }
mkdir -p "$work"
trap 'rm -f "$work/long.md5" "$work/long.sums" "$work/time.txt"' EXIT

digest=d41d8cd98f00b204e9800998ecf8427e
{ printf '%s\t' "$digest"; head -c "$bytes" /dev/zero | tr '\0' 'y'; printf '\r\n'; } >"$work/long.md5"
{ printf '%s  ' "$digest"; head -c "$bytes" /dev/zero | tr '\0' 'y'; printf '\n'; } >"$work/long.sums"

# The smallest peak resident size, in KiB, of three runs of "$@".
peak_of_3() {
  local best="" kib
  for _ in 1 2 3; do
    /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1 || true  # both report the file as missing
    kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    if [ -z "$best" ] || [ "$kib" -lt "$best" ]; then best=$kib; fi
  done
  echo "$best"
}

ours=$(peak_of_3 "$cli" --jobs 1 verify "$work/long.md5")
peer=$(peak_of_3 md5sum -c "$work/long.sums")
awk -v a="$ours" -v b="$peer" -v n="$bytes" 'BEGIN {
  line = n / 1024
  printf "line of %d bytes\n", n
  printf "quillora-cli verify   peak %10d KiB   %.2f x the line\n", a, a / line
  printf "md5sum -c             peak %10d KiB   %.2f x the line\n", b, b / line
  printf "ratio ours/peer %.2f\n", a / b
}'
