#!/usr/bin/env python3
"""Draws the sample skin's pictures (demo/skin/ui/*.png), so that the committed
pictures can be made again: python3 demo/make_skin.py.

ImageMagick draws (shapes, gradients and the Japanese text, in IPA P Gothic
from Debian's fonts-ipafont-gothic; scripts/setup.sh installs both), and this
script writes each picture as an 8-bit RGB PNG. The layout below is the
one demo/skin/Setup.ini names: the script writes its layout keys there too.

The base picture is the window: its pure black pixels (0, 0, 0) are cut out,
so only the four rounded corners are black; no other pixel of it is."""

import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))
from skins import png  # noqa: E402  (the tests' PNG writer)

FONT = Path("/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf")  # fonts-ipafont-gothic

# The window and the Setup.ini keys that place things on it.
WIDTH, HEIGHT, CORNER = 560, 350, 14
PRODUCT = "サンプル インストーラ"  # the Caption, shown in the title area
TITLE = (0, 0, WIDTH, 48)          # TitleBarX, Y, Width, Height: the strip that drags the window
GROOVE = (32, 188, 496, 24)        # the progress bar's track in the base
GROOVE_FILL = "#D3DCE6"
BAR = (34, 190, 492, 20)           # ProgressBarX, Y and the bar picture's size
BUTTON_SIZE = (160, 52)
BUTTONS = {                        # name: (X, Y, label, colour top, colour bottom, icon)
    "Install": (32, 266, "インストール", "#2F9E62", "#207A4A", "install"),
    "Uninstall": (200, 266, "アンインストール", "#C2574B", "#9C3E34", "uninstall"),
    "Exit": (368, 266, "終了", "#626C7A", "#4A535F", "exit"),
}

TEXT, SOFT_TEXT = "#26313D", "#5A6675"
TITLE_TOP, TITLE_BOTTOM, OUTLINE = "#2A5383", "#1C3A5E", "#142A44"
BODY_TOP, BODY_BOTTOM = "#F7F9FC", "#E3EAF2"
RING = "#FFD34D"  # the highlights' ring


def magick(*args) -> bytes:
    """Runs ImageMagick's convert; returns what it writes to its standard output."""
    if not FONT.exists():
        sys.exit(f"make_skin: {FONT} is missing: apt-get install fonts-ipafont-gothic (scripts/setup.sh does)")
    return subprocess.run(["convert", *map(str, args)], check=True, capture_output=True).stdout


def text_width(text: str, size: int) -> int:
    return int(magick("-font", FONT, "-pointsize", size, f"label:{text}", "-format", "%w", "info:"))


def text(x, y, words, size, color):
    """Draws text with its baseline's left end at (x, y)."""
    return ["-font", FONT, "-pointsize", size, "-fill", color, "-stroke", "none",
            "-annotate", f"+{x}+{y}", words]


def raw_rgb(*drawing, size, background="black") -> bytes:
    """Draws on a canvas of size (w, h); the pixels as 8-bit RGB rows."""
    w, h = size
    return magick("-size", f"{w}x{h}", f"xc:{background}", *drawing, "-depth", "8", "rgb:-")


def gradient_box(x, y, w, h, top, bottom, radius, square_bottom=False):
    """A rounded rectangle filled with a vertical gradient, composed onto the canvas."""
    mask_bottom = h - 1 + (radius if square_bottom else 0)
    return ["(", "-size", f"{w}x{h}", f"gradient:{top}-{bottom}",
            "(", "-size", f"{w}x{h}", "xc:black", "-fill", "white",
            "-draw", f"roundrectangle 0,0 {w - 1},{mask_bottom} {radius},{radius}", ")",
            "-alpha", "off", "-compose", "copy_opacity", "-composite", ")",
            "-geometry", f"+{x}+{y}", "-compose", "over", "-composite"]


