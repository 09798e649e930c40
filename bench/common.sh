# Shared by the bench/*.sh scripts (source it): timing in integer
# nanoseconds, figures printed with awk, so no script needs bc.

# The wall-clock nanoseconds of the fastest of three runs of "$@", printed.
# The command's standard output is discarded. Its exit status is not a
# verdict here (an audit that lists extra files exits 1): a script that must
# know whether a run passed checks it once before timing.
best_of_3() {
  local best="" start end took
  for _ in 1 2 3; do
    start=$(date +%s%N)
    "$@" >/dev/null || true
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
