#!/usr/bin/env python3
"""Seeded trees shaped like real ones, for the benches.

  real_tree.py ROOT longtail [FILES]   FILES files (default 20,000) whose
      sizes follow a log-normal curve with a median of 2 KiB (capped at
      16 MiB), plus five files of 50 to 200 MB: most files are small, most
      bytes are in a few large ones.
  real_tree.py ROOT tiny [FILES]       FILES files (default 300,000) of 0 to
      64 bytes.

About 100 files a folder, three folder levels. A tree already complete (its
marker ROOT.complete, written last) is reused; the marker says what it holds."""
import math
import os
import random
import sys

SEED = 20261207


def sizes_of(kind: str, files: int, rng: random.Random) -> list[int]:
    if kind == "tiny":
        return [rng.randrange(0, 65) for _ in range(files)]
    sizes = [int(min(16 << 20, 2048 * math.exp(rng.gauss(0, 2.0)))) for _ in range(files)]
    for i in rng.sample(range(files), 5):
        sizes[i] = rng.randrange(50_000_000, 200_000_001)
    return sizes


def main() -> None:
    root, kind = sys.argv[1], sys.argv[2]
    files = int(sys.argv[3]) if len(sys.argv) > 3 else (300_000 if kind == "tiny" else 20_000)
    marker = root.rstrip("/") + ".complete"
    if os.path.exists(marker):
        return
    rng = random.Random(SEED)
    sizes = sizes_of(kind, files, rng)
    pattern = rng.randbytes(1 << 20)
    for i, size in enumerate(sizes):
        folder_number = i // 100
        folder = os.path.join(root, f"d{folder_number // 100:03d}", f"e{folder_number // 10 % 10}",
                              f"f{folder_number % 10}")
        if i % 100 == 0:
            os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"file{i:07d}.dat"), "wb") as out:
            left, block = size, 0
            while left:
                # Each MiB differs from the others by its first eight bytes.
                chunk = min(left, 1 << 20)
                out.write(((i << 20) + block).to_bytes(8, "little")[:chunk] + pattern[8:chunk])
                left -= chunk
                block += 1
    ordered = sorted(sizes)
    with open(marker, "w") as out:
        out.write(f"{kind}: {files} files, {sum(sizes)} bytes, median {ordered[files // 2]}, "
                  f"largest {ordered[-1]}\n")


if __name__ == "__main__":
    main()
