#!/usr/bin/env python3
"""The packed setup.exe against the folder form, for the sample skin.

Two runs of the sample setup folder (demo/skin and its generated payload of
about 2,500 files, laid out as `scripts/demo.py --layout` does it), one left as
a folder, one packed into a single setup.exe with `skintool pack` (build/skintool.exe)
and left alone in its folder. Both hold the same setup.exe: build/setup.exe, or
the one --exe names (such as the release build, build/release/setup.exe). In one
run of this script:

  first frame  bench/first_frame.py's method (its sample_subject with packed=True
               for the packed one): from starting `wine setup.exe` to the centres
               of the three buttons showing their pictures, on 2560 x 1440 screens;
  install      bench/copy_speed.py's install_once: from Return in the folder
               chooser (its Desktop) to the uninstall record appearing, split
               where the destination folder appears, with the CPU time that
               setup.exe and the run's wineserver used meanwhile (less
               sensitive to other work on the machine than the wall time);
               the sample then asks whether to start its program (answered
               No) and is closed;
  size         the packed file against a plain zip of the same folder (the
               `zip -r` command, default deflate, level 6; and Python's
               `python3 -m zipfile -c`, also deflate) and against the folder's
               total size.

Repetitions alternate between the forms, the form that goes first changing each
time. Prints each figure, the medians and the ratio packed / folder of the
medians; a figure never makes it fail (the aim is packed within 1.2 x of the
folder form).

    python3 bench/packed_form.py [--reps N] [--install-reps N] [--exe SETUP.EXE]
"""

import argparse
import shutil
import statistics
import subprocess
import sys
import zipfile
from io import BytesIO
from pathlib import Path

from common import BUILD, ROOT, prepare_environment, summary, tree_size, use_screen
from copy_speed import install_once
from first_frame import SCREEN, ini_values, picture_pixel, print_times, sample_subject, time_subjects

TRAILER = 56  # common/packed_layout.h: archive offset, archive size, SHA-256, magic
MAGIC = b"SKINPACK"


def alternating(reps, pair):
    """reps rounds of the pair, the one that goes first changing each round."""
    for rep in range(reps):
        yield from (pair if rep % 2 == 0 else pair[::-1])


def ratio_line(label, folder, packed, aim=" (aim: 1.2 or less)"):
    ratio = statistics.median(packed) / statistics.median(folder)
    return f"  {label}: packed / folder, ratio of the medians {ratio:.2f}{aim}"


# ----- size -----------------------------------------------------------------

def zip_sizes(folder, names):
    """(zip -r, python3 -m zipfile -c) sizes of a zip of names in folder."""
    sizes = []
    out = folder.parent / (folder.name + ".zip")
    for command in (["zip", "-q", "-r", "-X", str(out), *names],
                    [sys.executable, "-m", "zipfile", "-c", str(out), *names]):
        if out.exists():
            out.unlink()
        subprocess.run(command, cwd=folder, check=True)
        sizes.append(out.stat().st_size)
        out.unlink()
    return sizes


def folder_sizes(folder):
    """What a sample setup folder holds: its files and bytes (and its space on disk),
    setup.exe's bytes, and zips of the whole folder and of Setup.ini, ui and data."""
    files, total = tree_size(folder)
    exe = (folder / "setup.exe").stat().st_size
    disk = int(subprocess.run(["du", "-s", "-B1", str(folder)], check=True, capture_output=True,
                              text=True).stdout.split()[0])
    return {"files": files, "bytes": total, "disk": disk, "exe": exe, "bytes without exe": total - exe,
            "zip all": zip_sizes(folder, ["setup.exe", "Setup.ini", "ui", "data"]),
            "zip skin": zip_sizes(folder, ["Setup.ini", "ui", "data"])}


