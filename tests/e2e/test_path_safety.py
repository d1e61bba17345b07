#!/usr/bin/env python3
"""Paths that would trick the installer into writing or deleting elsewhere:
double-byte names whose second byte is a backslash, links put in place of
the installed tree or one of its folders, names whose code-page form leaves
the tree, links waiting in the destination, and a payload inside the
destination. Canary files stand where a wrong path would reach: every one
must survive, and what the install made must still go."""

import unittest

import os

from harness import wait_for
from skin_run import (CAPTION, CHOOSER_TITLE, Machine, Screen, answer_box,
                      move_skin_to_desktop, press_install_and_confirm, skin_run)
from skins import INSTALL, INSTALL_H, ini_bytes
from test_install import APP_KEYS, PAYLOAD, app_skin, files_below
from test_uninstall import DONE, INCOMPLETE, UNSAFE, canary, earlier_install, install, uninstall

NOT_COPIED = ("一部のファイルをコピーできませんでした。\n"
              "コピーできなかったファイルはインストールされていません。")
DEST_MISSING = "Setup.ini ファイルが異常です。インストール先フォルダが作られていません。"
PAYLOAD_INSIDE = ("インストールするデータがインストール先フォルダの中にあります。"
                  "インストールを中止しました。")
RECORD_TAKEN = ("Setup.ini の UninstallIni に指定されたファイルは、アンインストール情報ではない"
                "別のファイルです。インストールを中止しました。")
RECORD_NOT_WRITTEN = ("アンインストール情報を書き込めませんでした。インストールしたファイルはそのまま"
                      "残りますが、このインストーラではアンインストールできません。")
KEPT = b"must survive"


def assert_survived(test, paths):
    for path in paths:
        test.assertEqual(path.read_bytes(), KEPT, path)


def assert_uninstalled_the_rest(test, machine):
    """What the install made outside the tree still goes."""
    test.assertFalse((machine.desktop / "Saves").exists())
    test.assertFalse((machine.programs / "TestApp").exists())
    test.assertFalse(machine.record.exists())


class DoubleByteNames(unittest.TestCase):
    """機能 ends in 94 5C, ソ in 83 5C: the 5C is no backslash."""

    def uninstall_recorded(self, directory, install_dest, dest_files, canaries,
                           then=lambda machine: None):
        with skin_run(self._testMethodName, app_skin(), start=False, InstallDest=install_dest) as run:
            machine = Machine(run)
            earlier_install(run, machine, machine.desktop_windows_path + "\\" + directory, dest_files)
            planted = [canary(machine.desktop / path) for path in canaries]
            run.start()
            texts = uninstall(run, Screen(run))
            assert_survived(self, planted)
            self.assertFalse(machine.record.exists())
            then(machine)
            return texts

    def test_a_tree_beside_the_recorded_folder_is_not_emptied(self):
        # 機能 + ..\機能テスト\data is 機能テスト\data: outside 機能, although its
        # bytes start with those of 機能 and continue with a 5C.
        texts = self.uninstall_recorded("機能", "..\\機能テスト\\data", (),
                                           ["機能テスト/data/keep.txt", "機能テスト/keep.txt"])
        self.assertEqual(texts, [UNSAFE, DONE])

    def test_a_tree_below_a_folder_ending_in_5c_is_emptied_and_its_sibling_kept(self):
        def emptied(machine):
            self.assertEqual(list((machine.desktop / "ソ" / "表").iterdir()), [], "the tree is emptied")
        texts = self.uninstall_recorded(
            "ソ", "表", ["ソ/表/app.txt", "ソ/表/sub/more.txt"],
            ["ソフト/keep.txt", "表示/keep.txt", "ソ/keep.txt"], then=emptied)
        self.assertEqual(texts, [DONE])


