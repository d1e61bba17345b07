#!/usr/bin/env python3
"""CopyTree against `cp -r`: about 100 MB in 2,000 files of mixed sizes (a
fixed pseudo-random mix from 0 bytes to 1 MB), copied by the install's own
copy (bench/copy_tree_bench.cpp under Wine) and by `cp -r`, in the same run,
on the same disk, alternating. Prints each time, the medians and their ratio.

    python3 copy_tree.py [--reps N]"""

import argparse
import random
import shutil
import statistics
import subprocess
import time

from common import BUILD, prepare_environment  # noqa: F401  (sets up the template prefix)

FILES, TOTAL = 2000, 100 * 1024 * 1024


def make_payload(folder):
    rng = random.Random(20261208)
    weights = [rng.random() ** 3 for _ in range(FILES)]  # many small files, a few large
    scale = TOTAL / sum(weights)
    for i, weight in enumerate(weights):
        path = folder / f"d{i % 40:02d}" / f"f{i:04d}.bin"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(rng.randbytes(int(weight * scale)))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()
    prepare_environment()

    work = BUILD / "scratch" / "bench-copy-tree"
    shutil.rmtree(work, ignore_errors=True)
    prefix, drive = work / "prefix", work / "drive"
    drive.mkdir(parents=True)
    subprocess.run(["cp", "-a", str(BUILD / "wine" / "bench-template"), str(prefix)], check=True)
    (prefix / "dosdevices" / "y:").symlink_to(drive)
    env = {"WINEPREFIX": str(prefix), "WINEDEBUG": "-all", "HOME": str(work),
           "PATH": "/usr/bin:/bin", "LANG": "ja_JP.UTF-8"}
    make_payload(drive / "src")
    total = sum(p.stat().st_size for p in (drive / "src").rglob("*") if p.is_file())
    print(f"payload: {FILES} files, {total} bytes")

    ours, theirs = [], []
    try:
        for rep in range(args.reps):
            shutil.rmtree(drive / "dst", ignore_errors=True)
            subprocess.run(["sync"])
            out = work / "bench.out"
            with open(out, "wb") as sink:  # a file, not a pipe: wineserver may inherit it
                subprocess.run(["wine", str(BUILD / "copy_tree_bench.exe"), "Y:\\src", "Y:\\dst"],
                               cwd=drive, env=env, stdout=sink, stderr=subprocess.STDOUT,
                               check=True, timeout=600)
            words = out.read_text().split()
            assert int(words[0]) == total, out.read_text()
            ours.append(float(words[2]))

            shutil.rmtree(drive / "cp", ignore_errors=True)
            subprocess.run(["sync"])
            start = time.perf_counter()
            subprocess.run(["cp", "-r", str(drive / "src"), str(drive / "cp")], check=True)
            theirs.append(time.perf_counter() - start)
            print(f"  repetition {rep + 1}: CopyTree {ours[-1]:.3f} s, cp -r {theirs[-1]:.3f} s")
    finally:
        subprocess.run(["wineserver", "-k"], env=env)
        shutil.rmtree(work, ignore_errors=True)

    a, b = statistics.median(ours), statistics.median(theirs)
    print(f"CopyTree median {a:.3f} s (min {min(ours):.3f}, max {max(ours):.3f}); "
          f"cp -r median {b:.3f} s (min {min(theirs):.3f}, max {max(theirs):.3f}); "
          f"ratio {a / b:.1f}")


if __name__ == "__main__":
    main()
