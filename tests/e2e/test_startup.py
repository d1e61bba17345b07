#!/usr/bin/env python3
"""Start-up of setup.exe: a missing or broken Setup.ini ends in one error box,
a valid one opens the borderless main window centred on the screen (one larger
than the work area at the work area's corner), and a program that cannot make
its window (no display) ends by itself with code 1."""

import unittest

from skins import Picture, ini_bytes, solid, standard_skin
from harness import (SetupRun, WS_BORDER, WS_CAPTION, WS_POPUP, WS_THICKFRAME,
                     SCREEN_HEIGHT, SCREEN_WIDTH, wait_for)
from skin_run import Screen

BROKEN_INI_TEXT = "Setup.iniファイルが壊れているか、存在しないため、インストーラを起動できません。"
MAIN_CLASS = "Develop by Vantorel."
CAPTION = "テスト用インストーラ"


class StartupTest(unittest.TestCase):

    def run_setup(self, **options) -> SetupRun:
        return SetupRun(self._testMethodName, **options)

    def assert_broken_ini_box_then_exit(self, ini):
        with self.run_setup(ini=ini) as run:
            box = run.wait_message_box(timeout=15)
            self.assertEqual(box.caption, "Error")
            self.assertEqual(box.owner, 0, "the box has no owner window")
            self.assertEqual(box.text, BROKEN_INI_TEXT)
            self.assertEqual(box.buttons, ["OK"])
            self.assertEqual(run.program_windows(), [box], "the box is the program's only window")

            self.assertEqual(run.press_message_box_ok(box), "key")
            self.assertEqual(run.exit_code(timeout=20), 0)

    def test_folder_without_setup_ini_shows_error_and_exits_0(self):
        self.assert_broken_ini_box_then_exit(None)

    def test_setup_ini_with_section_header_shows_error_and_exits_0(self):
        self.assert_broken_ini_box_then_exit(b"[Setup]\r\nCaption=x\r\n")

    def test_setup_ini_with_blank_line_shows_error_and_exits_0(self):
        self.assert_broken_ini_box_then_exit(b"   \r\n")

    @staticmethod
    def skin_files(width=640, height=480, drop=()):
        skin = standard_skin()
        skin.pictures["base"] = Picture(width, height, solid((90, 100, 110)))
        for name in drop:
            del skin.pictures[name]
        return skin.files()

    def test_valid_setup_ini_opens_borderless_main_window_centred(self):
        with self.run_setup(ini=f"Caption={CAPTION}\r\n".encode("cp932"),
                            files=self.skin_files()) as run:
            window = run.wait_window(cls=MAIN_CLASS, timeout=15)
            self.assertEqual(window.title, CAPTION)
            self.assertTrue(window.style & WS_POPUP, f"style {window.style:#x} is a popup")
            for bit in (WS_CAPTION, WS_BORDER, WS_THICKFRAME):
                self.assertFalse(window.style & bit, f"style {window.style:#x} has no {bit:#x}")
            self.assertEqual((window.width, window.height), (640, 480))
            self.assertEqual((window.left, window.top),
                             ((SCREEN_WIDTH - 640) // 2, (SCREEN_HEIGHT - 480) // 2))
            self.assertEqual((window.left, window.top), (192, 144))
            self.assertFalse([w for w in run.windows() if w.is_dialog], "no message box")

            run.send_close(window)
            self.assertEqual(run.exit_code(timeout=20), 0)

    def test_a_base_larger_than_the_work_area_opens_at_its_corner_and_drags_by_its_title(self):
        # A 40-pixel task bar along the top of the 1024 x 768 screen.
        with self.run_setup(ini=ini_bytes(standard_skin().keys, Caption="large"),
                            files=self.skin_files(1100, 800), work_area=(0, 40, 1024, 728)) as run:
            screen = Screen(run, timeout=15)
            self.assertEqual((screen.window.width, screen.window.height), (1100, 800))
            self.assertEqual(screen.origin, (0, 40))
            screen.wait_pixel(0, 0, (90, 100, 110))
            screen.move(200, 20)  # the title area: (0, 0) to (400, 40)
            run.mousedown()
            run.move(200 + 60, 60 + 40)
            run.move(200 + 70, 60 + 45)
            run.mouseup()
            wait_for(lambda: (screen.refresh(), screen.origin)[1] == (70, 85), 10,
                     what="the window to follow the pointer", describe=lambda: f"origin {screen.origin}")
            screen.wait_pixel(0, 0, (90, 100, 110))
            run.send_close(screen.window)
            self.assertEqual(run.exit_code(timeout=20), 0)

    def test_closing_while_a_picture_message_is_up_ends_cleanly(self):
        with self.run_setup(ini=b"Caption=closing\r\n",
                            files=self.skin_files(drop=("Install", "Exit"))) as run:
            box = run.wait_message_box(timeout=15)
            main = run.wait_window(cls=MAIN_CLASS)
            self.assertEqual(box.owner, main.hwnd)
            run.send_close(main)
            self.assertEqual(run.exit_code(timeout=20), 0)

    def test_without_display_exits_1_by_itself(self):
        with self.run_setup(ini=f"Caption={CAPTION}\r\n".encode("cp932"), display=False) as run:
            self.assertEqual(run.exit_code(timeout=40), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