def packed_sizes(path):
    """The packed file's parts, read from its trailer."""
    exe = path.read_bytes()
    if exe[-8:] != MAGIC:
        raise RuntimeError(f"{path} ends in no packed trailer")
    offset = int.from_bytes(exe[-TRAILER:-TRAILER + 8], "little")
    size = int.from_bytes(exe[-TRAILER + 8:-TRAILER + 16], "little")
    with zipfile.ZipFile(BytesIO(exe[offset:offset + size])) as archive:
        entries = archive.infolist()
    deflated = sum(1 for e in entries if e.compress_type == zipfile.ZIP_DEFLATED)
    return {"bytes": len(exe), "program": offset, "archive": size,
            "padding": len(exe) - TRAILER - offset - size, "entries": len(entries),
            "deflated": deflated, "unpacked": sum(e.file_size for e in entries)}


def print_sizes(folder, packed):
    def kib(n):
        return f"{n:,} bytes ({n / 1024:,.0f} KiB)"
    print("size (the same folder, laid out once more):")
    print(f"  folder form      : {folder['files']:,} files, {kib(folder['bytes'])} "
          f"({folder['disk'] / 1024:,.0f} KiB on disk by du)")
    print(f"    of which setup.exe {kib(folder['exe'])}; Setup.ini, ui and data "
          f"{kib(folder['bytes without exe'])}")
    print(f"  packed setup.exe : {kib(packed['bytes'])}: program {kib(packed['program'])}, "
          f"archive {kib(packed['archive'])} ({packed['entries']:,} entries, {packed['deflated']:,} "
          f"deflated, {packed['unpacked']:,} bytes unpacked), padding {packed['padding']} "
          f"and trailer {TRAILER}")
    for label, index in (("zip -r (deflate -6)", 0), ("python3 -m zipfile -c", 1)):
        whole, skin = folder["zip all"][index], folder["zip skin"][index]
        print(f"  {label:21}: whole folder {kib(whole)}; Setup.ini, ui and data {kib(skin)}")
    whole, skin = folder["zip all"][0], folder["zip skin"][0]
    print(f"  packed / zip -r of the whole folder {packed['bytes'] / whole:.3f}; archive / zip -r of "
          f"Setup.ini, ui and data {packed['archive'] / skin:.3f}; packed / folder bytes "
          f"{packed['bytes'] / folder['bytes']:.3f} (on disk {packed['bytes'] / folder['disk']:.3f})")


# ----- installs -------------------------------------------------------------

class Installs:
    """The sample's install in one run, its figures."""

    def __init__(self, name, run, button, expected):
        """button: a point of the Install button and its highlight's colour there
        (install_button()); expected: tree_size of the data folder."""
        from skin_run import Machine
        self.name, self.run, self.button, self.expected = name, run, button, expected
        machine = Machine(run)
        self.dest = machine.desktop / "SampleApp" / "Program"  # InstallDest
        self.record = machine.windows / "SampleSetupUninstall.ini"  # UninstallIni
        self.clear = (machine.desktop / "SampleApp", machine.programs / "サンプル")
        self.times, self.befores, self.copies, self.peaks = [], [], [], []
        self.program_cpu, self.server_cpu = [], []

    def once(self):
        took, memory, got, cpu = install_once(self.run, self.dest, self.record, button=self.button,
                                              clear=self.clear, question="n")
        if got != self.expected:
            raise RuntimeError(f"{self.name}: the install copied {got}, expected {self.expected}")
        self.times.append(took[0])
        self.befores.append(took[1])
        self.copies.append(took[2])
        self.peaks.append(memory[2])
        self.program_cpu.append(cpu[0])
        self.server_cpu.append(cpu[1])