def write_png(path: Path, w: int, h: int, pixels: bytes, keep=lambda x, y: True):
    """Writes RGB rows as a PNG; pixels outside keep() become pure black, and
    pure black inside it becomes (0, 0, 1), the black that stays."""
    def at(x, y):
        if not keep(x, y):
            return (0, 0, 0)
        i = 3 * (y * w + x)
        rgb = tuple(pixels[i:i + 3])
        return (0, 0, 1) if rgb == (0, 0, 0) else rgb
    path.write_bytes(png(w, h, at))


def inside_window(x: int, y: int) -> bool:
    """The window's shape: a rectangle with rounded corners."""
    cx = min(max(x, CORNER), WIDTH - 1 - CORNER)
    cy = min(max(y, CORNER), HEIGHT - 1 - CORNER)
    return (x - cx) ** 2 + (y - cy) ** 2 <= CORNER * CORNER


def base_drawing():
    tx, ty, tw, th = TITLE
    gx, gy, gw, gh = GROOVE
    return [
        *gradient_box(0, 0, WIDTH, HEIGHT, BODY_TOP, BODY_BOTTOM, CORNER),
        # The title area: the product's name on a dark strip, a package beside it.
        *gradient_box(tx, ty, tw, th, TITLE_TOP, TITLE_BOTTOM, CORNER, square_bottom=True),
        "-fill", "#7FA8D6", "-stroke", "none",
        "-draw", "polygon 20,18 31,13 42,18 31,23",
        "-fill", "#E9F1FA", "-draw", "polygon 20,18 31,23 31,36 20,31",
        "-fill", "#C3D6EC", "-draw", "polygon 31,23 42,18 42,31 31,36",
        *text(54, 31, PRODUCT, 20, "white"),
        *text(WIDTH - 24 - text_width("Version 1.0", 12), 30, "Version 1.0", 12, "#A9C1DD"),
        # What the window is for, and where the progress shows.
        *text(32, 90, "サンプル アプリをこのコンピューターにインストールします。", 17, TEXT),
        *text(32, 120, "「インストール」を押して、インストール先のフォルダーを選んでください。", 13, SOFT_TEXT),
        *text(32, 142, "ファイルのコピーが終わると、スタート メニューにショートカットができます。", 13, SOFT_TEXT),
        *text(32, 180, "進行状況", 12, SOFT_TEXT),
        "-fill", GROOVE_FILL, "-stroke", "#AEBBCB", "-strokewidth", "1",
        "-draw", f"roundrectangle {gx},{gy} {gx + gw - 1},{gy + gh - 1} 6,6",
        "-stroke", "#C4CFDB", "-draw", f"line {gx + 4},{gy + 1} {gx + gw - 5},{gy + 1}",
        "-stroke", "#D0D8E2", "-draw", f"line 32,244 {WIDTH - 33},244",
        # The outline of the whole window.
        "-fill", "none", "-stroke", OUTLINE, "-strokewidth", "2",
        "-draw", f"roundrectangle 1,1 {WIDTH - 2},{HEIGHT - 2} {CORNER - 1},{CORNER - 1}",
    ]


ICONS = {
    # An arrow down onto a tray.
    "install": ["-draw", "polygon 7,2 13,2 13,10 17,10 10,17 3,10 7,10",
                "-draw", "rectangle 1,18 19,20"],
    # A waste bin.
    "uninstall": ["-draw", "rectangle 3,5 17,7", "-draw", "rectangle 8,2 12,4",
                  "-draw", "polygon 4,8 16,8 15,20 5,20"],
    # A door with an arrow leaving it.
    "exit": ["-fill", "none", "-stroke", "white", "-strokewidth", "2",
             "-draw", "polyline 10,4 3,4 3,18 10,18",
             "-draw", "line 8,11 17,11", "-draw", "polyline 14,7 18,11 14,15"],
}


