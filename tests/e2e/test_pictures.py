#!/usr/bin/env python3
"""Skin pictures as a skin author ships them: each of the six file forms (and a
file without extension) gives the window the base picture's size; missing and
unsuitable pictures are reported by name, and start-up goes on (a base that
cannot be loaded is grey, so the window shows)."""

import unittest

from harness import BACKDROP_COLOR, SetupRun
from skin_run import MAIN_CLASS, Screen
from skins import (BASE, bmp, bmp_8bit, ini_bytes, jpeg, png, scramble_all, scramble_bmp, solid,
                   standard_skin)

NOT_FOUND = "サポートしている拡張子を持つ画像ファイル {} は存在しません。"
NOT_24_BIT = "画像ファイル {} は24bitグラフィックではありません。\n24bitグラフィック以外は読み込めません。"
NOT_RGB_PNG = ("画像ファイル {} は 24bit PNG または 24bitアルファチャンネル付きPNG ではありません。\n"
               "24bit PNG 及び 24bit アルファチャンネル付きPNG 以外は読み込めません。")
COLOR = (30, 140, 220)
GREY = (128, 128, 128)


def run_with_base(name: str, base_files: dict) -> SetupRun:
    """The standard skin, with its base picture replaced by base_files."""
    skin = standard_skin()
    del skin.pictures["base"]
    files = skin.files()
    files.update(base_files)
    return SetupRun(name, ini=ini_bytes(skin.keys, Caption="pictures"), files=files)


class BasePictureForms(unittest.TestCase):

    def assert_window(self, base_files: dict, size, color=None):
        with run_with_base(self.id().split(".")[-1], base_files) as run:
            screen = Screen(run)
            self.assertEqual((screen.window.width, screen.window.height), size)
            self.assertEqual(screen.origin, ((1024 - size[0]) // 2, (768 - size[1]) // 2))
            if color:
                screen.wait_pixel(5, 5, color)
            self.assertFalse([w for w in run.windows() if w.is_dialog])

    def test_bmp(self):
        self.assert_window({"ui/base.bmp": bmp(330, 250, solid(COLOR))}, (330, 250), COLOR)

    def test_scrambled_bmp(self):
        self.assert_window({"ui/base.ieg": scramble_bmp(bmp(331, 251, solid(COLOR)))}, (331, 251), COLOR)

    def test_png(self):
        self.assert_window({"ui/base.png": png(332, 252, solid(COLOR))}, (332, 252), COLOR)

    def test_scrambled_png(self):
        self.assert_window({"ui/base.iep": scramble_all(png(333, 253, solid(COLOR), 6))}, (333, 253), COLOR)

    def test_jpeg(self):
        self.assert_window({"ui/base.jpg": jpeg(334, 254, (40, 140, 220))}, (334, 254))

    def test_scrambled_jpeg(self):
        self.assert_window({"ui/base.iej": scramble_all(jpeg(335, 255, (40, 140, 220)))}, (335, 255))

    def test_file_without_extension_is_read_as_bmp(self):
        self.assert_window({"ui/base": bmp(336, 256, solid(COLOR))}, (336, 256), COLOR)

    def test_scrambled_png_is_preferred_to_bmp(self):
        self.assert_window({"ui/base.iep": scramble_all(png(337, 257, solid(COLOR))),
                            "ui/base.bmp": bmp(100, 100, solid(COLOR))}, (337, 257), COLOR)


class UnsuitablePictures(unittest.TestCase):

    def assert_box_then_window(self, base_files: dict, text: str, size):
        with run_with_base(self.id().split(".")[-1], base_files) as run:
            box = run.wait_message_box()
            self.assertEqual(box.caption, "Graphics File Open Error")
            self.assertEqual(box.text, text)
            self.assertEqual(box.owner, 0, "the base picture loads before the window exists")
            run.press_message_box_ok(box)
            screen = Screen(run)
            self.assertEqual((screen.window.width, screen.window.height), size)
            self.assertEqual(screen.origin, ((1024 - size[0]) // 2, (768 - size[1]) // 2))
            screen.wait_pixel(2, 2, GREY)

    def test_a_folder_without_ui_reports_each_picture_then_shows_a_grey_window(self):
        keys = standard_skin().keys  # buttons at y 250, each missing one a black 640 x 480 plane
        with SetupRun(self._testMethodName, ini=ini_bytes(keys, Caption="no ui"), backdrop=True) as run:
            for name in ("base", "Install", "Uninstall", "Exit", "Install_h", "Uninstall_h", "Exit_h",
                         "ProgressBar"):
                box = run.wait_message_box()
                self.assertEqual((box.caption, box.text),
                                 ("Graphics File Open Error", NOT_FOUND.format("ui\\" + name)))
                run.press_message_box_ok(box)
            screen = Screen(run)
            self.assertEqual((screen.window.width, screen.window.height), (640, 480))
            screen.wait_pixel(630, 240, GREY)
            image = run.capture()
            shown = {image.pixel(*screen.at(x, y)) for x in range(0, 640, 5) for y in range(0, 480, 5)}
            self.assertEqual(shown, {GREY, (0, 0, 0)}, "every pixel is on the screen: grey, or a button's black")
            self.assertNotIn(BACKDROP_COLOR, shown)
            self.assertFalse([w for w in run.windows() if w.is_dialog], "eight boxes, no more")
            run.key("alt+F4", window=screen.window)
            self.assertEqual(run.exit_code(timeout=15), 0)

    def test_missing_base_picture_gives_not_found_and_a_640_by_480_window(self):
        self.assert_box_then_window({}, NOT_FOUND.format("ui\\base"), (640, 480))

    def test_8_bit_bmp_is_refused(self):
        self.assert_box_then_window({"ui/base.bmp": bmp_8bit(50, 40)},
                                    NOT_24_BIT.format("ui\\base.bmp"), (640, 480))

    def test_palette_png_is_refused_and_keeps_its_size(self):
        self.assert_box_then_window({"ui/base.png": png(350, 260, solid(COLOR), 3)},
                                    NOT_RGB_PNG.format("ui\\base.png"), (350, 260))


if __name__ == "__main__":
    unittest.main(verbosity=2)
