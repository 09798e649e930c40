#!/usr/bin/env bash
# Two builds of quillora-cli on the benches' trees, head to head, the two
# alternating (A B A B ...): a change meant to be faster somewhere must be no
# slower anywhere else. Each ratio is NEW/OLD (below 1: the new build is
# faster), by wall time, then by CPU time.
#   20,000-file tree: make, verify
#   long-tailed tree (20,000 files, five of 50-200 MB): make
#   300,000 tiny files: make; 200,000 tiny files: verify
#   16 x 256 MiB: make;  8 x 128 MiB: hash with -j 1, 2 and 8
# Usage: bench/head_to_head.sh OLD_CLI NEW_CLI [PART...]
#   PART: tree longtail tiny big16 eight (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
old="$(realpath "${1:?usage: head_to_head.sh OLD_CLI NEW_CLI [PART...]}")"
new="$(realpath "${2:?usage: head_to_head.sh OLD_CLI NEW_CLI [PART...]}")"
shift 2
parts="${*:-tree longtail tiny big16 eight}"
wanted() { [[ " $parts " == *" $1 "* ]]; }
bench_tree
longtail="$work/longtail" tiny="$work/tiny" tiny200k="$work/tiny200k" big16="$work/big16" eight="$work/eight128"
wanted longtail && python3 bench/real_tree.py "$longtail" longtail
wanted tiny && python3 bench/real_tree.py "$tiny" tiny && python3 bench/real_tree.py "$tiny200k" tiny 200000
if wanted big16; then
  mkdir -p "$big16"
  for i in $(seq -w 1 16); do seeded_file "$big16/part$i.bin" $((256 << 20)); done
fi
if wanted eight; then
  mkdir -p "$eight"
  for i in 1 2 3 4 5 6 7 8; do seeded_file "$eight/part$i.bin" $((128 << 20)); done
fi
machine_line "before"

# both LABEL ARGS: the two builds with the same arguments, by wall and by CPU time.
both() {
  local label=$1 args=$2
  compare "$label, new / old" - "'$old' --no-progress $args" "'$new' --no-progress $args"
  compare "$label, new / old" - "'$old' --no-progress $args" "'$new' --no-progress $args" cpu
}
if wanted tree; then
  warm "$tree"
  "$old" --no-progress make "$tree" >/dev/null
  both "make 20,000 files" "make '$tree'"
  both "verify 20,000 files" "verify --quiet '$tree/CheckSum.md5'"
fi
if wanted longtail; then
  warm "$longtail"
  both "make long-tailed" "make '$longtail'"
fi
if wanted tiny; then
  warm "$tiny" "$tiny200k"
  both "make 300,000 tiny" "make '$tiny'"
  "$old" --no-progress make "$tiny200k" >/dev/null
  both "verify 200,000 tiny" "verify --quiet '$tiny200k/CheckSum.md5'"
fi
if wanted big16; then
  warm "$big16"
  both "make 16 x 256 MiB" "make '$big16'"
fi
if wanted eight; then
  warm "$eight"
  for jobs in 1 2 8; do both "hash 8 x 128 MiB -j $jobs" "--jobs $jobs hash '$eight'"; done
fi
machine_line "after"