def button_drawing(name: str, lit: bool):
    x, y, label, top, bottom, icon = BUTTONS[name]
    w, h = BUTTON_SIZE
    if lit:  # brighter, with a ring: plain to see under the pointer
        top, bottom = lighter(top, 0.28), lighter(bottom, 0.22)
    size = 16
    label_width = text_width(label, size)
    group = 20 + 8 + label_width
    left = (w - group) // 2
    icon_box = ["(", "-size", "20x21", "xc:none", "-fill", "white", "-stroke", "none", *ICONS[icon], ")",
                "-geometry", f"+{left}+{(h - 21) // 2}", "-compose", "over", "-composite"]
    return [
        # The base's own pixels behind the rounded corners.
        "(", HERE / "skin" / "ui" / "base.png", "-crop", f"{w}x{h}+{x}+{y}", "+repage", ")",
        "-compose", "copy", "-composite",
        *gradient_box(0, 0, w, h, top, bottom, 8),
        "-fill", "none", "-stroke", RING if lit else lighter(bottom, -0.25), "-strokewidth", "2" if lit else "1",
        "-draw", f"roundrectangle 1,1 {w - 2},{h - 2} 7,7" if lit else f"roundrectangle 0,0 {w - 1},{h - 1} 8,8",
        *icon_box,
        *text(left + 28, h // 2 + 6, label, size, "white"),
    ]


def bar_drawing():
    _, _, w, h = BAR
    return [
        *gradient_box(0, 0, w, h, "#4FA3F0", "#1F6FC7", 5),
        "(", "-size", f"{w}x{h}", "xc:none", "-fill", "#FFFFFF20", "-stroke", "none",
        *[arg for x in range(0, w + h, 20) for arg in ("-draw", f"polygon {x},0 {x + 10},0 {x + 10 - h},{h} {x - h},{h}")],
        ")", "-compose", "over", "-composite",
        "-fill", "#FFFFFF40", "-stroke", "none", "-draw", f"roundrectangle 2,1 {w - 3},{h // 2 - 1} 4,4",
        "-fill", "none", "-stroke", "#17599F", "-strokewidth", "1",
        "-draw", f"roundrectangle 0,0 {w - 1},{h - 1} 5,5",
    ]


def lighter(color: str, amount: float) -> str:
    """The colour moved towards white (amount > 0) or black (amount < 0)."""
    rgb = [int(color[i:i + 2], 16) for i in (1, 3, 5)]
    target = 255 if amount > 0 else 0
    return "#" + "".join(f"{round(c + (target - c) * abs(amount)):02X}" for c in rgb)


def layout_keys() -> dict:
    keys = dict(zip(("TitleBarX", "TitleBarY", "TitleBarWidth", "TitleBarHeight"), TITLE))
    for name, (x, y, *_) in BUTTONS.items():
        keys.update({f"{name}ButtonX": x, f"{name}ButtonY": y})
    keys.update(ProgressBarX=BAR[0], ProgressBarY=BAR[1])
    return keys


def update_setup_ini(path: Path):
    """Sets the layout keys and the Caption in Setup.ini (Shift-JIS, CR LF), leaving every other line."""
    wanted = {**layout_keys(), "Caption": PRODUCT}
    lines = path.read_bytes().decode("cp932").split("\r\n")
    for i, line in enumerate(lines):
        key = line.split("=", 1)[0]
        if "=" in line and key in wanted:
            lines[i] = f"{key}={wanted.pop(key)}"
    if wanted:
        sys.exit(f"make_skin: {path} lacks the keys {', '.join(wanted)}")
    path.write_bytes("\r\n".join(lines).encode("cp932"))


def main():
    update_setup_ini(HERE / "skin" / "Setup.ini")
    ui = HERE / "skin" / "ui"
    ui.mkdir(parents=True, exist_ok=True)
    write_png(ui / "base.png", WIDTH, HEIGHT, raw_rgb(*base_drawing(), size=(WIDTH, HEIGHT)), inside_window)
    w, h = BUTTON_SIZE
    for name in BUTTONS:
        write_png(ui / f"{name}.png", w, h, raw_rgb(*button_drawing(name, False), size=BUTTON_SIZE))
        write_png(ui / f"{name}_h.png", w, h, raw_rgb(*button_drawing(name, True), size=BUTTON_SIZE))
    _, _, bw, bh = BAR
    write_png(ui / "ProgressBar.png", bw, bh, raw_rgb(*bar_drawing(), size=(bw, bh), background=GROOVE_FILL))


if __name__ == "__main__":
    main()
