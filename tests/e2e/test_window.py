#!/usr/bin/env python3
"""The skinned window: its shape, the composed first screen, highlights under
the pointer, dragging by the title area, and every way of ending it."""

import unittest

from harness import BACKDROP_COLOR, SetupRun, wait_for
from skin_run import CAPTION, Machine, Screen, press_install_and_confirm, skin_run
from skins import (BASE, EXIT, EXIT_H, INSTALL, INSTALL_H, NEAR_BLACK, UNINSTALL, UNINSTALL_H,
                   Picture, ini_bytes, solid, standard_skin)
from test_install import APP_KEYS, app_skin

NOT_FOUND = "サポートしている拡張子を持つ画像ファイル {} は存在しません。"


def write_record(run: SetupRun, text: bytes = b"InstallDirectory=C:\\Games"):
    (run.prefix / "drive_c" / "windows" / "TestSetup.ini").write_bytes(text)


class ShapeAndFirstScreen(unittest.TestCase):

    def test_black_pixels_are_cut_out_and_buttons_are_composed(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            self.assertEqual((screen.window.width, screen.window.height), (400, 300))
            self.assertEqual(screen.origin, (312, 234))
            screen.wait_pixel(50, 50, BASE)
            image = run.capture()
            px = lambda x, y: image.pixel(*screen.at(x, y))
            self.assertEqual(px(2, 2), BACKDROP_COLOR, "outline corner is cut out")
            self.assertEqual(px(398, 298), BACKDROP_COLOR, "outline corner is cut out")
            self.assertEqual(px(105, 105), BACKDROP_COLOR, "interior hole is cut out")
            self.assertEqual(px(150, 120), NEAR_BLACK, "red 0 green 0 blue 1 is window")
            self.assertEqual(px(6, 6), BASE)
            self.assertEqual(px(25, 255), INSTALL)
            self.assertEqual(px(155, 255), UNINSTALL)
            self.assertEqual(px(285, 255), EXIT)
            self.assertEqual(px(20 + 85, 250 + 33), BASE, "no highlight in the first screen")

    def test_exit_is_drawn_on_top_where_buttons_overlap(self):
        skin = standard_skin()
        skin.keys.update(ExitButtonX=50, ExitButtonY=260, UninstallButtonX=30, UninstallButtonY=255)
        with skin_run(self._testMethodName, skin) as run:
            screen = Screen(run)
            screen.wait_pixel(60, 270, EXIT)
            self.assertEqual(screen.pixel(35, 258), UNINSTALL)
            self.assertEqual(screen.pixel(22, 252), INSTALL)

    def test_a_click_in_a_hole_does_not_reach_the_window(self):
        skin = standard_skin()
        skin.keys.update(ExitButtonX=95, ExitButtonY=95)  # Exit lies over the interior hole
        with skin_run(self._testMethodName, skin) as run:
            screen = Screen(run)
            screen.wait_pixel(150, 115, EXIT)
            self.assertEqual(screen.pixel(105, 105), BACKDROP_COLOR)
            screen.click(105, 105)
            screen.click(106, 107)
            self.assertTrue(run.running(), "a click in the hole ended nothing")
            screen.click(150, 115)
            self.assertEqual(run.exit_code(timeout=15), 0)

    def test_a_missing_button_picture_is_reported_and_start_up_goes_on(self):
        skin = standard_skin()
        del skin.pictures["Uninstall"]
        with skin_run(self._testMethodName, skin) as run:
            box = run.wait_message_box()
            self.assertEqual(box.caption, "Graphics File Open Error")
            self.assertEqual(box.text, NOT_FOUND.format("ui\\Uninstall"))
            main = run.wait_window(cls="Develop by Vantorel.")
            self.assertEqual(box.owner, main.hwnd, "owned by the main window")
            run.press_message_box_ok(box)
            screen = Screen(run)
            # The unloaded 640 x 480 button (a new, black plane) covers the base from
            # (150, 250) to the window's edge; Exit is composed on top of it.
            screen.wait_pixel(285, 255, EXIT)
            self.assertEqual(screen.pixel(390, 290), (0, 0, 0))
            self.assertEqual(screen.pixel(140, 290), BASE)
            run.send_close(screen.window)
            self.assertEqual(run.exit_code(timeout=15), 0)


class Highlights(unittest.TestCase):

    def test_moving_onto_buttons_draws_their_highlights(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(25, 255, INSTALL)
            screen.move(30, 260)
            screen.wait_pixel(25, 255, INSTALL_H)
            self.assertEqual(screen.pixel(20 + 88, 250 + 34), INSTALL_H, "a larger highlight shows whole")
            screen.move(200, 150)
            screen.wait_pixel(25, 255, INSTALL)
            self.assertEqual(screen.pixel(20 + 88, 250 + 34), BASE, "the plain screen is back")
            screen.move(285, 255)
            screen.wait_pixel(285, 255, EXIT_H)
            screen.move(155, 255)  # Uninstall is unavailable: Exit's highlight stays
            self.assertEqual(screen.pixel(285, 255), EXIT_H)
            self.assertEqual(screen.pixel(155, 255), UNINSTALL)
            screen.move(200, 150)
            screen.wait_pixel(285, 255, EXIT)

    def test_right_and_bottom_edge_lines_count_as_inside(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(285, 255, EXIT)
            screen.move(280 + 80, 250 + 30)
            screen.wait_pixel(285, 255, EXIT_H)
            screen.move(280 + 81, 250 + 30)
            screen.wait_pixel(285, 255, EXIT)

    def test_with_a_record_install_is_unavailable_and_uninstall_highlights(self):
        with skin_run(self._testMethodName, start=False) as run:
            write_record(run)
            run.start()
            screen = Screen(run)
            screen.wait_pixel(25, 255, INSTALL)
            screen.move(30, 260)
            screen.move(31, 261)
            screen.move(155, 255)
            screen.wait_pixel(155, 255, UNINSTALL_H)
            self.assertEqual(screen.pixel(25, 255), INSTALL, "Install never highlighted")
            screen.click(30, 260)  # Install does nothing
            self.assertTrue(run.running())
            self.assertFalse([w for w in run.windows() if w.is_dialog], "no box from Install")


class DraggingAndEnding(unittest.TestCase):

    def test_dragging_the_title_area_moves_the_window(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(50, 50, BASE)
            start = screen.origin
            screen.move(200, 20)
            run.mousedown()
            run.move(start[0] + 200 + 60, start[1] + 20 + 40)
            run.move(start[0] + 200 + 70, start[1] + 20 + 45)
            run.mouseup()
            wait_for(lambda: (screen.refresh(), screen.origin)[1] == (start[0] + 70, start[1] + 45),
                     10, what="the window to follow the pointer",
                     describe=lambda: f"origin {screen.origin}")
            moved = screen.origin
            # The picture itself is on the X screen at the new place, not only the Win32 rectangle.
            screen.wait_pixel(50, 50, BASE)
            screen.move(200, 150)  # below the title area
            run.mousedown()
            run.move(moved[0] + 200 + 50, moved[1] + 150 + 50)
            run.mouseup()
            screen.refresh()
            self.assertEqual(screen.origin, moved)

    def test_release_on_exit_ends_with_code_0(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(285, 255, EXIT)
            screen.click(300, 260)
            self.assertEqual(run.exit_code(timeout=15), 0)

    def test_alt_f4_ends_with_code_0(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(50, 50, BASE)
            run.key("alt+F4", window=screen.window)
            self.assertEqual(run.exit_code(timeout=15), 0)

    def test_wm_close_from_outside_ends_with_code_0(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            run.send_close(screen.window)
            self.assertEqual(run.exit_code(timeout=15), 0)

    def test_other_keys_and_right_clicks_change_nothing(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(285, 255, EXIT)
            run.key("F2", "F3", "Escape", "Return", "a", "alt+x", window=screen.window)
            screen.click(300, 260, button=3)
            screen.click(30, 260, button=3)
            screen.move(200, 150)
            screen.wait_pixel(285, 255, EXIT)
            self.assertTrue(run.running())
            self.assertEqual([w.cls for w in run.program_windows()], ["Develop by Vantorel."])

    def test_a_press_on_install_released_over_exit_runs_exit(self):
        # A command runs on the release alone, wherever the button went down.
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_highlight(25, 255, INSTALL_H)
            run.mousedown()
            screen.move(300, 260)
            run.mouseup()
            self.assertEqual(run.exit_code(timeout=15), 0)

    def test_while_the_copy_runs_only_dragging_reacts(self):
        skin = app_skin()
        for i in range(4000):  # their byte-by-byte tails keep the copy busy for seconds
            skin.overrides[f"data/many/f{i:04d}.dat"] = b"p" * 1000
        with skin_run(self._testMethodName, skin, **APP_KEYS) as run:
            machine = Machine(run)
            screen = press_install_and_confirm(run)
            dest = machine.desktop / "Games" / "MyApp" / "many"
            wait_for(lambda: dest.exists() and any(dest.iterdir()), 20, what="the copy to start")
            start = screen.origin
            # Hover and a release on Exit, and Alt+F4, then a drag: the window
            # handles them in that order, so once it has moved it has ignored the rest.
            screen.click(300, 260)
            run.key("alt+F4", window=screen.window)
            screen.move(200, 20)
            run.mousedown()
            run.move(start[0] + 200 + 30, start[1] + 20 + 20)
            run.mouseup()
            wait_for(lambda: (screen.refresh(), screen.origin)[1] == (start[0] + 30, start[1] + 20),
                     10, what="the window to follow the pointer")
            self.assertFalse(machine.record.exists(), "all of it happened while the copy ran")
            self.assertTrue(run.running())
            self.assertEqual(screen.pixel(285, 255), BASE, "no button, no highlight while busy")
            wait_for(machine.record_written, 60, what="the install to finish")
            screen.wait_highlight(285, 255, EXIT_H)
            self.assertTrue(run.running())

    def test_a_repeated_wm_destroy_does_no_harm(self):
        with skin_run(self._testMethodName) as run:
            screen = Screen(run)
            screen.wait_pixel(50, 50, BASE)
            # Alt+F4 held down: one WM_DESTROY is posted per key repeat.
            run.focus(screen.window)
            run.xdotool("key", "--repeat", "6", "--delay", "1", "alt+F4")
            self.assertEqual(run.exit_code(timeout=15), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
