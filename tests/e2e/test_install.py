#!/usr/bin/env python3
"""The install, end to end: folder choice, the copy, configured and start-menu
folders, shortcuts, the uninstall record, auto-start, and every way it can stop
early. The chooser is confirmed with Return, which takes its preselected
Desktop (a real folder inside the run's own prefix)."""

import json
import struct
import subprocess
import unittest

from harness import SetupRun, wait_for
from skin_run import (CAPTION, CHOOSER_TITLE, Machine, Screen, answer_box, confirm_chooser,
                      move_skin_to_desktop, skin_run)
from skins import (BAR, INSTALL, INSTALL_H, UNINSTALL_H, Picture, ini_bytes, solid,
                   standard_skin)

SHIFT_JIS_NAME = "説明つきアプリ"
CHOSEN_UNUSABLE = ("選択されたフォルダ %s は安全に使用できないため、インストールを中止しました。"
                   "別のフォルダを選択してください。")
PAYLOAD = {
    "data/readme.txt": b"read me\r\n",
    "data/bin/tool.bin": bytes(range(256)) * 9 + b"tail",  # 2 blocks and a tail
    "data/bin/empty.dat": b"",
    "data/exact.bin": b"\x01" * 1024,                    # one block, no tail
    "data/sizes/1023.bin": bytes(range(256)) * 3 + bytes(255),  # the tail alone
    "data/sizes/1025.bin": b"\x02" * 1025,               # a block and one byte
    "data/sizes/deeper/still/.hidden": b"hidden file",    # Wine shows dot files as hidden
    "data/日本語のファイル.txt": "中身".encode("cp932"),
    "data/empty folder": None,
}
APP_KEYS = dict(
    CreateDirectory0="Games", CreateDirectory1="Games\\MyApp", CreateDirectory2="Saves",
    InstallDest="Games\\MyApp",
    CreateStartmenuDirectory0="TestApp", CreateStartmenuDirectory1="TestApp\\Tools",
    CreateShortcutFrom0="Games\\MyApp\\readme.txt", CreateShortcutTo0="TestApp\\Read me.lnk",
    CreateShortcutDescription0=SHIFT_JIS_NAME,
    CreateShortcutFrom1="Games\\MyApp\\bin\\tool.bin", CreateShortcutTo1="TestApp\\Tools\\Tool.lnk",
    CreateShortcutFrom2="Games\\MyApp\\readme.txt", CreateShortcutTo2="",  # no link name: skipped
)

# Names that code page 932 cannot hold (one outside the Basic Multilingual Plane),
# and a file whose destination path is over 300 characters long.
DEEP_FOLDERS = "/".join(f"level{i}-" + "d" * 40 for i in range(7))
WIDE_PAYLOAD = {
    "data/café.txt": b"cafe",
    "data/naïve/Ωmega.bin": bytes(range(255, -1, -1)) * 5,
    "data/한글.txt": "한글".encode("utf-8"),
    "data/🎉.txt": b"party\r\n",
    f"data/{DEEP_FOLDERS}/deepest.bin": b"deep" * 300,
}

# What the record holds after the folder, in its order: the values the install used.
RECORDED_KEYS = ["InstallDest"] + [f"{stem}{i}" for stem in
                                   ("CreateDirectory", "CreateStartmenuDirectory", "CreateShortcutTo")
                                   for i in range(5)]


def full_record(directory: str, keys: dict) -> bytes:
    """The record of an install into directory. A folder that code page 932 cannot
    name leaves InstallDirectory empty and follows on a line of its own, in UTF-8
    with every byte outside printable ASCII, and '%', written as %XX."""
    try:
        lines = [f"InstallDirectory={directory}".encode("cp932")]
    except UnicodeEncodeError:
        escaped = "".join(chr(b) if 0x21 <= b <= 0x7E and b != 0x25 else f"%{b:02X}"
                          for b in directory.encode("utf-8"))
        lines = [b"InstallDirectory=", f"InstallDirectoryUnicode={escaped}".encode("ascii")]
    lines += [f"{k}={keys.get(k, '')}".encode("cp932") for k in RECORDED_KEYS]
    return b"".join(line + b"\r\n" for line in lines)


def app_skin(**picture_changes):
    skin = standard_skin()
    skin.overrides = dict(PAYLOAD)
    skin.pictures.update(picture_changes)
    return skin


def files_below(folder):
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*"))


