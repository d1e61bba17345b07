#!/usr/bin/env python3
"""Time from starting setup.exe to its first composed frame on the screen.

Two skins, measured alternately in one run on 2560 x 1440 virtual screens:
the sample skin (demo/skin, laid out by scripts/demo.py --layout) and a
generated 1920 x 1080 skin (a BMP base with rounded black corners cut out of
the window). Each repetition starts `wine setup.exe` with the prefix's
wineserver already up, then reads the screen pixels at the centres of the
Install, Uninstall and Exit buttons straight from the X server every 2 ms until
all three show their button pictures; then the program is closed with WM_CLOSE.
The first start in each prefix is reported apart (it loads Wine's DLLs cold).

Against a baseline: alternating with setup.exe, the same run times
first_frame_baseline.exe (bench/first_frame_baseline.cpp), a minimal program
that loads the same base and button pictures with the same loader, opens a
popup window of the same size and draws them once; the ratio of the medians
(setup.exe / baseline) is printed for each skin.

sample_subject() lays the sample skin out for a run, in the folder form or
packed into setup.exe (`skintool pack`); bench/packed_form.py times the two
forms against each other with this file's method.

    python3 bench/first_frame.py [--reps N]
"""

import argparse
import statistics
import shutil
import subprocess
import sys
import time

from common import (BUILD, ROOT, PixelReader, close_program, prepare_environment, start_display,
                    summary, use_screen, wait_for)

SCREEN = (2560, 1440)
BUTTONS = ("Install", "Uninstall", "Exit")


