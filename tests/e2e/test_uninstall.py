#!/usr/bin/env python3
"""The uninstall, end to end: after Yes it removes exactly what the install
made, and never anything else. Canary files stand where a wrong guard would
reach: every one of them must survive."""

import os
import unittest

from harness import wait_for
from skin_run import Machine, Screen, answer_box, confirm_chooser, skin_run
from skins import INSTALL_H, UNINSTALL, UNINSTALL_H
from test_install import APP_KEYS, app_skin

CONFIRM = "アンインストールを開始します。よろしいですか？"
DONE = "アンインストールが完了しました。"
UNSAFE = "インストール先フォルダを安全に特定できないため、インストールされたファイルは削除しませんでした。"
INCOMPLETE = ("アンインストールを完了できませんでした。削除できなかったものがあります。"
              "確認してから、もう一度アンインストールしてください。")


def install(run, screen, machine):
    screen.wait_highlight(25, 255, INSTALL_H)
    screen.click(30, 260)
    confirm_chooser(run)
    wait_for(machine.record_written, 20, what="the uninstall record")
    screen.wait_highlight(155, 255, UNINSTALL_H)


def uninstall(run, screen, answer="y"):
    """Presses Uninstall and answers the question; returns the texts of the boxes that follow."""
    screen.wait_highlight(155, 255, UNINSTALL_H)
    screen.click(160, 260)
    box = answer_box(run, key=answer)
    assert (box.caption, box.text) == ("Information", CONFIRM), box
    if answer != "y":
        return []
    texts = []
    while True:
        box = answer_box(run)
        assert box.caption == ("Error" if box.text == INCOMPLETE else "Information"), box
        texts.append(box.text)
        if box.text in (DONE, INCOMPLETE):
            return texts


def earlier_install(run, machine, directory: str, dest_files=("MyApp/app.txt",)):
    """Lays out what an earlier install left: a record and some files."""
    machine.record.write_bytes(b"InstallDirectory=" + directory.encode("cp932"))
    for relative in dest_files:
        path = machine.desktop / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(b"installed")


def canary(path):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"must survive")
    return path


