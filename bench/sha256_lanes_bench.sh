#!/usr/bin/env bash
# SHA-256's engines in memory, on one core, against one stream of openssl's
# (its SHA-NI code where the CPU has the instructions): lanes_bench sha256
# (every engine, taking turns inside the program) and `openssl speed -evp
# sha256` at 16 KiB and at 1 MiB messages alternate, A B A B, for $rounds
# rounds. Both time CPU time, so other work on a shared machine stretches
# neither. Each engine's ratio is its rate over openssl's at the same message
# size in the same round: the median of the rounds, with the lowest and
# highest.
#   the scalar engine on SHA-NI, one stream: within a few percent (goal 0.95)
#   SHA-NI streams interleaved: goal 1.3
#   AVX-512, 16 lanes (where the CPU has it): goal 2.5
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
scripts/build lanes_bench >/dev/null
command -v openssl >/dev/null || { echo "bench needs openssl" >&2; exit 2; }
results=$(mktemp)
trap 'rm -f "$results"' EXIT

machine_line "before"
# openssl SIZE: one stream's bytes per second at SIZE-byte messages.
openssl_rate() {
  openssl speed -evp sha256 -bytes "$1" -seconds 2 2>/dev/null | awk '/^sha256/ { sub("k$", "", $NF); print $NF * 1000 }'
}
for ((round = 1; round <= rounds; ++round)); do
  build/bench/lanes_bench sha256 | awk -v r="$round" '{ print r, $1, $2 }' >>"$results"
  echo "$round openssl-16k $(openssl_rate 16384)" >>"$results"
  echo "$round openssl-1m $(openssl_rate 1048576)" >>"$results"
done

awk '
  function median(v, k,   i, j, t) {
    for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return k % 2 ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
  }
  { rate[$1, $2] = $3; if (!($2 in seen)) { seen[$2] = 1; names[++n] = $2 }; if ($1 > rounds) rounds = $1 }
  END {
    for (i = 1; i <= n; ++i) {
      name = names[i]
      size = name ~ /-16k$/ ? "16k" : "1m"
      goal = name ~ /^sha256-stream-sha-ni/ ? 0.95 : name ~ /^sha256-sha-ni-x3/ ? 1.3 : name ~ /^sha256-avx512-(16k|1m)$/ ? 2.5 : 0
      delete r; delete g
      for (k = 1; k <= rounds; ++k) {
        g[k] = rate[k, name]
        r[k] = rate[k, name] / rate[k, "openssl-" size]
      }
      lo = hi = r[1]; for (k = 2; k <= rounds; ++k) { if (r[k] < lo) lo = r[k]; if (r[k] > hi) hi = r[k] }
      glo = ghi = g[1]; for (k = 2; k <= rounds; ++k) { if (g[k] < glo) glo = g[k]; if (g[k] > ghi) ghi = g[k] }
      if (name ~ /^openssl/) {
        printf "%-30s %5.2f GB/s [%.2f-%.2f]\n", name, median(g, rounds) / 1e9, glo / 1e9, ghi / 1e9
        continue
      }
      verdict = goal ? sprintf("(goal %.2f) %s", goal, median(r, rounds) >= goal ? "met" : "SHORT") : ""
      printf "%-30s %5.2f GB/s [%.2f-%.2f]  %5.2f x one openssl stream [%.2f-%.2f over %d rounds] %s\n",
        name, median(g, rounds) / 1e9, glo / 1e9, ghi / 1e9, median(r, rounds), lo, hi, rounds, verdict
    }
  }' "$results"
machine_line "after"
