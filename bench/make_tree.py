#!/usr/bin/env python3
"""Builds the benchmark tree: 20,000 files of 1 KiB to 1 MiB, about 1 GiB in
all, in 20 x 10 folders, from a fixed seed so every run measures the same
bytes. Sizes lean towards small files, as real folders do. A tree that is
already complete (its marker, beside it, written last) is reused."""
import os
import random
import sys

FILES, TOP, SUB = 20_000, 20, 10
SEED = 20261206


def main(root: str) -> None:
    marker = root.rstrip("/") + ".complete"  # beside the tree, never part of it
    if os.path.exists(marker):
        return
    rng = random.Random(SEED)
    per_folder = FILES // (TOP * SUB)
    total = 0
    for t in range(TOP):
        for s in range(SUB):
            folder = os.path.join(root, f"t{t:02d}", f"s{s}")
            os.makedirs(folder, exist_ok=True)
            for f in range(per_folder):
                size = int(1024 * 2 ** (10 * rng.random() ** 3.3))
                with open(os.path.join(folder, f"file{f:03d}.bin"), "wb") as out:
                    out.write(rng.randbytes(size))
                total += size
    with open(marker, "w") as out:
        out.write(f"{FILES} files, {total} bytes\n")


if __name__ == "__main__":
    main(sys.argv[1])