class Uninstall(unittest.TestCase):

    def test_install_then_uninstall_removes_everything_and_install_works_again(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertFalse((machine.programs / "TestApp").exists(), "start-menu folders, both levels")
            self.assertFalse((machine.desktop / "Games").exists(), "the tree and its folders")
            self.assertFalse((machine.desktop / "Saves").exists())
            self.assertFalse(machine.record.exists())
            self.assertEqual(screen.pixel(155, 255), UNINSTALL_H, "the window is not redrawn")
            # Install is available again, and a second install writes a new record.
            screen.wait_highlight(25, 255, INSTALL_H)
            screen.click(30, 260)
            confirm_chooser(run)
            wait_for(machine.record_written, 20, what="a new record")
            self.assertTrue((machine.desktop / "Games" / "MyApp" / "readme.txt").exists())

    def test_answering_no_changes_nothing(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            before = sorted(str(p) for p in machine.desktop.rglob("*"))
            self.assertEqual(uninstall(run, screen, answer="n"), [])
            self.assertEqual(sorted(str(p) for p in machine.desktop.rglob("*")), before)
            self.assertTrue(machine.record.exists())
            screen.wait_highlight(155, 255, UNINSTALL_H)  # still installed

    def test_user_files_read_only_files_and_deleted_shortcuts(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            user_file = canary(machine.desktop / "Saves" / "my save.dat")
            read_only = machine.desktop / "Games" / "MyApp" / "readme.txt"
            os.chmod(read_only, 0o444)
            (machine.programs / "TestApp" / "Read me.lnk").unlink()
            # The read-only file is work left: the record stays, and so does Uninstall.
            self.assertEqual(uninstall(run, screen), [INCOMPLETE], "no message for the missing shortcut")
            self.assertTrue(user_file.exists(), "the user's file and its folder remain")
            self.assertTrue(read_only.exists(), "a read-only file remains with its folder")
            self.assertFalse((machine.desktop / "Games" / "MyApp" / "bin").exists())
            self.assertFalse((machine.programs / "TestApp").exists())
            self.assertTrue(machine.record.exists())
            os.chmod(read_only, 0o644)
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertFalse((machine.desktop / "Games").exists())
            self.assertTrue(user_file.exists())
            self.assertFalse(machine.record.exists())

    def test_a_record_deleted_after_start_up_is_still_used(self):
        with skin_run(self._testMethodName, app_skin(), start=False,
                      CreateDirectory0="MyApp", InstallDest="MyApp") as run:
            machine = Machine(run)
            earlier_install(run, machine, machine.desktop_windows_path)
            run.start()
            screen = Screen(run)
            screen.wait_pixel(155, 255, UNINSTALL)
            machine.record.unlink()
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertFalse((machine.desktop / "MyApp").exists())


class UninstallSafety(unittest.TestCase):
    """Records and settings that would aim the delete at the wrong folder."""

    def run_uninstall(self, directory, install_dest, canaries, dest_files=("MyApp/app.txt",)):
        with skin_run(self.id().split(".")[-1], app_skin(), start=False,
                      CreateDirectory0="MyApp", InstallDest=install_dest) as run:
            machine = Machine(run)
            earlier_install(run, machine, directory(machine), dest_files)
            planted = [canary(path) for path in canaries(run, machine)]
            run.start()
            screen = Screen(run)
            texts = uninstall(run, screen)
            for path in planted:
                self.assertEqual(path.read_bytes(), b"must survive", path)
            self.assertFalse(machine.record.exists(), "the record still goes")
            return texts

    def test_an_empty_install_directory_empties_nothing(self):
        texts = self.run_uninstall(
            lambda m: "", "MyApp",
            lambda run, m: [run.drive / "MyApp" / "keep.txt", run.drive / "keep.txt",
                            run.skin / "keep.txt"])
        self.assertEqual(texts, [UNSAFE, DONE])

    def test_a_relative_install_directory_empties_nothing(self):
        texts = self.run_uninstall(
            lambda m: "skin", "MyApp",
            lambda run, m: [run.skin / "MyApp" / "keep.txt"])
        self.assertEqual(texts, [UNSAFE, DONE])

    def test_an_empty_install_dest_leaves_the_chosen_folder_alone(self):
        texts = self.run_uninstall(
            lambda m: m.desktop_windows_path + "\\Chosen", "",
            lambda run, m: [m.desktop / "Chosen" / "keep.txt",
                            m.desktop / "Chosen" / "sub" / "keep.txt"])
        self.assertEqual(texts, [UNSAFE, DONE])

    def test_a_drive_root_with_an_empty_install_dest_is_not_emptied(self):
        texts = self.run_uninstall(
            lambda m: "Y:", "",
            lambda run, m: [run.drive / "keep.txt", run.drive / "other" / "keep.txt"])
        self.assertEqual(texts, [UNSAFE, DONE])

    def test_an_install_dest_leading_out_of_the_folder_is_not_emptied(self):
        texts = self.run_uninstall(
            lambda m: m.desktop_windows_path + "\\Chosen", "..",
            lambda run, m: [m.desktop / "keep.txt", m.desktop / "Chosen" / "keep.txt"])
        self.assertEqual(texts, [UNSAFE, DONE])

    def test_a_link_inside_the_destination_is_removed_not_followed(self):
        with skin_run(self._testMethodName, app_skin(), **APP_KEYS) as run:
            machine, screen = Machine(run), Screen(run)
            install(run, screen, machine)
            outside = run.scratch / "outside"
            planted = canary(outside / "keep.txt")
            canary(outside / "deeper" / "keep.txt")
            link = machine.desktop / "Games" / "MyApp" / "link to outside"
            link.symlink_to(outside)
            texts = uninstall(run, screen)
            self.assertEqual(planted.read_bytes(), b"must survive")
            self.assertTrue((outside / "deeper" / "keep.txt").exists())
            # Wine reports the link as a folder with the reparse-point bit; the
            # program removes it without entering it, but Wine 8 refuses to
            # delete a Unix symbolic link to a folder (RemoveDirectoryW answers
            # "not empty", DeleteFileW "access denied"), so under Wine the link,
            # and the folders holding it, stay: work left, and the record with
            # it. Everything else is gone.
            dest = machine.desktop / "Games" / "MyApp"
            remaining = sorted(p.name for p in dest.iterdir()) if dest.exists() else []
            self.assertIn((remaining, texts, machine.record.exists()),
                          (([], [DONE], False), (["link to outside"], [INCOMPLETE], True)))
            self.assertFalse((machine.desktop / "Saves").exists())


if __name__ == "__main__":
    unittest.main(verbosity=2)
