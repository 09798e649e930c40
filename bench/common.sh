# Shared by the bench/*.sh scripts (source it): timing in integer
# nanoseconds, figures printed with awk, so no script needs bc.

# The wall-clock nanoseconds of the fastest of three runs of "$@", printed.
# The command's output is dropped. Its exit status is not a verdict here (an
# audit that lists extra files exits 1): a script that must know whether a
# run passed checks it once before timing.
best_of_3() {
  local best="" start end took
  for _ in 1 2 3; do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    took=$((end - start))
    if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
  done
  echo "$best"
}

# Nanoseconds as seconds with three decimals: seconds 1234567890 -> 1.235
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }

# How many times as fast the first time is as the second: second / first,
# two decimals.
times_as_fast() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }

# Prints one comparison: label, Quillora's ns, the other's label, its ns, the
# goal. The ratio is "how many times as fast": the other's time / ours.
ratio() {
  awk -v l="$1" -v q="$2" -v o="$3" -v t="$4" -v g="$5" 'BEGIN {
    r = t / q; printf "%-22s %7.3f s   %-30s %7.3f s   %.2f x as fast (goal %.2f) %s\n",
      l, q / 1e9, o, t / 1e9, r, g, (r >= g ? "met" : "SHORT") }'
}

# Makes the seeded 1 GiB file at $1 unless it is already there, and reads it
# into the page cache.
big_file() {
  if [ ! -f "$1" ] || [ "$(stat -c %s "$1")" -ne $((1 << 30)) ]; then
    echo "Making $1 (1 GiB, seeded)" >&2
    { openssl enc -aes-128-ctr -pass pass:quillora -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } |
      head -c $((1 << 30)) >"$1"
  fi
  cat "$1" >/dev/null
}

# The nanoseconds of the fastest of three runs of each of two commands, run
# in turn so that both see the same load: prints "first second". Output and
# exit status as for best_of_3.
best_of_3_pair() {
  local first="" second="" start took
  for _ in 1 2 3; do
    start=$(date +%s%N); "$1" >/dev/null 2>&1 || true; took=$(($(date +%s%N) - start))
    if [ -z "$first" ] || [ "$took" -lt "$first" ]; then first=$took; fi
    start=$(date +%s%N); "$2" >/dev/null 2>&1 || true; took=$(($(date +%s%N) - start))
    if [ -z "$second" ] || [ "$took" -lt "$second" ]; then second=$took; fi
  done
  echo "$first $second"
}

# Sets work (the benchmarks' folder, $QUILLORA_BENCH_DIR or
# /tmp/quillora-bench) and tree (the seeded 20,000-file tree in it, made on
# first use), and says which tree it is.
bench_tree() {
  command -v python3 >/dev/null || { echo "bench needs python3" >&2; exit 2; }
  work="${QUILLORA_BENCH_DIR:-/tmp/quillora-bench}"
  tree="$work/tree"
  mkdir -p "$tree"
  python3 bench/make_tree.py "$tree"
  echo "tree: $tree ($(cat "$tree.complete"))"
}
