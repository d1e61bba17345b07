"""Skins that the end-to-end tests lay out: picture files written byte by byte
(BMP and PNG by hand, JPEG through ImageMagick), so that every pixel is known,
and a standard skin with its Setup.ini keys.

    files = standard_skin().files()            # {"ui/base.bmp": b"...", ...}
    ini = ini_bytes(standard_skin().keys, Caption="テスト")
"""

import struct
import subprocess
import zlib
from dataclasses import dataclass, field
from typing import Callable, Dict, Tuple

Rgb = Tuple[int, int, int]
ColorAt = Callable[[int, int], Rgb]
SCRAMBLE = 0xA5


def solid(rgb: Rgb) -> ColorAt:
    return lambda x, y: rgb


def bmp(width: int, height: int, color_at: ColorAt, top_down: bool = False) -> bytes:
    """A 24-bit uncompressed BMP."""
    stride = (3 * width + 3) & ~3
    rows = []
    for row in range(height):
        y = row if top_down else height - 1 - row
        line = bytearray()
        for x in range(width):
            r, g, b = color_at(x, y)
            line += bytes((b, g, r))
        line += b"\0" * (stride - 3 * width)
        rows.append(bytes(line))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def bmp_8bit(width: int, height: int) -> bytes:
    """A palette BMP, which the program refuses."""
    stride = (width + 3) & ~3
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    pixels = b"\x01" * stride * height
    offset = 54 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 0, 0, 256, 0)
    return header + info + palette + pixels


def _chunk(kind: bytes, data: bytes) -> bytes:
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width: int, height: int, color_at: ColorAt, color_type: int = 2) -> bytes:
    """An 8-bit PNG: colour type 2 (RGB), 6 (RGBA, opaque) or 3 (palette of the colours used)."""
    raw = bytearray()
    palette: Dict[Rgb, int] = {}
    for y in range(height):
        raw.append(0)
        for x in range(width):
            c = color_at(x, y)
            if color_type == 3:
                raw.append(palette.setdefault(c, len(palette)))
            else:
                raw += bytes(c) + (b"\xff" if color_type == 6 else b"")
    ihdr = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    chunks = _chunk(b"IHDR", ihdr)
    if color_type == 3:
        chunks += _chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    return b"\x89PNG\r\n\x1a\n" + chunks + _chunk(b"IDAT", zlib.compress(bytes(raw))) + _chunk(b"IEND", b"")


def jpeg(width: int, height: int, rgb: Rgb) -> bytes:
    """A JPEG of one colour, made by ImageMagick."""
    color = "#%02X%02X%02X" % rgb
    return subprocess.run(["convert", "-size", f"{width}x{height}", f"xc:{color}",
                           "-quality", "100", "jpg:-"], check=True, capture_output=True).stdout


def scramble_all(data: bytes) -> bytes:
    """The .iep and .iej forms: every byte XOR-ed."""
    return bytes(b ^ SCRAMBLE for b in data)


def scramble_bmp(data: bytes) -> bytes:
    """The .ieg form: the bytes before the pixel data XOR-ed, the pixels plain."""
    offset = struct.unpack_from("<I", data, 10)[0]
    return bytes(b ^ SCRAMBLE for b in data[:offset]) + data[offset:]


def ini_bytes(keys: Dict[str, object], **more) -> bytes:
    """Setup.ini in Shift-JIS with CR LF line ends."""
    merged = {**keys, **more}
    return "".join(f"{k}={v}\r\n" for k, v in merged.items()).encode("cp932")


@dataclass
class Picture:
    width: int
    height: int
    color_at: ColorAt

    def bmp(self) -> bytes:
        return bmp(self.width, self.height, self.color_at)


# Colours of the standard skin; none is the backdrop's #12AB34.
BASE = (200, 180, 160)
NEAR_BLACK = (0, 0, 1)
INSTALL, INSTALL_H = (220, 40, 40), (250, 120, 120)
UNINSTALL, UNINSTALL_H = (40, 40, 220), (120, 120, 250)
EXIT, EXIT_H = (40, 160, 40), (120, 230, 120)
BAR = (240, 200, 0)


@dataclass
class Skin:
    """A skin: pictures by name (without extension, written as BMP unless
    overridden) and its layout keys."""
    pictures: Dict[str, Picture]
    keys: Dict[str, object] = field(default_factory=dict)
    overrides: Dict[str, bytes] = field(default_factory=dict)  # relative path -> bytes

    def files(self) -> Dict[str, bytes]:
        out = {f"ui/{name}.bmp": p.bmp() for name, p in self.pictures.items()}
        out.update(self.overrides)
        return out


def standard_base(x: int, y: int) -> Rgb:
    """400 x 300: black outline corners, an interior black hole at
    (100..109, 100..109), a near-black pixel at (150, 120)."""
    if (x < 6 and y < 6) or (x >= 394 and y >= 294):
        return (0, 0, 0)
    if 100 <= x < 110 and 100 <= y < 110:
        return (0, 0, 0)
    if (x, y) == (150, 120):
        return NEAR_BLACK
    return BASE


def standard_skin() -> Skin:
    return Skin(
        pictures={
            "base": Picture(400, 300, standard_base),
            "Install": Picture(80, 30, solid(INSTALL)),
            "Uninstall": Picture(80, 30, solid(UNINSTALL)),
            "Exit": Picture(80, 30, solid(EXIT)),
            "Install_h": Picture(90, 36, solid(INSTALL_H)),  # larger than its button
            "Uninstall_h": Picture(80, 30, solid(UNINSTALL_H)),
            "Exit_h": Picture(80, 30, solid(EXIT_H)),
            "ProgressBar": Picture(200, 10, solid(BAR)),
        },
        keys={
            "TitleBarX": 0, "TitleBarY": 0, "TitleBarWidth": 400, "TitleBarHeight": 40,
            "InstallButtonX": 20, "InstallButtonY": 250,
            "UninstallButtonX": 150, "UninstallButtonY": 250,
            "ExitButtonX": 280, "ExitButtonY": 250,
            "ProgressBarX": 100, "ProgressBarY": 200,
            "UninstallIni": "TestSetup.ini",
        },
    )
