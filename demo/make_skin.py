#!/usr/bin/env python3
"""Draws the sample skin (demo/skin/ui/*.png) and writes its Setup.ini, so that
the committed pictures can be made again: python3 demo/make_skin.py.
Pure black pixels are cut out of the window: the rounded corners and the
round hole beside the title are black on purpose."""

import math
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))
from skins import png  # noqa: E402  (the tests' PNG writer)

WIDTH, HEIGHT = 480, 320
RADIUS = 28
HOLE = (440, 18, 9)  # a round hole at the title's right end: centre x, y and radius


def rounded_inside(x, y, w, h, r):
    cx = min(max(x, r), w - 1 - r)
    cy = min(max(y, r), h - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def base(x, y):
    if not rounded_inside(x, y, WIDTH, HEIGHT, RADIUS):
        return (0, 0, 0)
    if (x - HOLE[0]) ** 2 + (y - HOLE[1]) ** 2 <= HOLE[2] ** 2:
        return (0, 0, 0)
    if y < 36:  # title strip
        return (30, 50 + y, 110 + y)
    t = y / HEIGHT
    wave = 8 * math.sin(x / 37.0) * math.cos(y / 23.0)
    r = int(40 + 30 * t + wave)
    g = int(90 + 70 * t + wave)
    b = int(150 + 60 * t)
    if 196 <= y <= 230 and 36 <= x <= 444:  # a groove where the progress bar runs
        return (max(r - 25, 1), max(g - 25, 1), max(b - 25, 1))
    return (r, g, b)


def button(color, light=False, icon=None):
    w, h = 120, 44

    def at(x, y):
        if not rounded_inside(x, y, w, h, 10):
            return (64, 146, 198)  # about the base's colour behind the buttons, never black
        k = 1.25 if light else 1.0
        shade = 1.0 - 0.35 * y / h
        c = tuple(min(255, int(v * shade * k) + (40 if light else 0)) for v in color)
        if icon and icon(x - w / 2, y - h / 2):
            return (250, 250, 250)
        return c
    return w, h, at


def arrow_down(dx, dy):
    return (abs(dx) <= 3 and -12 <= dy <= 4) or (dy > 0 and abs(dx) <= 10 - dy and dy <= 10)


def cross(dx, dy):
    return (abs(dx - dy) <= 2 or abs(dx + dy) <= 2) and abs(dx) <= 10 and abs(dy) <= 10


def power(dx, dy):
    ring = 81 <= dx * dx + dy * dy <= 144 and not (dy < 0 and abs(dx) < 5)
    return ring or (abs(dx) <= 2 and -14 <= dy <= -2)


def bar(x, y):
    t = x / 400
    return (int(250 - 60 * t), int(180 + 60 * t), int(40 + 30 * math.sin(y / 3)))


def main():
    ui = HERE / "skin" / "ui"
    ui.mkdir(parents=True, exist_ok=True)
    (ui / "base.png").write_bytes(png(WIDTH, HEIGHT, base))
    pictures = {
        "Install": button((60, 170, 90), icon=arrow_down),
        "Install_h": button((60, 170, 90), True, arrow_down),
        "Uninstall": button((210, 120, 40), icon=cross),
        "Uninstall_h": button((210, 120, 40), True, cross),
        "Exit": button((120, 120, 140), icon=power),
        "Exit_h": button((120, 120, 140), True, power),
    }
    for name, (w, h, at) in pictures.items():
        (ui / f"{name}.png").write_bytes(png(w, h, at))
    (ui / "ProgressBar.png").write_bytes(png(400, 18, bar))


if __name__ == "__main__":
    main()