def install_button(folder):
    """(x, y, rgb): a point of the sample's Install button in the window and the colour
    its highlight shows there ((12, 10) in the picture, where scripts/demo.py looks)."""
    keys = ini_values((folder / "Setup.ini").read_bytes())
    plain, lit = (picture_pixel(folder / "ui" / name, 12, 10) for name in ("Install.png", "Install_h.png"))
    if plain == lit:
        raise RuntimeError("the sample's Install highlight shows no change at (12, 10)")
    return int(keys["InstallButtonX"]) + 12, int(keys["InstallButtonY"]) + 10, lit


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--reps", type=int, default=9, help="first-frame repetitions of each form")
    parser.add_argument("--install-reps", type=int, default=5, help="installs of each form")
    parser.add_argument("--exe", type=Path, help="the setup.exe of both forms (default build/setup.exe)")
    args = parser.parse_args()
    prepare_environment()
    use_screen(*SCREEN)
    from harness import SetupRun

    folder_run = SetupRun("packed_form_folder", ini=None, start=False)
    packed_run = SetupRun("packed_form_packed", ini=None, start=False)
    subjects = []
    with folder_run, packed_run:
        try:
            exe = args.exe.resolve() if args.exe else None
            print(f"setup.exe: {exe or BUILD / 'setup.exe'}")
            folder = sample_subject("sample, folder form", folder_run, exe=exe)
            button, data = install_button(folder_run.skin), tree_size(folder_run.skin / "data")
            folder_installs = Installs("folder form", folder_run, button, data)
            packed = sample_subject("sample, packed", packed_run, packed=True, exe=exe)
            packed_installs = Installs("packed", packed_run, button, data)
            # The same folder once more, loose, for its sizes and zips.
            loose = packed_run.scratch / "loose"
            loose.mkdir()
            subprocess.run([sys.executable, str(ROOT / "scripts" / "demo.py"), "--layout", str(loose)],
                           check=True)
            if exe:
                shutil.copy2(exe, loose / "setup.exe")
            before = folder_sizes(loose)
            if sorted(p.name for p in packed_run.skin.iterdir()) != ["setup.exe"]:
                raise RuntimeError("the packed setup.exe is not alone in its folder")
            after = packed_sizes(packed_run.skin / "setup.exe")
            print_sizes(before, after)
            print()

            subjects = [folder, packed]
            time_subjects(subjects, 0)
            for subject in alternating(args.reps, subjects):
                subject.times.append(subject.once())
            print_times(subjects, args.reps)
            print(ratio_line("first frame", folder.times, packed.times))
            print()

            for installs in alternating(args.install_reps, [folder_installs, packed_installs]):
                installs.once()
            print(f"install of the sample ({folder_installs.expected[0]:,} files, "
                  f"{folder_installs.expected[1]:,} bytes; Return in the chooser to the uninstall "
                  f"record), {args.install_reps} repetitions each, alternating:")
            for installs in (folder_installs, packed_installs):
                print(f"  {installs.name:12}: {summary(installs.times)}")
                print(f"  {'':12}  all: {', '.join(f'{t:.3f}' for t in installs.times)}")
                print(f"  {'':12}  Return to the destination made: {summary(installs.befores)}")
                print(f"  {'':12}  the copy (destination made to record): {summary(installs.copies)}")
                print(f"  {'':12}  CPU time of setup.exe: {summary(installs.program_cpu)}")
                print(f"  {'':12}  CPU time of the wineserver: {summary(installs.server_cpu)}")
                print(f"  {'':12}  VmHWM at the end: {summary(installs.peaks, 'MiB', 1 / 1024, 1)}")
            print(ratio_line("install", folder_installs.times, packed_installs.times))
            print(ratio_line("the copy alone", folder_installs.copies, packed_installs.copies))
            print(ratio_line("CPU time of setup.exe", folder_installs.program_cpu,
                             packed_installs.program_cpu, aim=""))
            print(ratio_line("CPU time of the wineserver", folder_installs.server_cpu,
                             packed_installs.server_cpu, aim=""))
        finally:
            for subject in subjects:  # before the X servers go
                if subject.reader:
                    subject.reader.close()


if __name__ == "__main__":
    main()
