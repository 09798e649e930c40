#!/usr/bin/env bash
# quillora-cli -c in the place of the GNU checkers, each figure from one run
# with the compared commands alternating (A B A B ...): medians, and the
# spread of the pairs' ratios B/A (how many times as fast quillora-cli -c,
# A, is). On the seeded 20,000-file tree, cached:
#   -c --quiet of a SHA256SUMS vs sha256sum -c --quiet (goal 5, as verify's)
#   -c --quiet of a B2SUMS vs b2sum -c --quiet (goal 1.5: b2sum reads about
#     as fast as one core digests, so two cores give at most twice)
#   -c --quiet vs verify --quiet of the same SHA256SUMS: what speaking as
#     they do costs (goal 0.95: at most a twentieth slower)
# Usage: bench/check_bench.sh [path/to/quillora-cli]   (default build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
[ $# -gt 0 ] || scripts/build quillora-cli >/dev/null
cli="$(realpath "${1:-build/bin/quillora-cli}")"
for tool in sha256sum b2sum; do
  command -v "$tool" >/dev/null || { echo "bench needs $tool" >&2; exit 2; }
done
bench_tree
# The tree's check files, kept beside it so that no other bench finds them
# in it; names relative to the tree, as the checkers take them from the
# current folder.
for tool in sha256sum b2sum; do
  sums="$work/check.$tool"
  if [ ! -s "$sums" ] || [ "$tree.complete" -nt "$sums" ]; then
    echo "Writing $sums" >&2
    (cd "$tree" && find . -type f -print0 | sort -z | xargs -0 "$tool") >"$sums"
  fi
  # Each check passes before it is timed.
  (cd "$tree" && "$cli" -c --status "$sums")
done
"$cli" verify --status --base-folder "$tree" "$work/check.sha256sum"

warm "$tree"
machine_line "before"
in_tree="cd '$tree' &&"
compare "sha256sum -c / quillora-cli -c" 5 "$in_tree '$cli' -c --quiet '$work/check.sha256sum'" \
  "$in_tree sha256sum -c --quiet '$work/check.sha256sum'"
compare "b2sum -c / quillora-cli -c" 1.5 "$in_tree '$cli' -c --quiet '$work/check.b2sum'" \
  "$in_tree b2sum -c --quiet '$work/check.b2sum'"
compare "verify / -c, same SHA256SUMS" 0.95 "$in_tree '$cli' -c --quiet '$work/check.sha256sum'" \
  "'$cli' verify --quiet --base-folder '$tree' '$work/check.sha256sum'"
machine_line "after"
