#!/usr/bin/env python3
"""CopyTree against `cp -r`: about 100 MB in 2,000 files of mixed sizes (a
fixed pseudo-random mix from 0 bytes to 1 MB), copied by the install's own
copy (bench/copy_tree_bench.cpp under Wine) and by `cp -r`, in the same run,
on the same disk, alternating. Prints each time, the medians and their ratio.

    python3 copy_tree.py [--reps N]"""

import argparse
import random
import subprocess
from statistics import median

from common import BUILD, cp_once, prepare_environment, remove, summary, tree_size

FILES, TOTAL = 2000, 100 * 1024 * 1024


def make_payload(folder):
    rng = random.Random(20261208)
    weights = [rng.random() ** 3 for _ in range(FILES)]  # many small files, a few large
    scale = TOTAL / sum(weights)
    for i, weight in enumerate(weights):
        path = folder / f"d{i % 40:02d}" / f"f{i:04d}.bin"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(rng.randbytes(int(weight * scale)))


def copy_tree_once(run, source, target):
    """The bench program's own timing of CopyTree from Y:\\source to Y:\\target."""
    remove(run.drive / target)
    subprocess.run(["sync"], check=True)
    out = run.scratch / "bench.out"
    with open(out, "wb") as sink:  # a file, not a pipe: wineserver may inherit it
        subprocess.run(["wine", str(BUILD / "copy_tree_bench.exe"), f"Y:\\{source}",
                        f"Y:\\{target}"], cwd=run.drive, env=run.env(), stdout=sink,
                       stderr=subprocess.STDOUT, check=True, timeout=600)
    words = out.read_text().split()  # "<bytes counted> bytes <seconds> seconds ..."
    copied = tree_size(run.drive / target)
    if int(words[0]) != copied[1]:
        raise RuntimeError(f"CopyTree counted {words[0]} bytes, wrote {copied[1]}")
    return float(words[2]), copied


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()
    prepare_environment()
    from harness import SetupRun

    # The harness's run gives a prefix copy with drive Y: on scratch and no Z:.
    with SetupRun("copy_tree", display=False, start=False) as run:
        source = run.drive / "src"
        make_payload(source)
        expected = tree_size(source)
        print(f"payload: {expected[0]} files, {expected[1]} bytes")
        ours, theirs = [], []
        for rep in range(args.reps):
            took, got = copy_tree_once(run, "src", "dst")
            if got != expected:
                raise RuntimeError(f"CopyTree copied {got}, expected {expected}")
            ours.append(took)
            took, got = cp_once(source, run.drive / "cp")
            if got != expected:
                raise RuntimeError(f"cp copied {got}, expected {expected}")
            theirs.append(took)
            print(f"  repetition {rep + 1}: CopyTree {ours[-1]:.3f} s, cp -r {theirs[-1]:.3f} s")

    print(f"CopyTree: {summary(ours)}")
    print(f"cp -r   : {summary(theirs)}")
    print(f"ratio of medians: {median(ours) / median(theirs):.1f}")


if __name__ == "__main__":
    main()
