# Shared by the bench/*.sh scripts (source it). Every comparison runs the
# two commands in turn, A B A B ..., so a machine whose speed drifts (other
# work, turbo, a cache filling up) weighs on both sides alike; figures are
# medians, and each ratio comes with its spread over the pairs. No script
# needs bc: figures are printed with awk.

# Rounds of each comparison (pairs of runs), after one warm-up pair.
rounds="${BENCH_ROUNDS:-5}"

# Commands run before each timed run of side A and of side B, not timed:
# "$cold_cache" for a cold run. Empty: nothing.
before_a="" before_b=""

# Prints the machine line every bench starts and ends with: the CPU, its
# cores and the load average, which skews every figure when it is high.
machine_line() {
  local cpu
  cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
  echo "${1:-machine}: ${cpu:-unknown CPU}, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%Y-%m-%d)"
}

# Runs the shell command $2 (untimed), then $1 once, output dropped, and prints "wall user sys"
# in seconds. Its exit status is not a verdict here (an audit that lists
# extra files exits 1): a script that must know whether a run passed checks
# it once before timing.
time_once() {
  local TIMEFORMAT='%3R %3U %3S'
  [ -z "${2:-}" ] || sh -c "$2" >/dev/null 2>&1
  { time sh -c "$1" >/dev/null 2>&1 || true; } 2>&1
}

# compare LABEL GOAL "COMMAND A" "COMMAND B" [wall|cpu]
# Times A and B in turn, a warm-up pair then $rounds pairs, and prints each
# side's median and the ratio B/A (how many times as fast A is; with "cpu",
# how many times the CPU time A takes is B's) as the median of the pairs'
# ratios with their lowest and highest. GOAL is the least ratio wanted, or
# "<=N" the most ("-": none). Sets compare_ratio to the median ratio, and
# compare_a and compare_b to the medians. Runs $before_a and $before_b, when
# set, before each run of A and of B.
compare() {
  local label="$1" goal="$2" a="$3" b="$4" what="${5:-wall}" i ta tb
  local -a as=() bs=()
  time_once "$a" "$before_a" >/dev/null; time_once "$b" "$before_b" >/dev/null
  for ((i = 0; i < rounds; ++i)); do
    ta=$(time_once "$a" "$before_a"); tb=$(time_once "$b" "$before_b")
    if [ "$what" = cpu ]; then
      as+=("$(awk '{ print $2 + $3 }' <<<"$ta")"); bs+=("$(awk '{ print $2 + $3 }' <<<"$tb")")
    else
      as+=("${ta%% *}"); bs+=("${tb%% *}")
    fi
  done
  local out
  out=$(printf '%s %s\n' "${as[*]}" "${bs[*]}" | awk -v n="$rounds" -v label="$label" -v goal="$goal" -v what="$what" '
    function median(v, k,   i, j, t) {
      for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      return k % 2 ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
    }
    {
      split($0, all, " ")
      for (i = 1; i <= n; ++i) { a[i] = all[i]; b[i] = all[n + i]; r[i] = (a[i] > 0 ? b[i] / a[i] : 0) }
      lo = hi = r[1]; for (i = 2; i <= n; ++i) { if (r[i] < lo) lo = r[i]; if (r[i] > hi) hi = r[i] }
      ma = median(a, n); mb = median(b, n); mr = median(r, n)
      if (goal == "-") verdict = ""
      else if (goal ~ /^<=/) verdict = sprintf("(goal %s) %s", goal, mr <= substr(goal, 3) + 0 ? "met" : "SHORT")
      else verdict = sprintf("(goal %s) %s", goal, mr >= goal + 0 ? "met" : "SHORT")
      printf "%-44s %s A %8.3f s  B %8.3f s  B/A %5.2f  [%.2f-%.2f over %d pairs] %s\n", label, what, ma, mb, mr, lo, hi, n, verdict
      printf "%.3f %.3f %.3f\n", mr, ma, mb
    }')
  printf '%s\n' "${out%$'\n'*}"
  read -r compare_ratio compare_a compare_b <<<"${out##*$'\n'}"
}

# A command for BENCH_BEFORE that empties the page cache (needs root).
cold_cache='sync; echo 3 >/proc/sys/vm/drop_caches'

# Seeded bytes: the same $1 bytes for the same seed $2, on every run.
seeded() { { openssl enc -aes-128-ctr -pass "pass:quillora$2" -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } | head -c "$1"; }

# Makes a seeded file of $2 bytes at $1 unless one of that size is there (a
# run killed while writing it leaves a shorter file, made again next time).
seeded_file() {
  if [ "$(stat -c %s "$1" 2>/dev/null)" != "$2" ]; then
    echo "Making $1 ($2 bytes, seeded)" >&2
    seeded "$2" "$(basename "$1")" >"$1"
  fi
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

# Reads every file below the folders given, so a warm run starts cached.
warm() { find "$@" -type f -print0 | xargs -0 cat >/dev/null; }
