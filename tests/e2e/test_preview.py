#!/usr/bin/env python3
"""skintool preview against the real window: the preview of the first screen
and of the Install highlight, made by skintool.exe under Wine, equal a
screenshot of setup.exe's window pixel for pixel inside the window (pixels
the preview makes transparent show the backdrop through the window)."""

import subprocess
import unittest
from pathlib import Path

from harness import BACKDROP_COLOR, SetupRun, wait_for
from skin_run import CAPTION, Screen
from skins import INSTALL, INSTALL_H, ini_bytes, standard_skin
from test_skin_tool import skintool_exe


def rgba_of(png: Path):
    """(width, height, RGBA bytes) of a PNG, through ImageMagick."""
    size = subprocess.run(["identify", "-format", "%w %h", str(png)], check=True,
                          capture_output=True, text=True).stdout.split()
    data = subprocess.run(["convert", str(png), "-depth", "8", "rgba:-"], check=True,
                          capture_output=True).stdout
    return int(size[0]), int(size[1]), data


class PreviewMatchesTheWindow(unittest.TestCase):

    def preview(self, run: SetupRun, name: str, *options) -> Path:
        out = run.scratch / name
        code = run.run_wine(skintool_exe(), "preview", ".", f"Y:\\{name}", *options,
                            output=run.scratch / "skintool.out")
        self.assertEqual(code, 0, (run.scratch / "skintool.out").read_text(errors="replace"))
        written = run.drive / name
        written.replace(out)
        return out

    def assert_window_shows(self, screen: Screen, png: Path):
        width, height, rgba = rgba_of(png)
        self.assertEqual((width, height), (screen.window.width, screen.window.height))
        shot = screen.run.capture()
        left, top = screen.origin
        wrong = []
        for y in range(height):
            for x in range(width):
                i = 4 * (y * width + x)
                expected = BACKDROP_COLOR if rgba[i + 3] == 0 else tuple(rgba[i:i + 3])
                self.assertIn(rgba[i + 3], (0, 255))
                got = shot.pixel(left + x, top + y)
                if got != tuple(expected):
                    wrong.append((x, y, expected, got))
        self.assertEqual(wrong[:5], [], f"{len(wrong)} of {width * height} pixels differ from {png.name}")

    def test_first_screen_and_install_highlight(self):
        skin = standard_skin()
        files = skin.files()
        with SetupRun("preview", ini=ini_bytes(skin.keys, Caption=CAPTION), files=files,
                      backdrop=True, start=False) as run:
            first = self.preview(run, "first.png")
            hover = self.preview(run, "hover.png", "--hover", "install")
            run.start()
            screen = Screen(run)
            run.move(1, 1)  # outside the window, which is centred: the composed screen shows
            screen.wait_pixel(30, 260, INSTALL)
            self.assert_window_shows(screen, first)

            screen.wait_highlight(60, 265, INSTALL_H)
            screen.move(60, 265)  # the last move was a pixel beside it; the same highlight either way
            screen.wait_pixel(105, 282, INSTALL_H)  # the highlight is larger than its button
            self.assert_window_shows(screen, hover)


if __name__ == "__main__":
    unittest.main(verbosity=2)
