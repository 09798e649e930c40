# Shared by the benchmark scripts (source it): timing and ratio lines.

# Runs a command 3 times, output dropped, and prints the best wall-clock time
# in integer nanoseconds.
best_of_3() {
  local best="" start end took
  for _ in 1 2 3; do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    took=$(( end - start ))
    if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
  done
  echo "$best"
}

# Prints one comparison: label, Quillora's ns, the other's label, its ns, the
# goal. The ratio is "how many times as fast": the other's time / ours.
ratio() {
  awk -v l="$1" -v q="$2" -v o="$3" -v t="$4" -v g="$5" 'BEGIN {
    r = t / q; printf "%-22s %7.3f s   %-30s %7.3f s   %.2f x as fast (goal %.2f) %s\n",
      l, q / 1e9, o, t / 1e9, r, g, (r >= g ? "met" : "SHORT") }'
}
