#!/usr/bin/env bash
# Digesting ahead on every core, against the peers and against one thread,
# side by side in one run, best of 3, on the 20,000-file tree in page cache.
# Every ratio is "how many times as fast": the other's time / Quillora's time.
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
echo "$(nproc) cores"

cat $(find "$tree" -type f) >/dev/null
"$cli" make "$tree" >/dev/null
(cd "$tree" && find . -type f ! -name CheckSum.md5 -print0 | xargs -0 md5sum >"$work/md5sum.txt")
(cd "$tree" && hashdeep -r -c md5 . >"$work/hashdeep.txt")

q_make=$(best_of_3 "$cli" make "$tree")
q_make1=$(best_of_3 "$cli" --jobs 1 make "$tree")
h_make=$(best_of_3 sh -c "cd '$tree' && hashdeep -r -c md5 ." )
ratio "make" "$q_make" "hashdeep -r -c md5" "$h_make" 1.5
ratio "make" "$q_make" "quillora-cli --jobs 1 make" "$q_make1" 1.8

q_verify=$(best_of_3 "$cli" verify "$tree/CheckSum.md5")
h_verify=$(best_of_3 sh -c "cd '$tree' && hashdeep -c md5 -a -k '$work/hashdeep.txt' -r .")
m_verify=$(best_of_3 sh -c "cd '$tree' && md5sum -c --quiet '$work/md5sum.txt'")
ratio "verify" "$q_verify" "hashdeep -c md5 -a -k" "$h_verify" 1.5
ratio "verify" "$q_verify" "md5sum -c --quiet" "$m_verify" 1.8

big="${BENCH_FILE:-/tmp/quillora-bench-1g.bin}"
big_file "$big"
q_big=$(best_of_3 "$cli" hash "$big")
q_big1=$(best_of_3 "$cli" --jobs 1 hash "$big")
ratio "hash 1 GiB file" "$q_big" "quillora-cli --jobs 1 hash" "$q_big1" 1.0