class LinksAtOrAboveTheTree(unittest.TestCase):
    """After the install, the tree or a folder above it is swapped for a
    symbolic link to other files (Wine shows a Unix link to a folder as a
    folder with the reparse-point bit)."""

    def swap_and_uninstall(self, swapped):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            folder = machine.desktop / swapped
            elsewhere = run.scratch / "outside" / swapped
            elsewhere.parent.mkdir(parents=True, exist_ok=True)
            folder.rename(elsewhere)
            planted = [canary(p) for p in elsewhere.rglob("*") if p.is_file()]
            planted.append(canary(elsewhere / "keep.txt"))
            folder.symlink_to(elsewhere)
            # The link's target stays whole, and the record with it: the
            # uninstall can be tried again.
            self.assertEqual(uninstall(run, screen), [UNSAFE, INCOMPLETE])
            assert_survived(self, planted)
            self.assertTrue(machine.record.exists())
            folder.unlink()
            self.assertEqual(uninstall(run, screen), [DONE])
            assert_survived(self, planted)
            assert_uninstalled_the_rest(self, machine)

    def test_the_tree_replaced_by_a_link_is_left_alone(self):
        self.swap_and_uninstall("Games/MyApp")

    def test_a_folder_above_the_tree_replaced_by_a_link_is_left_alone(self):
        self.swap_and_uninstall("Games")


    def test_a_chosen_folder_that_is_itself_a_link_is_emptied_through_it(self):
        # The user chose a folder that leads elsewhere (a link, a mount point):
        # the install went through it, so the uninstall does too.
        with skin_run(self._testMethodName, app_skin(), start=False, InstallDest="MyApp") as run:
            machine = Machine(run)
            elsewhere = run.scratch / "outside" / "Chosen"
            (elsewhere / "MyApp" / "sub").mkdir(parents=True)
            (elsewhere / "MyApp" / "sub" / "app.txt").write_bytes(b"installed")
            kept = canary(elsewhere / "keep.txt")
            (machine.desktop / "Chosen").symlink_to(elsewhere)
            earlier_install(run, machine, machine.desktop_windows_path + "\\Chosen", ())
            run.start()
            self.assertEqual(uninstall(run, Screen(run)), [DONE])
            self.assertEqual(list((elsewhere / "MyApp").iterdir()), [], "the tree is emptied")
            assert_survived(self, [kept])