def picture_pixel(path, x, y):
    """The (r, g, b) of a picture file's pixel, by ImageMagick."""
    raw = subprocess.run(["convert", str(path), "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    return tuple(raw[:3])


def ini_values(raw: bytes) -> dict:
    values = {}
    for line in raw.decode("cp932").splitlines():
        if "=" in line and not line.startswith(";"):
            key, _, value = line.partition("=")
            values[key.strip()] = value.strip()
    return values


# ----- the generated 1920 x 1080 skin -------------------------------------

BIG_W, BIG_H, CORNER = 1920, 1080, 48
BUTTON_COLORS = {"Install": (220, 40, 40), "Uninstall": (40, 40, 220), "Exit": (40, 160, 40)}


def bmp_rows(width, height, row_bytes):
    """A 24-bit bottom-up BMP from a function giving each row's pixel bytes (b, g, r)."""
    import struct
    stride = (3 * width + 3) & ~3
    pad = b"\0" * (stride - 3 * width)
    pixels = b"".join(row_bytes(y) + pad for y in range(height - 1, -1, -1))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def big_base_row(y):
    shade = 60 + (y * 150) // BIG_H
    row = bytearray(bytes((shade, 120, 200 - shade // 2)) * BIG_W)
    # Rounded corners: black (cut out) outside a quarter circle of radius CORNER.
    dy = max(CORNER - y, y - (BIG_H - 1 - CORNER), 0)
    if dy:
        cut = CORNER - int((CORNER * CORNER - dy * dy) ** 0.5)
        row[:3 * cut] = b"\0" * (3 * cut)
        row[3 * (BIG_W - cut):] = b"\0" * (3 * cut)
    return bytes(row)


def solid_bmp(width, height, rgb):
    r, g, b = rgb
    return bmp_rows(width, height, lambda y: bytes((b, g, r)) * width)


def big_skin():
    files = {"ui/base.bmp": bmp_rows(BIG_W, BIG_H, big_base_row),
             "ui/ProgressBar.bmp": solid_bmp(800, 20, (240, 200, 0))}
    for name, rgb in BUTTON_COLORS.items():
        files[f"ui/{name}.bmp"] = solid_bmp(200, 60, rgb)
        files[f"ui/{name}_h.bmp"] = solid_bmp(200, 60, tuple(min(255, c + 80) for c in rgb))
    keys = dict(Caption="Bench 1920x1080", TitleBarX=0, TitleBarY=0, TitleBarWidth=BIG_W,
                TitleBarHeight=60, InstallButtonX=560, InstallButtonY=900,
                UninstallButtonX=860, UninstallButtonY=900, ExitButtonX=1160, ExitButtonY=900,
                ProgressBarX=560, ProgressBarY=820, UninstallIni="BenchSetup.ini")
    ini = "".join(f"{k}={v}\r\n" for k, v in keys.items()).encode("cp932")
    points = [(keys[f"{n}ButtonX"] + 100, keys[f"{n}ButtonY"] + 30, BUTTON_COLORS[n])
              for n in BUTTONS]
    return ini, files, (BIG_W, BIG_H), points


def baseline_folder(run):
    """A copy of the run's skin beside it, with the baseline program as setup.exe
    (so that the harness finds and closes its window like setup.exe's)."""
    folder = run.drive / (run.skin.name + "-baseline")
    shutil.copytree(run.skin, folder, ignore=shutil.ignore_patterns("setup.exe"))
    shutil.copy2(BUILD / "first_frame_baseline.exe", folder / "setup.exe")
    return folder


# ----- the sample skin ------------------------------------------------------

def picture_size(path):
    size = subprocess.run(["identify", "-format", "%w %h", str(path)],
                          check=True, capture_output=True, text=True).stdout.split()
    return int(size[0]), int(size[1])


def sample_subject(name, run, packed=False, exe=None):
    """The sample setup folder laid out in the run's skin folder as `scripts/demo.py
    --layout` does it (demo/skin, build/setup.exe and the generated payload), as a
    Subject. packed: then packed into one setup.exe with `skintool pack`, left alone
    in the folder (the run's Xvfb and backdrop are started first, as packing runs
    Wine). exe: another setup.exe in place of build/setup.exe."""
    subprocess.run([sys.executable, str(ROOT / "scripts" / "demo.py"), "--layout",
                    str(run.skin)], check=True)
    if exe:
        shutil.copy2(exe, run.skin / "setup.exe")
    keys = ini_values((run.skin / "Setup.ini").read_bytes())
    ui = run.skin / "ui"
    points = []
    for button in BUTTONS:
        # The button picture's centre, where the window shows it.
        w, h = picture_size(ui / f"{button}.png")
        points.append((int(keys[f"{button}ButtonX"]) + w // 2, int(keys[f"{button}ButtonY"]) + h // 2,
                       picture_pixel(ui / f"{button}.png", w // 2, h // 2)))
    size = picture_size(ui / "base.png")
    if packed:
        start_display(run)
        run.pack_skin()
    return Subject(f"{name} {size[0]}x{size[1]}", run, size, points)


# ----- one skin on its own screen ------------------------------------------

class Subject:
    def __init__(self, name, run, size, points, folder=None):
        """folder: a copy of the skin holding another program as setup.exe (the baseline)."""
        self.name, self.run, self.folder = name, run, folder
        self.size, self.window_points = size, points  # window-relative
        left, top = (SCREEN[0] - size[0]) // 2, (SCREEN[1] - size[1]) // 2
        self.points = [(left + x, top + y, rgb) for x, y, rgb in points]
        self.reader = None
        self.first = None
        self.times = []

    def shows_frame(self):
        return all(self.reader.pixel(x, y) == rgb for x, y, rgb in self.points)

    def once(self):
        run = self.run
        wait_for(lambda: not self.shows_frame(), 10, what="the previous window gone")
        start = time.monotonic()
        if self.folder is None:
            run.start_program()
        else:
            run.process = subprocess.Popen(["wine", "setup.exe"], cwd=self.folder, env=run.env(),
                                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
        wait_for(self.shows_frame, 60, interval=0.002,
                 what=f"the composed frame of {self.name}")
        took = time.monotonic() - start
        code = close_program(run)
        if code != 0:
            raise RuntimeError(f"{self.name}: setup.exe ended with {code}")
        return took


def time_subjects(subjects, reps):
    """Starts each subject once (its first start in its prefix, kept apart), then
    reps times, taking turns in the order given."""
    for subject in subjects:
        start_display(subject.run)  # once per run
        if subject.reader is None:
            subject.reader = PixelReader(subject.run.display)
        subject.first = subject.once()
    for _ in range(reps):
        for subject in subjects:
            subject.times.append(subject.once())


def print_times(subjects, reps):
    print(f"first composed frame after process start "
          f"(screen {SCREEN[0]}x{SCREEN[1]}, {reps} repetitions each, alternating):")
    for subject in subjects:
        print(f"  {subject.name:28}: {summary(subject.times)}; "
              f"first start in the prefix {subject.first:.3f} s")
        print(f"  {'':28}  all: {', '.join(f'{t:.3f}' for t in subject.times)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--reps", type=int, default=9)
    args = parser.parse_args()
    prepare_environment()
    use_screen(*SCREEN)
    from harness import SetupRun

    sample = SetupRun("first_frame_sample", ini=None, start=False)
    big_ini, big_files, big_size, big_points = big_skin()
    big = SetupRun("first_frame_1920x1080", ini=big_ini, files=big_files, start=False)
    subjects = []
    with sample, big:
        try:
            folder_form = sample_subject("sample skin", sample)
            subjects = [folder_form,
                        Subject("  baseline", sample, folder_form.size, folder_form.window_points,
                                baseline_folder(sample)),
                        Subject("generated skin 1920x1080", big, big_size, big_points),
                        Subject("  baseline", big, big_size, big_points, baseline_folder(big))]
            time_subjects(subjects, args.reps)
            print_times(subjects, args.reps)
            for program, baseline in zip(subjects[0::2], subjects[1::2]):
                ratio = statistics.median(program.times) / statistics.median(baseline.times)
                print(f"  {program.name:28}: setup.exe / baseline, ratio of the medians {ratio:.2f}")
        finally:
            for subject in subjects:  # before the X servers go
                if subject.reader:
                    subject.reader.close()


if __name__ == "__main__":
    main()
