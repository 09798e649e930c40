#!/usr/bin/env bash
# Digesting ahead on every core, against the peers and against one thread,
# on the 20,000-file tree in page cache, the commands alternating (A B A B
# ...). Every ratio is B/A: how many times as fast Quillora (A) is.
#   make:    vs hashdeep -r -c md5 (goal 1.5)   vs quillora-cli make --jobs 1 (goal 1.8)
#   verify:  vs hashdeep -c md5 -a -k (goal 1.5) vs md5sum -c --quiet (goal 1.8)
#   hash of one 1 GiB file: default jobs vs --jobs 1 (goal: no slower, 1.00)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
scripts/build >/dev/null
command -v hashdeep >/dev/null || { echo "bench needs hashdeep (apt-get install hashdeep)" >&2; exit 2; }
cli="$(realpath build/bin/quillora-cli)"
bench_tree
machine_line "before"

warm "$tree"
"$cli" make "$tree" >/dev/null
(cd "$tree" && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 md5sum >"$work/md5sum.txt")
(cd "$tree" && hashdeep -r -c md5 . >"$work/hashdeep.txt")

compare "make: hashdeep / ours" 1.5 "'$cli' make '$tree'" "cd '$tree' && hashdeep -r -c md5 ."
compare "make: --jobs 1 / ours" 1.8 "'$cli' make '$tree'" "'$cli' --jobs 1 make '$tree'"
compare "verify: hashdeep -a -k / ours" 1.5 "'$cli' verify '$tree/CheckSum.md5'" \
  "cd '$tree' && hashdeep -c md5 -a -k '$work/hashdeep.txt' -r ."
compare "verify: md5sum -c / ours" 1.8 "'$cli' verify '$tree/CheckSum.md5'" \
  "cd '$tree' && md5sum -c --quiet '$work/md5sum.txt'"

big="${BENCH_FILE:-/tmp/quillora-bench-1g.bin}"
seeded_file "$big" $((1 << 30))
warm "$big"
compare "hash 1 GiB file: --jobs 1 / default" 1.0 "'$cli' hash '$big'" "'$cli' --jobs 1 hash '$big'"
machine_line "after"