class NamesWithoutAnExactCodePageForm(unittest.TestCase):
    """In code page 932 "¥" (U+00A5) has the best-fit form 5C: "..¥..¥Victim"
    read by the ANSI functions would be "..\\..\\Victim". In UTF-16 it is a
    name like any other, installed and removed as itself."""

    def test_the_uninstall_removes_a_yen_named_folder_as_itself_and_reaches_nothing_outside(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            tree = machine.desktop / "Games" / "MyApp"
            # From the tree, ..\..\Victim is Desktop\Victim.
            victims = [canary(machine.desktop / "Victim" / "keep.txt"),
                       canary(machine.desktop / "Victim" / "inner.txt")]
            canary(tree / "..¥..¥Victim" / "inner.txt")
            self.assertEqual(uninstall(run, screen), [DONE])
            assert_survived(self, victims)
            self.assertFalse(tree.exists(), "the tree is gone, the yen-named folder with it")
            assert_uninstalled_the_rest(self, machine)

    def test_the_install_copies_yen_named_entries_as_themselves_and_writes_nothing_outside(self):
        skin = app_skin()
        skin.overrides["data/..¥..¥Victim/inner.txt"] = b"payload"
        skin.overrides["data/a¥b.txt"] = b"payload"
        with skin_run(self._testMethodName, skin, **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            self.assertFalse((machine.desktop / "Victim").exists(), "nothing outside the tree")
            tree = machine.desktop / "Games" / "MyApp"
            self.assertEqual((tree / "..¥..¥Victim" / "inner.txt").read_bytes(), b"payload")
            self.assertEqual((tree / "a¥b.txt").read_bytes(), b"payload")
            self.assertFalse([p for p in tree.rglob("*") if "\\" in p.name])


class TheRecordIsWhatTheUninstallTrusts(unittest.TestCase):
    """Setup.ini lies in a folder the user can change; the record lies in the
    Windows directory, which only an administrator can."""

    def test_setup_ini_retargeted_after_the_install_aims_the_uninstall_nowhere_new(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            run.send_close(screen.window)
            run.exit_code()
            # Another of the user's folders and a start-menu entry of another
            # program, named where the installed ones were.
            planted = [canary(machine.desktop / "Victim" / "keep.txt"),
                       canary(machine.programs / "Other" / "keep.lnk")]
            retargeted = dict(APP_KEYS, InstallDest="Victim", CreateDirectory0="Victim",
                              CreateStartmenuDirectory0="Other",
                              CreateShortcutTo0="Other\keep.lnk")
            run.write_file("Setup.ini", ini_bytes(app_skin().keys, Caption=CAPTION, **retargeted))
            run.start_program()
            self.assertEqual(uninstall(run, Screen(run)), [DONE])
            assert_survived(self, planted)
            self.assertFalse((machine.desktop / "Games").exists(), "what the install made goes")
            assert_uninstalled_the_rest(self, machine)

    def test_an_uninstall_ini_with_a_folder_part_names_no_record(self):
        with skin_run(self._testMethodName, app_skin(), start=False,
                      **dict(APP_KEYS, UninstallIni="system32\\victim.ini")) as run:
            machine = Machine(run)
            planted = canary(machine.windows / "system32" / "victim.ini")
            run.start()
            # Not taken for a record: the program starts uninstalled, and the
            # install writes no record there.
            press_install_and_confirm(run)
            wait_for(lambda: (machine.desktop / "Games" / "MyApp" / "readme.txt").exists(), 20,
                     what="the installed tree")
            Screen(run).wait_pixel(25, 255, INSTALL)  # the final screen: the install has ended
            assert_survived(self, [planted])

    def test_a_foreign_file_under_the_record_name_is_never_written_or_deleted(self):
        with skin_run(self._testMethodName, app_skin(), start=False,
                      **dict(APP_KEYS, UninstallIni="win.ini")) as run:
            machine = Machine(run)
            foreign = machine.windows / "win.ini"
            before = foreign.read_bytes()
            run.start()
            screen = Screen(run)
            screen.wait_highlight(25, 255, INSTALL_H)  # not installed
            screen.click(160, 260)  # Uninstall does not react
            screen.click(30, 260)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Error", RECORD_TAKEN))
            self.assertEqual(foreign.read_bytes(), before)
            self.assertEqual(files_below(machine.desktop), [], "nothing was made")
            self.assertFalse((machine.programs / "TestApp").exists())

    def test_a_record_that_cannot_be_written_leaves_no_installed_state(self):
        # A folder appears at the record's name while the chooser is up, after the
        # install has found the name free: the record is never written through it.
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine = Machine(run)
            screen = Screen(run)
            screen.wait_pixel(25, 255, INSTALL)
            screen.click(30, 260)
            chooser = run.wait_window(title=CHOOSER_TITLE, timeout=20)
            machine.record.mkdir()
            run.key("Return", window=chooser)
            box = answer_box(run, timeout=30)
            self.assertEqual((box.caption, box.text), ("Error", RECORD_NOT_WRITTEN))
            screen.wait_highlight(25, 255, INSTALL_H)  # Install again, no Uninstall
            self.assertTrue((machine.desktop / "Games" / "MyApp" / "readme.txt").exists(),
                            "the copied files stay")
            self.assertEqual(list(machine.record.iterdir()), [], "nothing written into the folder")


class LinksWaitingInTheDestination(unittest.TestCase):

    def install_past_a_folder_link(self, linked):
        """Desktop\\linked is a link to a folder outside: the copy writes nothing
        there and says that some files could not be copied."""
        with skin_run(self.id().split(".")[-1], app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            outside = run.scratch / "outside"
            planted = [canary(outside / "tool.bin")]
            link = machine.desktop / linked
            link.parent.mkdir(parents=True)
            link.symlink_to(outside)
            run.start()
            press_install_and_confirm(run)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Error", NOT_COPIED))
            wait_for(machine.record_written, 20, what="the uninstall record")
            assert_survived(self, planted)
            self.assertEqual(files_below(outside), ["tool.bin"], "nothing new outside")
            tree = machine.desktop / "Games" / "MyApp"
            return {name: (tree / name).read_bytes() for name in ("exact.bin", "readme.txt")
                    if (tree / name).exists()}

    def test_a_link_in_the_payload_is_not_followed(self):
        # data\\linked leads to files the user may not be able to read.
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            outside = run.scratch / "outside"
            planted = canary(outside / "secret.txt")
            (run.skin / "data" / "linked").symlink_to(outside)
            run.start()
            press_install_and_confirm(run)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Error", NOT_COPIED))
            wait_for(machine.record_written, 20, what="the uninstall record")
            tree = machine.desktop / "Games" / "MyApp"
            self.assertFalse((tree / "linked").exists())
            self.assertEqual((tree / "readme.txt").read_bytes(), PAYLOAD["data/readme.txt"])
            assert_survived(self, [planted])

    def test_a_destination_folder_that_is_a_link_gets_nothing(self):
        self.install_past_a_folder_link("Games/MyApp")

    def test_the_install_does_not_write_through_a_folder_link_in_the_destination(self):
        # (A link to a file cannot be shown here: Wine gives it the attributes
        # of the file it points to, with no reparse-point bit.)
        installed = self.install_past_a_folder_link("Games/MyApp/bin")
        self.assertEqual(installed, {name: PAYLOAD["data/" + name]
                                     for name in ("exact.bin", "readme.txt")}, "the rest is installed")

    def test_hard_links_and_a_linked_start_menu_folder_are_not_written_through(self):
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            outside = run.scratch / "outside"
            tree = machine.desktop / "Games" / "MyApp"
            tree.mkdir(parents=True)
            # A file of the destination that shares its data with one elsewhere,
            # and the start-menu folder leading to another folder.
            shared = canary(outside / "shared.txt")
            os.link(shared, tree / "readme.txt")
            start_menu = canary(outside / "menu" / "keep.lnk")
            (machine.programs / "TestApp").symlink_to(outside / "menu")
            run.start()
            screen = Screen(run)
            install(run, screen, machine)
            self.assertEqual((tree / "readme.txt").read_bytes(), PAYLOAD["data/readme.txt"])
            self.assertEqual(files_below(outside / "menu"), ["keep.lnk"], "no shortcut made there")
            self.assertEqual(uninstall(run, screen), [DONE])
            assert_survived(self, [shared, start_menu])
            # The folders were there before the install, so they stay, emptied.
            self.assertEqual(files_below(machine.desktop / "Games"), ["MyApp"])


class NamesReachingOutOfTheirFolders(unittest.TestCase):

    def test_setup_ini_names_that_climb_out_are_neither_made_nor_removed(self):
        keys = dict(APP_KEYS, CreateDirectory2="..\\Escaped",
                    CreateStartmenuDirectory1="..\\Escaped",
                    CreateShortcutTo1="..\\Escaped.lnk")
        with skin_run(self._testMethodName, app_skin(), **keys) as run:
            machine, screen = Machine(run), Screen(run)
            start_menu = machine.programs.parent
            install(run, screen, machine)
            self.assertFalse((machine.profile / "Escaped").exists())
            self.assertFalse((start_menu / "Escaped").exists())
            self.assertFalse((start_menu / "Escaped.lnk").exists())
            # Files where the uninstall would remove those names.
            planted = [canary(machine.profile / "Escaped"), canary(start_menu / "Escaped"),
                       canary(start_menu / "Escaped.lnk")]
            self.assertEqual(uninstall(run, screen), [DONE])
            assert_survived(self, planted)
            self.assertFalse((machine.desktop / "Games").exists(), "the install itself goes")
            self.assertFalse((machine.programs / "TestApp").exists())


    def test_an_install_dest_leading_out_of_the_chosen_folder_installs_nothing(self):
        with skin_run(self._testMethodName, app_skin(), start=False,
                      **dict(APP_KEYS, InstallDest="..\\..\\canary")) as run:
            machine = Machine(run)
            planted = canary(machine.profile.parent / "canary" / "keep.txt")
            before = files_below(machine.desktop)
            run.start()
            press_install_and_confirm(run)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Error", DEST_MISSING))
            assert_survived(self, [planted])
            self.assertEqual(files_below(planted.parent), ["keep.txt"])
            self.assertEqual(files_below(machine.desktop), before, "no folder made")
            self.assertFalse(machine.record.exists())


class PayloadInsideTheDestination(unittest.TestCase):

    def test_installing_the_setup_folder_into_itself_is_refused(self):
        # The skin folder lies on the Desktop as skin\skin, so Desktop + "skin"
        # holds data\ (reached through another drive letter than the program's own).
        keys = dict(APP_KEYS, CreateDirectory0="", CreateDirectory1="", CreateDirectory2="",
                    InstallDest="skin")
        with skin_run(self._testMethodName, app_skin(), start=False, **keys) as run:
            machine = Machine(run)
            move_skin_to_desktop(run, machine)
            before = files_below(machine.desktop)
            run.start()
            press_install_and_confirm(run)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Error", PAYLOAD_INSIDE))
            self.assertEqual(files_below(machine.desktop), before, "nothing was copied")
            self.assertFalse(machine.record.exists())

    def test_an_empty_install_dest_installs_above_the_setup_and_its_uninstall_empties_nothing(self):
        # The uninstall never empties the chosen folder itself, so the setup
        # folder inside it is safe: the install goes ahead.
        keys = dict(APP_KEYS, CreateDirectory0="", CreateDirectory1="", CreateDirectory2="",
                    InstallDest="", CreateShortcutFrom0="readme.txt", CreateShortcutFrom1="")
        with skin_run(self._testMethodName, app_skin(), start=False, **keys) as run:
            machine = Machine(run)
            move_skin_to_desktop(run, machine)
            run.start()
            screen = Screen(run)
            install(run, screen, machine)
            self.assertEqual((machine.desktop / "readme.txt").read_bytes(), PAYLOAD["data/readme.txt"])
            self.assertIn(b"\r\nInstallDest=\r\n", machine.record.read_bytes())
            self.assertEqual(uninstall(run, screen), [UNSAFE, DONE])
            self.assertTrue((machine.desktop / "readme.txt").exists(), "the chosen folder is not emptied")
            self.assertTrue((run.skin / "data" / "readme.txt").exists())
            assert_uninstalled_the_rest(self, machine)


if __name__ == "__main__":
    unittest.main(verbosity=2)
