#!/usr/bin/env python3
"""The install's copy against `cp -r`, and setup.exe's peak memory.

Two payloads, each in its own run: 200 MiB in four files of 50 MiB, and 2,000
files of 1,023 bytes (every byte of which goes through the byte-by-byte tail).
For each repetition, alternately:
  install  time from pressing Return in the folder chooser (the Desktop, on the
           build disk; timed from just before xdotool starts, as the program
           may act before xdotool returns) to the uninstall record appearing
           (polled every 5 ms);
  cp -r    the same data folder copied by `cp -r` to a folder on the same disk.
The install's time is also split at the moment the destination folder
appears (the program makes it just before the copy starts): what comes before
is mostly Wine taking the chooser down (see docs/performance.md).
`sync` runs before each timing (outside it), so that neither pays for the
other's write-back. Both read the payload from the page cache.

Memory: VmHWM (peak resident set) of the Linux process that runs setup.exe
under Wine, read from /proc/<pid>/status once the first screen is up, once the
folder chooser is up, and once the record has appeared (VmHWM never falls, so
the last figure is the peak of the whole run, install included).

    python3 bench/copy_speed.py [--reps N]
"""

import argparse
import os
import subprocess
import time
from statistics import median

from common import (close_program, cp_once, cpu_seconds, linux_pids_of_program, memory_of,
                    prepare_environment, remove, start_display, summary, tree_size, wait_for,
                    wineserver_pids)

MIB = 1024 * 1024


def large_payload(folder):
    block = os.urandom(MIB)
    for i in range(4):
        with open(folder / f"large{i}.bin", "wb") as out:
            for _ in range(50):
                out.write(block)


def small_payload(folder):
    block = bytes((i * 31) & 0xFF for i in range(1023))
    for i in range(2000):
        (folder / f"small{i:04d}.dat").write_bytes(block)


PAYLOADS = [("200 MiB in 4 files of 50 MiB", large_payload),
            ("2,000 files of 1,023 bytes", small_payload)]


def install_once(run, dest, record, button=None, clear=(), question=None):
    """One install, timed: starts setup.exe, presses Install, and from Return in
    the folder chooser (its Desktop) to the uninstall record appearing.
    dest: the folder that receives data (made just before the copy starts);
    record: the record's path; button: (x, y, rgb), a point of the Install button
    and its highlight's colour there (default: the standard test skin's);
    clear: more paths an earlier install made, removed first with dest and record;
    question: the key that answers the box that follows the record (AutoStart=1).
    Returns ((total, Return to dest made, the copy), (VmHWM at the first screen,
    with the chooser up, at the end), tree_size(dest), (CPU seconds of setup.exe,
    CPU seconds of the run's wineserver) from Return to the record)."""
    from skin_run import CHOOSER_TITLE, Screen, answer_box
    from skins import INSTALL_H
    x, y, highlight = button or (25, 255, INSTALL_H)
    for path in (dest, record, *clear):
        remove(path)
    run.start_program()
    screen = Screen(run)
    screen.wait_highlight(x, y, highlight)
    pids = wait_for(lambda: linux_pids_of_program(run), 10, what="the Linux process of setup.exe")
    idle = max(memory_of(pid).get("VmHWM", 0) for pid in pids)
    screen.click(x + 5, y + 5)
    chooser = run.wait_window(title=CHOOSER_TITLE, timeout=20)
    run.focus(chooser)
    chooser_peak = max(memory_of(pid).get("VmHWM", 0) for pid in pids)
    server = wineserver_pids(run)
    subprocess.run(["sync"], check=True)
    cpu = [sum(map(cpu_seconds, pids)), sum(map(cpu_seconds, server))]
    start = time.monotonic()  # before xdotool starts: the program may act before it returns
    run.xdotool("key", "Return")
    wait_for(dest.exists, 60, interval=0.002, what="the destination folder")
    copy_start = time.monotonic()
    wait_for(record.exists, 600, interval=0.005, what="the uninstall record")
    end = time.monotonic()
    cpu = [sum(map(cpu_seconds, pids)) - cpu[0], sum(map(cpu_seconds, server)) - cpu[1]]
    peak = max(memory_of(pid).get("VmHWM", 0) for pid in pids)
    if question:
        answer_box(run, key=question, timeout=60)
    code = close_program(run)
    if code != 0:
        raise RuntimeError(f"setup.exe ended with {code}")
    return ((end - start, copy_start - start, end - copy_start), (idle, chooser_peak, peak),
            tree_size(dest), tuple(cpu))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()
    prepare_environment()
    from harness import SetupRun
    from skin_run import CAPTION, Machine
    from skins import ini_bytes, standard_skin

    skin = standard_skin()
    ini = ini_bytes(skin.keys, Caption=CAPTION, CreateDirectory0="Bench", InstallDest="Bench")
    print("install copy against cp -r (same disk; install = Return in the chooser "
          "to the uninstall record):")
    for label, make in PAYLOADS:
        name = "copy_" + make.__name__
        with SetupRun(name, ini=ini, files=skin.files(), start=False) as run:
            machine = Machine(run)
            data = run.skin / "data"
            data.mkdir()
            make(data)
            expected = tree_size(data)
            start_display(run)
            installs, befores, copying, copies = [], [], [], []
            idles, choosers, peaks = [], [], []
            for _ in range(args.reps):
                took, memory, got, _ = install_once(run, machine.desktop / "Bench", machine.record)
                if got != expected:
                    raise RuntimeError(f"install copied {got}, expected {expected}")
                installs.append(took[0])
                befores.append(took[1])
                copying.append(took[2])
                idles.append(memory[0])
                choosers.append(memory[1])
                peaks.append(memory[2])
                took, got = cp_once(data, run.scratch / "cp-dest")
                if got != expected:
                    raise RuntimeError(f"cp copied {got}, expected {expected}")
                copies.append(took)
            remove(run.scratch / "cp-dest")
            mb = expected[1] / MIB
            print(f"  {label} ({expected[0]} files, {expected[1]} bytes), {args.reps} repetitions:")
            print(f"    install : {summary(installs)}  "
                  f"({mb / min(installs):.1f} MiB/s at best)")
            print(f"      of which Return to the destination folder made: {summary(befores)}")
            print(f"      and the folder made to the record (the copy): {summary(copying)}  "
                  f"({mb / min(copying):.1f} MiB/s at best)")
            print(f"    cp -r   : {summary(copies)}  ({mb / min(copies):.1f} MiB/s at best)")
            print(f"    ratio of medians: install / cp -r = {median(installs) / median(copies):.1f}, "
                  f"copy part / cp -r = {median(copying) / median(copies):.1f}")
            print("    setup.exe VmHWM (peak resident set so far):")
            for label, values in (("first screen up", idles), ("chooser up", choosers),
                                  ("install done", peaks)):
                print(f"      {label:16}: {summary(values, 'MiB', 1 / 1024, 1)}")


if __name__ == "__main__":
    main()
