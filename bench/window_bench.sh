#!/usr/bin/env bash
# The window, offscreen, against quillora-cli on the 20,000-file tree: the
# list's folder scan (goal: at most 1.3 x hash), the maker page (goal: at
# most 1.2 x make), and deleting every other row of the list.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
scripts/build >/dev/null
cmake --build build --target window_bench >/dev/null
bench_tree
cat $(find "$tree" -type f) >/dev/null
QT_QPA_PLATFORM=offscreen build/bench/window_bench "$tree" "$(realpath build/bin/quillora-cli)"