def payload_tree(payload) -> list:
    """What files_below lists for payload installed: its files and folders below data/."""
    names = set()
    for relative in payload:
        parts = relative.split("/")[1:]
        names.update("/".join(parts[:i]) for i in range(1, len(parts) + 1))
    return sorted(names)


def program_boxes(run) -> list:
    """(caption, text) of every message box setup.exe shows."""
    return [(w.caption, w.text) for w in run.program_windows() if w.is_dialog]


class Install(unittest.TestCase):

    def start_install(self, run):
        screen = Screen(run)
        screen.wait_pixel(25, 255, INSTALL)
        screen.click(30, 260)
        return screen

    def test_a_full_install(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine = Machine(run)
            screen = self.start_install(run)
            chooser = run.wait_window(title=CHOOSER_TITLE)
            self.assertIn("インストール先を選択してください", chooser.statics)
            confirm_chooser(run)
            wait_for(machine.record_written, 20, what="the uninstall record")
            self.assertEqual(machine.record.read_bytes(),
                             full_record(machine.desktop_windows_path, APP_KEYS))
            dest = machine.desktop / "Games" / "MyApp"
            for relative, content in PAYLOAD.items():
                target = dest / relative[len("data/"):]
                if content is None:
                    self.assertTrue(target.is_dir(), relative)
                else:
                    self.assertEqual(target.read_bytes(), content, relative)
            self.assertTrue((machine.desktop / "Saves").is_dir())
            self.assertTrue((machine.programs / "TestApp" / "Tools").is_dir())
            self.assertTrue((machine.programs / "TestApp" / "Read me.lnk").is_file())
            self.assertTrue((machine.programs / "TestApp" / "Tools" / "Tool.lnk").is_file())
            self.assertEqual(files_below(machine.programs / "TestApp"),
                             ["Read me.lnk", "Tools", "Tools/Tool.lnk"])
            dest_path = machine.desktop_windows_path + "\\Games\\MyApp"
            links = {
                "TestApp\\Read me.lnk": (dest_path + "\\readme.txt", dest_path, SHIFT_JIS_NAME),
                "TestApp\\Tools\\Tool.lnk": (dest_path + "\\bin\\tool.bin", dest_path + "\\bin", ""),
            }
            for name, (target, folder, description) in links.items():
                link = run.read_link(machine.programs_windows_path + "\\" + name)
                self.assertEqual(link, {"target": target, "folder": folder,
                                        "description": description}, name)
            # The final screen is back; Install no longer reacts, Uninstall does.
            screen.wait_pixel(25, 255, INSTALL)
            screen.wait_highlight(155, 255, UNINSTALL_H)
            screen.move(30, 260)
            self.assertEqual(screen.pixel(25, 255), INSTALL)
            screen.click(30, 260)
            self.assertFalse([w for w in run.windows() if w.title == CHOOSER_TITLE])
            self.assertFalse([w for w in run.windows() if w.is_dialog], "no completion message")

    def test_names_outside_code_page_932_and_long_paths_install_and_uninstall_exactly(self):
        skin = app_skin()
        skin.overrides.update(WIDE_PAYLOAD)
        with skin_run(self._testMethodName, skin, **APP_KEYS) as run:
            machine = Machine(run)
            screen = self.start_install(run)
            confirm_chooser(run)
            # A box (some files could not be copied) would come before the record.
            wait_for(lambda: machine.record.exists() or program_boxes(run), 60,
                     what="the uninstall record or a message box")
            self.assertEqual(program_boxes(run), [])
            screen.wait_highlight(155, 255, UNINSTALL_H)  # the final screen: installed
            self.assertEqual(program_boxes(run), [])
            self.assertEqual(machine.record.read_bytes(),
                             full_record(machine.desktop_windows_path, APP_KEYS))
            dest = machine.desktop / "Games" / "MyApp"
            payload = {**PAYLOAD, **WIDE_PAYLOAD}
            self.assertEqual(files_below(dest), payload_tree(payload))
            for relative, content in payload.items():
                if content is not None:
                    self.assertEqual((dest / relative[len("data/"):]).read_bytes(), content, relative)
            deepest = "\\".join([machine.desktop_windows_path, "Games", "MyApp",
                                  *DEEP_FOLDERS.split("/"), "deepest.bin"])
            self.assertGreater(len(deepest), 300)

            from test_uninstall import DONE, uninstall
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertEqual(files_below(machine.desktop), [])
            self.assertFalse((machine.programs / "TestApp").exists())
            self.assertFalse(machine.record.exists())

    def test_drive_roots_are_held_in_their_short_form(self):
        # Started from the root of Y:, installing into the root of C:.
        skin = app_skin()
        with SetupRun(self._testMethodName, ini=ini_bytes(skin.keys, Caption=CAPTION, **APP_KEYS),
                      files=skin.files(), folder="") as run:
            machine = Machine(run)
            screen = self.start_install(run)
            chooser = run.wait_window(title=CHOOSER_TITLE)
            # Into the folder tree, to its last item (My Computer), open it, its first drive.
            run.key("shift+Tab", window=chooser)
            run.key("End", "Right", "Right")
            run.key("Return")
            wait_for(machine.record_written, 20, what="the uninstall record")
            self.assertEqual(machine.record.read_bytes(), full_record("C:", APP_KEYS))
            drive_c = run.prefix / "drive_c"
            dest = drive_c / "Games" / "MyApp"
            self.assertEqual((dest / "readme.txt").read_bytes(), PAYLOAD["data/readme.txt"])
            link = run.read_link(machine.programs_windows_path + "\\TestApp\\Read me.lnk")
            self.assertEqual((link["target"], link["folder"]),
                             ("C:\\Games\\MyApp\\readme.txt", "C:\\Games\\MyApp"))
            # The uninstall from "C:" empties C:\Games\MyApp and nothing else of the drive.
            from test_uninstall import DONE, uninstall
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertFalse((drive_c / "Games").exists())
            self.assertFalse((drive_c / "Saves").exists())
            self.assertFalse(machine.record.exists())
            self.assertTrue((drive_c / "windows" / "system32").is_dir())

    def test_cancelling_the_chooser_creates_nothing(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine = Machine(run)
            screen = self.start_install(run)
            chooser = run.wait_window(title=CHOOSER_TITLE)
            run.key("Escape", window=chooser)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Information", "インストールを中止しました。"))
            self.assertEqual(box.owner, screen.window.hwnd)
            self.assertFalse((machine.desktop / "Games").exists())
            self.assertFalse(machine.record.exists())
            screen.wait_highlight(25, 255, INSTALL_H)  # Install can be pressed again

    def choose_desktop_folder(self, run, typed: str):
        """Presses Install and picks the Desktop's folder that typing `typed` reaches."""
        screen = self.start_install(run)
        chooser = run.wait_window(title=CHOOSER_TITLE)
        # Into the folder tree (on the Desktop), open it, and type to the folder.
        run.key("shift+Tab", window=chooser)
        run.key("Right")
        run.xdotool("type", typed)
        run.key("Return")
        return screen

    def test_a_folder_that_code_page_932_cannot_name_is_installed_into(self):
        # Its ANSI form would be a best-fit "Jose": another folder than the chosen one.
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            (machine.desktop / "José").mkdir()
            run.start()
            screen = self.choose_desktop_folder(run, "Jos")
            wait_for(lambda: machine.record.exists() or program_boxes(run), 30,
                     what="the uninstall record")
            self.assertEqual(program_boxes(run), [])
            chosen = machine.desktop_windows_path + "\\José"
            self.assertEqual(machine.record.read_bytes(), full_record(chosen, APP_KEYS))
            dest = machine.desktop / "José" / "Games" / "MyApp"
            self.assertEqual((dest / "readme.txt").read_bytes(), PAYLOAD["data/readme.txt"])
            link = run.read_link(machine.programs_windows_path + "\\TestApp\\Read me.lnk")
            self.assertEqual(link["target"], chosen + "\\Games\\MyApp\\readme.txt")
            screen.wait_highlight(155, 255, UNINSTALL_H)

    def test_a_chosen_folder_that_cannot_be_held_is_named_and_gets_nothing(self):
        # Held open without sharing by another program: it cannot be held as the
        # folder it is (as a junction a standard user made cannot, on Windows 11).
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            (machine.desktop / "Locked").mkdir()
            run.start()
            out = run.scratch / "lock.out"
            with open(out, "wb") as sink:
                locker = subprocess.Popen(
                    ["wine", str(run.probe), "lock", machine.desktop_windows_path + "\\Locked", "120"],
                    cwd=run.drive, env=run.env(), stdin=subprocess.DEVNULL, stdout=sink,
                    stderr=subprocess.STDOUT)
            try:
                wait_for(lambda: b"locked" in out.read_bytes() or locker.poll() is not None, 20,
                         what="the lock on the folder")
                screen = self.choose_desktop_folder(run, "Lock")
                box = answer_box(run)
                chosen = machine.desktop_windows_path + "\\Locked"
                self.assertEqual((box.caption, box.text), ("Error", CHOSEN_UNUSABLE % chosen))
            finally:
                locker.kill()
                locker.wait()
            self.assertEqual(files_below(machine.desktop), ["Locked"], "nothing was made")
            self.assertFalse(machine.record.exists())
            screen.wait_highlight(25, 255, INSTALL_H)  # Install can be pressed again

    def test_a_destination_that_is_not_created_is_reported(self):
        keys = dict(APP_KEYS, CreateDirectory1="", InstallDest="Nowhere")
        with skin_run(self._testMethodName, app_skin(), **keys) as run:
            machine = Machine(run)
            self.start_install(run)
            confirm_chooser(run)
            box = answer_box(run)
            self.assertEqual(box.caption, "Error")
            self.assertEqual(box.text, "Setup.ini ファイルが異常です。インストール先フォルダが作られていません。")
            self.assertTrue((machine.desktop / "Games").is_dir(), "the other folders remain")
            self.assertTrue((machine.desktop / "Saves").is_dir())
            self.assertFalse(machine.record.exists())

    def test_a_progress_bar_of_100_pixels_installs(self):
        skin = app_skin(ProgressBar=Picture(100, 10, solid(BAR)))
        with skin_run(self._testMethodName, skin, **APP_KEYS) as run:
            machine = Machine(run)
            self.start_install(run)
            confirm_chooser(run)
            wait_for(machine.record_written, 20, what="the uninstall record")
            self.assertFalse([w for w in run.windows() if w.is_dialog])

    def test_a_progress_bar_narrower_than_100_pixels_ends_the_program(self):
        skin = app_skin(ProgressBar=Picture(99, 10, solid((240, 200, 0))))
        with skin_run(self._testMethodName, skin, **APP_KEYS) as run:
            machine = Machine(run)
            self.start_install(run)
            box = answer_box(run)
            self.assertEqual(box.caption, "Error")
            self.assertEqual(box.text, "プログレスバー画像の幅が100ピクセル未満です。\n"
                                       "プログレスバー画像には100ピクセル以上の幅を持つ画像を使用してください。")
            self.assertEqual(run.exit_code(timeout=15), 0)
            self.assertFalse((machine.desktop / "Games").exists())

    def test_a_destination_inside_the_payload_is_refused(self):
        # The skin folder lies on the Desktop, so the chosen Desktop + InstallDest
        # reaches into data\ (by another drive letter than the program's own).
        keys = dict(APP_KEYS, CreateDirectory0="", CreateDirectory1="", CreateDirectory2="",
                    InstallDest="skin\\skin\\data\\inner")
        with skin_run(self._testMethodName, app_skin(), start=False, **keys) as run:
            machine = Machine(run)
            move_skin_to_desktop(run, machine)
            run.start()
            self.start_install(run)
            confirm_chooser(run)
            box = answer_box(run)
            self.assertEqual(box.caption, "Error")
            self.assertEqual(box.text, "インストール先フォルダがインストールするデータの中にあります。"
                                       "インストールを中止しました。")
            payload_names = sorted({name.split("/")[1] for name in PAYLOAD})
            self.assertEqual(sorted(p.name for p in (run.skin / "data").iterdir()), payload_names,
                             "nothing was copied into data")
            self.assertFalse(machine.record.exists())

    def test_without_a_data_folder_the_install_still_finishes(self):
        skin = standard_skin()
        with skin_run(self._testMethodName, skin, CreateDirectory0="App", InstallDest="App") as run:
            machine = Machine(run)
            self.start_install(run)
            confirm_chooser(run)
            wait_for(machine.record_written, 20, what="the uninstall record")
            self.assertEqual(list((machine.desktop / "App").iterdir()), [])
            self.assertFalse([w for w in run.windows() if w.is_dialog])


def shell_link(target: str, folder: str) -> bytes:
    """A shell link (.lnk) to the absolute ANSI path target, started in folder."""
    header = (struct.pack("<I", 0x4C) + SHELL_LINK_CLASS +  # has link info, has working folder
              struct.pack("<IIQQQIiIHHII", 0x12, 0x20, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0))
    volume = struct.pack("<IIII", 17, 3, 0, 16) + b"\0"
    base = target.encode("cp932") + b"\0"
    base_at = 0x1C + len(volume)
    info = volume + base + b"\0"
    info = struct.pack("<IIIIIII", 0x1C + len(info), 0x1C, 1, 0x1C, base_at, 0,
                       base_at + len(base)) + info
    working = struct.pack("<H", len(folder)) + folder.encode("cp932")
    return header + info + working + struct.pack("<I", 0)


SHELL_LINK_CLASS = bytes.fromhex("0114020000000000c000000000000046")


class AutoStart(unittest.TestCase):
    """The payload's run.bat has a copy of the probe write into launched.txt the
    chain of processes it runs in: probe.exe, cmd.exe, then whoever started run.bat."""

    QUESTION = "起動しますか？"
    MARKER = b"echo launched> launched.txt\r\n"  # a program that must not be launched

    def install(self, run):
        """Installs into the Desktop; returns the screen and where launched.txt would appear."""
        screen = Screen(run)
        screen.wait_pixel(25, 255, INSTALL)
        screen.click(30, 260)
        confirm_chooser(run)
        return screen, Machine(run).desktop / "Games" / "MyApp" / "launched.txt"

    def run_with(self, **keys):
        skin = app_skin()
        skin.overrides["data/run.bat"] = b"probe.exe ancestors> launched.txt\r\n"
        run = skin_run(self._testMethodName, skin, start=False,
                       **{**APP_KEYS, "AutoStartPath": "Games\\MyApp\\run.bat", **keys})
        run.files["data/probe.exe"] = run.probe
        return run

    def assert_launched_from_the_desktop(self, launched):
        def chain():
            lines = launched.read_bytes().splitlines() if launched.exists() else []
            return json.loads(lines[0]) if lines else None
        ancestors = wait_for(chain, 20, what="the launched program's report")
        # Started by the desktop's shell (explorer.exe), not by setup.exe itself.
        self.assertEqual(ancestors[:3], ["probe.exe", "cmd.exe", "explorer.exe"])

    def assert_nothing_launched(self, run, screen, *markers):
        screen.wait_highlight(155, 255, UNINSTALL_H)  # the final screen, installed
        self.assertTrue(run.running())
        self.assertTrue(Machine(run).record.exists())
        for marker in markers:
            self.assertFalse(marker.exists(), marker)

    def test_answered_no_keeps_the_program_open_and_installed(self):
        with self.run_with(AutoStart=1, AutoStartText=self.QUESTION) as run:
            run.start()
            screen, launched = self.install(run)
            box = answer_box(run, key="n", timeout=30)
            self.assertEqual((box.caption, box.text), ("Information", self.QUESTION))
            self.assertEqual(box.buttons, ["はい(&Y)", "いいえ(&N)"])
            self.assert_nothing_launched(run, screen, launched)

    def test_answered_yes_launches_and_ends(self):
        with self.run_with(AutoStart=1, AutoStartText=self.QUESTION) as run:
            run.start()
            _, launched = self.install(run)
            answer_box(run, key="y", timeout=30)
            self.assertEqual(run.exit_code(timeout=20), 0)
            self.assert_launched_from_the_desktop(launched)

    def test_auto_start_2_launches_without_asking(self):
        with self.run_with(AutoStart=2) as run:
            run.start()
            _, launched = self.install(run)
            self.assertEqual(run.exit_code(timeout=30), 0)
            self.assert_launched_from_the_desktop(launched)
            self.assertTrue(Machine(run).record.exists())

    def test_closing_while_the_question_is_up_ends_within_seconds(self):
        with self.run_with(AutoStart=1, AutoStartText=self.QUESTION) as run:
            run.start()
            screen, launched = self.install(run)
            run.wait_message_box(timeout=30)
            run.send_close(screen.window)
            self.assertEqual(run.exit_code(timeout=10), 0)
            self.assertFalse(launched.exists())

    def test_a_target_swapped_while_the_question_is_up_is_not_what_runs(self):
        with self.run_with(AutoStart=1, AutoStartText=self.QUESTION) as run:
            run.write_file("swap.bat", self.MARKER)
            run.start()
            _, launched = self.install(run)
            box = run.wait_message_box(timeout=30)
            target = Machine(run).desktop_windows_path + "\\Games\\MyApp\\run.bat"
            run.run_wine("cmd", "/c", "copy", "/y", run.skin_windows_path + "\\swap.bat", target,
                         output=run.scratch / "swap.out")
            run.key("y", window=box)
            self.assertEqual(run.exit_code(timeout=20), 0)
            self.assert_launched_from_the_desktop(launched)

    def test_a_target_that_failed_to_copy_launches_nothing(self):
        # An older run.bat stands in the destination, held open while the copy runs.
        with self.run_with(AutoStart=2) as run:
            older = Machine(run).desktop / "Games" / "MyApp" / "run.bat"
            older.parent.mkdir(parents=True)
            older.write_bytes(self.MARKER)
            run.start()
            out = run.scratch / "lock.out"
            with open(out, "wb") as sink:
                locker = subprocess.Popen(
                    ["wine", str(run.probe), "lock", Machine(run).desktop_windows_path +
                     "\\Games\\MyApp\\run.bat", "120"], cwd=run.drive, env=run.env(),
                    stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT)
            try:
                wait_for(lambda: b"locked" in out.read_bytes() or locker.poll() is not None, 20,
                         what="the lock on run.bat")
                screen, launched = self.install(run)
                box = run.wait_message_box(timeout=30)  # some files could not be copied
            finally:
                locker.kill()
                locker.wait(timeout=10)
            run.key("Return", window=box)
            self.assert_nothing_launched(run, screen, launched)
            self.assertEqual(older.read_bytes(), self.MARKER)

    def test_a_target_outside_the_destination_or_through_a_link_launches_nothing(self):
        # Each target would run a program: AutoStart=2 launches nothing, asks
        # nothing, and the install ends as after "No".
        cases = {  # AutoStartPath: the folder, below the profile, where it would leave launched.txt
            "..\\outside.bat": "",
            "Games\\MyApp\\..\\..\\outside.bat": "Desktop",
            "Games\\MyApp\\run.lnk": "Desktop/Games/MyApp",
        }
        for path, folder in cases.items():
            with self.subTest(path), self.run_with(AutoStartPath=path, AutoStart=2) as run:
                machine = Machine(run)
                dest = machine.desktop_windows_path + "\\Games\\MyApp"
                run.write_file("data/run.lnk", shell_link(dest + "\\run.bat", dest))
                for planted in (machine.profile / "outside.bat", machine.desktop / "outside.bat"):
                    planted.write_bytes(self.MARKER)
                run.start()
                screen, _ = self.install(run)
                self.assert_nothing_launched(run, screen, machine.profile / folder / "launched.txt")


class ProgressBar(unittest.TestCase):

    def test_a_150_pixel_bar_grows_by_hundredths_to_100_then_jumps_to_full(self):
        # 1,500 small files copy for a few seconds; the bar is 150 pixels wide,
        # so one hundredth is 1 pixel and it cannot pass 100 before the end.
        skin = app_skin(ProgressBar=Picture(150, 10, solid(BAR)))
        for i in range(1500):
            skin.overrides[f"data/many/f{i:04d}.dat"] = b"p" * 1000
        # The question (asked only for a target that can be launched) holds the full bar.
        keys = dict(APP_KEYS, AutoStart=1, AutoStartText="?",
                    AutoStartPath="Games\\MyApp\\readme.txt")
        with skin_run(self._testMethodName, skin, **keys) as run:
            screen = Screen(run)
            screen.wait_pixel(25, 255, INSTALL)
            screen.click(30, 260)
            confirm_chooser(run)

            def bar_width():
                image = run.capture()
                return sum(image.pixel(*screen.at(100 + x, 205)) == BAR for x in range(160))
            widths = []
            while not [w for w in run.windows() if w.is_dialog]:
                widths.append(bar_width())
                self.assertTrue(run.running())
            # While copying the bar is at most 100 pixels; once full it stays full.
            growing = [w for w in widths if 0 < w < 150]
            self.assertGreaterEqual(len(set(growing)), 3, f"the bar visibly grows: {widths}")
            self.assertLessEqual(max(growing), 100, f"widths while copying: {widths}")
            if 150 in widths:
                self.assertEqual(set(widths[widths.index(150):]), {150}, widths)
            box = run.wait_message_box()
            self.assertEqual(bar_width(), 150, "the whole bar once the copy has ended")
            run.key("n", window=box)
            screen.wait_highlight(155, 255, UNINSTALL_H)
            self.assertEqual(bar_width(), 0, "the final screen has no bar")


if __name__ == "__main__":
    unittest.main(verbosity=2)
