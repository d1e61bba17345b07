#!/usr/bin/env python3
"""setup.exe on a Windows whose system locale is English (code page 1252):
Setup.ini, the names it makes, the title and every message are still read
and written as code page 932. The names hold ソ and 表, whose second byte
is 0x5C, the backslash byte. Also on a Windows that ignores the manifest's
code page, for a user whose profile name code page 932 cannot hold."""

import unittest

from harness import ENGLISH, SetupRun, wait_for
from skin_run import Machine, Screen, answer_box, skin_run
from skins import INSTALL_H, UNINSTALL_H, ini_bytes, standard_skin
from test_install import app_skin, files_below, full_record
from test_uninstall import CONFIRM, DONE

CAPTION = "表示ソフトのインストーラ"
QUESTION = "ソフトを表示しますか？"
PROMPT = "インストール先を選択してください"
CHOOSER_TITLE = "Browse for Folder"  # Wine's own texts follow the locale
NOTE = "説明書を表示"
KEYS = dict(
    Caption=CAPTION, AutoStart=1, AutoStartText=QUESTION, AutoStartPath="ソフト\\表示アプリ\\ソース.txt",
    CreateDirectory0="ソフト", CreateDirectory1="ソフト\\表示アプリ", CreateDirectory2="予定表",
    InstallDest="ソフト\\表示アプリ",
    CreateStartmenuDirectory0="ソフト表",
    CreateShortcutFrom0="ソフト\\表示アプリ\\表示\\ソース.txt", CreateShortcutTo0="ソフト表\\表示.lnk",
    CreateShortcutDescription0=NOTE,
)
PAYLOAD = {"data/表示/ソース.txt": "中身".encode("cp932"), "data/ソース.txt": b"top"}


def without_manifest_code_page(run: SetupRun):
    """Makes the run's setup.exe a copy whose manifest names an unknown code page,
    as Windows 10 ignores a locale name there: the system's, 1252, then holds."""
    exe = run.skin / "setup.exe"
    data = exe.read_bytes()
    assert data.count(b">ja-JP</activeCodePage>") == 1, "setup.exe's manifest asks for ja-JP once"
    exe.write_bytes(data.replace(b">ja-JP</activeCodePage>", b">xx-XX</activeCodePage>"))


def move_shell_folders_to(run: SetupRun, user: str) -> Machine:
    """Makes a profile folder for user beside the prefix's own and points the
    Desktop and Programs shell folders into it; returns it as the Machine."""
    machine = Machine(run, user)
    folders = {"Desktop": (machine.desktop, machine.desktop_windows_path),
               "Programs": (machine.programs, machine.programs_windows_path)}
    for value, (folder, path) in folders.items():
        folder.mkdir(parents=True)
        run.set_shell_folder(value, path)
    return machine


class EnglishLocale(unittest.TestCase):

    def install_and_uninstall_japanese_names(self, user=None):
        """Installs KEYS' names, checks each, and uninstalls them. With a user, the
        shell folders lie in that profile and the manifest's code page is gone."""
        skin = app_skin()
        skin.overrides = dict(PAYLOAD)
        with skin_run(self._testMethodName, skin, lang=ENGLISH, start=False, **KEYS) as run:
            if user:
                without_manifest_code_page(run)
            machine = move_shell_folders_to(run, user) if user else Machine(run)
            run.start()
            screen = Screen(run)
            self.assertEqual(screen.window.title, CAPTION)
            screen.wait_highlight(25, 255, INSTALL_H)
            screen.click(30, 260)
            chooser = run.wait_window(title=CHOOSER_TITLE, timeout=20)
            self.assertIn(PROMPT, chooser.statics)
            run.key("Return", window=chooser)
            box = answer_box(run, key="n", timeout=30)
            self.assertEqual((box.caption, box.text), ("Information", QUESTION))

            self.assertEqual(files_below(machine.desktop), [
                "ソフト", "ソフト/表示アプリ", "ソフト/表示アプリ/ソース.txt", "ソフト/表示アプリ/表示",
                "ソフト/表示アプリ/表示/ソース.txt", "予定表"])
            dest = machine.desktop / "ソフト" / "表示アプリ"
            self.assertEqual((dest / "表示" / "ソース.txt").read_bytes(), PAYLOAD["data/表示/ソース.txt"])
            self.assertEqual(files_below(machine.programs / "ソフト表"), ["表示.lnk"])
            dest_path = machine.desktop_windows_path + "\\ソフト\\表示アプリ"
            link = run.read_link(machine.programs_windows_path + "\\ソフト表\\表示.lnk")
            self.assertEqual(link, {"target": dest_path + "\\表示\\ソース.txt",
                                    "folder": dest_path + "\\表示", "description": NOTE})
            wait_for(machine.record_written, 20, what="the uninstall record")
            self.assertEqual(machine.record.read_bytes(),
                             full_record(machine.desktop_windows_path, KEYS))

            screen.wait_highlight(155, 255, UNINSTALL_H)
            screen.click(160, 260)
            texts = [(box.caption, box.text) for box in (answer_box(run, key="y"), answer_box(run))]
            self.assertEqual(texts, [("Information", CONFIRM), ("Information", DONE)])
            self.assertEqual(files_below(machine.desktop), [])
            self.assertFalse((machine.programs / "ソフト表").exists())
            self.assertFalse(machine.record.exists())

    def test_japanese_names_and_texts_install_and_uninstall_exactly(self):
        self.install_and_uninstall_japanese_names()

    def test_the_same_under_code_page_1252_for_a_profile_that_code_page_932_cannot_name(self):
        self.install_and_uninstall_japanese_names(user="José")

    def test_skintool_reads_names_in_code_page_932_too(self):
        # 表 is 95 5C: read in code page 1252 the record name would hold a backslash.
        from test_skin_tool import plain_files, skintool_exe
        ini = ini_bytes(standard_skin().keys, Caption=CAPTION, UninstallIni="表.ini")
        with SetupRun(self._testMethodName, ini=ini, files=plain_files(), start=False,
                      lang=ENGLISH) as run:
            out = run.scratch / "skintool.out"
            self.assertEqual(run.run_wine(skintool_exe(), "check", ".", output=out), 0)
            report = out.read_bytes().decode("utf-8", "replace")
            self.assertNotIn("UninstallIni", report)
            self.assertIn(".: 0 errors", report)


if __name__ == "__main__":
    unittest.main(verbosity=2)
