#!/usr/bin/env python3
"""Faults from outside during an install or uninstall: a destination that fills
up, a drive too small for the payload, read-only files already in the
destination, a payload file another process holds open, Setup.ini edited
between install and uninstall, and the window closed at many moments of an
install.

Every test proves three things besides its own checks: nothing hangs (every
wait has a deadline), nothing crashes (the program ends with code 0 where it
ends, and no Wine crash dialog or winedbg process shows up), and nothing
outside the install is touched: canary files stand beside the install, in the
start menu, in the Windows folder, on drive Y: and outside the prefix, and a
snapshot of drive C: and drive Y: (every file's size and time, every folder)
taken before the install must match afterwards except below the folders the
install owns.

The full destination: as root, a 1 MiB tmpfs is mounted on the prefix's
Desktop (the folder the chooser confirms), and the payload is small enough for
the program's free-space check but takes more room than that on tmpfs (every
small file takes a whole 4 KiB page), so the disk fills up part-way through
the copy. The drive too small: the same tmpfs on a folder in the run's scratch
folder, mapped as drive T:, with the Desktop shell folder pointed at T:\Desktop,
and a payload of 2 MiB, which the free-space check refuses before anything is
made. Where mounting is not allowed (not root, or no CAP_SYS_ADMIN, as in an
unprivileged container) those cases are skipped with the reason. The harness
undoes the mounts once the run's Wine has ended, before the run's scratch folder
is removed, and leaves that folder alone, loudly, if one will not go; they are
visible machine-wide while the test runs, on folders inside the run's scratch
folder only.

Read-only files: mode 0444, which Wine reports as FILE_ATTRIBUTE_READONLY. Root
writes through mode bits on Linux, so Wine running as root would write over
them where Windows refuses; as root the files are also made immutable
(`chattr +i`, undone before clean-up), else that case is skipped with the reason.

The locked payload file is held open without sharing by `probe lock` in the
same prefix for the whole install.

WM_CLOSE at many moments: one prefix, the program started afresh for every
trial; a `probe close-on-input`, started before the trial, posts WM_CLOSE the
moment the test writes a line to it (starting a Wine process takes longer than
the moments being aimed at). The trials are counted and printed. Under Xvfb
without a window manager every window that goes away costs Wine about 2 s
(see docs/performance.md), which shows in the printed end times.
"""

import json
import os
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from harness import crash_lines, wait_for
from skin_run import (CAPTION, CHOOSER_TITLE, Machine, Screen, answer_box, confirm_chooser,
                      skin_run)
from skins import INSTALL_H, UNINSTALL_H, ini_bytes
from test_install import APP_KEYS, PAYLOAD, app_skin
from test_uninstall import DONE, canary, uninstall

NOT_COPIED = ("一部のファイルをコピーできませんでした。\n"
              "コピーできなかったファイルはインストールされていません。")
NOT_ENOUGH_SPACE = "空き領域が足りません。インストールを中止しました。"
CANARY = b"must survive"


# ----- what may change, and what must not ----------------------------------

def owned_paths(machine):
    """What an install or uninstall of APP_KEYS may create, change or remove."""
    return [machine.desktop / "Games", machine.desktop / "Saves",
            machine.programs / "TestApp", machine.record]


def plant_canaries(run, machine):
    """Files where a wrong path would reach: beside the install, in the start
    menu, in the Windows folder, on drive Y: and outside the prefix."""
    places = [machine.desktop / "keep.txt", machine.desktop / "Other" / "keep.txt",
              machine.programs / "keep.txt", machine.programs / "Other" / "keep.txt",
              machine.windows / "keep.txt", machine.profile / "keep.txt",
              run.prefix / "drive_c" / "keep.txt", run.drive / "keep.txt",
              run.skin / "keep.txt", run.scratch / "outside" / "keep.txt"]
    return [canary(path) for path in places]


def snapshot(run, skip=()):
    """{path: (kind, size, mtime)} of everything on drives C: and Y: and in the
    run's scratch folder outside the prefix, except below the paths in skip."""
    skip = [Path(p) for p in skip]
    roots = [run.prefix / "drive_c", run.drive, run.scratch / "outside"]
    state = {}
    for root in roots:
        for folder, dirs, files in os.walk(root):
            here = Path(folder)
            dirs[:] = [d for d in dirs if not any(_below(here / d, s) for s in skip)]
            for name in dirs:
                state[str(here / name)] = ("dir", 0, 0)
            for name in files:
                path = here / name
                if any(_below(path, s) for s in skip):
                    continue
                info = path.lstat()
                state[str(path)] = ("file", info.st_size, info.st_mtime_ns)
    return state


def _below(path, top):
    return path == top or top in path.parents


class FaultCase(unittest.TestCase):

    def assert_untouched(self, before, after, canaries):
        changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
        self.assertEqual(changed, [], "nothing outside the install changes")
        for path in canaries:
            self.assertEqual(path.read_bytes(), CANARY, path)

    def assert_no_crash(self, run):
        names = [json.loads(line)["exe"].lower()
                 for line in run._probe("processes").splitlines() if line.strip()]
        self.assertFalse([n for n in names if "winedbg" in n], f"no crash handler: {names}")
        titles = [w.title for w in run.windows()]
        crash_titles = ("program error", "プログラム エラー")
        self.assertFalse([t for t in titles if any(c in t.lower() for c in crash_titles)],
                         f"no crash dialog: {titles}")
        self.assertEqual(crash_lines(run.log()), [], "no crash reported in the log")

    def start_install(self, run):
        screen = Screen(run)
        screen.wait_highlight(25, 255, INSTALL_H)
        screen.click(30, 260)
        return screen

    def close_and_check(self, run, screen):
        run.send_close(screen.window)
        self.assertEqual(run.exit_code(timeout=20), 0)
        self.assert_no_crash(run)


def installed_files(folder):
    return {str(p.relative_to(folder)).replace(os.sep, "/"): p.read_bytes()
            for p in sorted(folder.rglob("*")) if p.is_file()}


# ----- a destination that fills up ----------------------------------------

SMALL_FILES = 600            # 600 x 1023 bytes: 0.6 MB to copy, 2.4 MB on tmpfs
TMPFS_SIZE = "1m"


class FullDestination(FaultCase):

    def test_a_destination_that_fills_up_reports_the_files_and_finishes(self):
        skin = app_skin()
        block = bytes((i * 7) & 0xFF for i in range(1023))
        for i in range(SMALL_FILES):
            skin.overrides[f"data/many/f{i:04d}.dat"] = block
        with skin_run(self._testMethodName, skin, start=False, **APP_KEYS) as run:
            machine = Machine(run)
            run.mount_tmpfs(machine.desktop, TMPFS_SIZE)
            canaries = plant_canaries(run, machine)
            before = snapshot(run, owned_paths(machine))
            run.start()
            screen = self.start_install(run)
            confirm_chooser(run)
            box = answer_box(run, timeout=60)
            self.assertEqual((box.caption, box.text), ("Error", NOT_COPIED))
            wait_for(machine.record_written, 20, what="the uninstall record")
            screen.wait_highlight(155, 255, UNINSTALL_H)
            usage = shutil.disk_usage(machine.desktop)
            print(f"\n  full destination: {usage.free} bytes left of {usage.total}")
            dest = machine.desktop / "Games" / "MyApp"
            copied = installed_files(dest)
            complete = [n for n, c in copied.items() if c == skin.overrides["data/" + n]]
            empty = [n for n, c in copied.items() if not c and skin.overrides["data/" + n]]
            print(f"  {len(complete)} of {len(PAYLOAD) - 1 + SMALL_FILES} files complete; "
                  f"left in the destination: {len(empty)} empty, "
                  f"{len(copied) - len(complete) - len(empty)} cut short")
            self.assertLess(len(complete), SMALL_FILES, "the disk filled up part-way")
            # A file that could not be written whole leaves nothing behind.
            self.assertEqual(sorted(copied), sorted(complete), "no empty or cut-off copies")
            self.assertTrue((machine.programs / "TestApp" / "Read me.lnk").is_file())
            # The uninstall still clears everything on the full disk.
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertFalse((machine.desktop / "Games").exists())
            self.assertFalse(machine.record.exists())
            self.close_and_check(run, screen)
            self.assert_untouched(before, snapshot(run, owned_paths(machine)), canaries)

    def test_a_drive_too_small_for_the_payload_refuses_the_install_and_makes_nothing(self):
        skin = app_skin()
        skin.overrides["data/big.bin"] = bytes(2 * 1024 * 1024)
        with skin_run(self._testMethodName, skin, start=False, **APP_KEYS) as run:
            machine = Machine(run)
            drive = run.scratch / "small-drive"
            run.mount_tmpfs(drive, TMPFS_SIZE)
            (run.prefix / "dosdevices" / "t:").symlink_to(drive)
            desktop = drive / "Desktop"
            desktop.mkdir()
            run.set_shell_folder("Desktop", "T:\\Desktop")
            canaries = plant_canaries(run, machine)
            before = snapshot(run)
            run.start()
            screen = self.start_install(run)
            confirm_chooser(run)
            box = answer_box(run)
            self.assertEqual((box.caption, box.text), ("Error", NOT_ENOUGH_SPACE))
            screen.wait_highlight(25, 255, INSTALL_H)  # Install can be pressed again
            self.assertEqual(list(desktop.iterdir()), [], "no folder or file on the small drive")
            self.assertFalse((machine.programs / "TestApp").exists())
            self.assertFalse(machine.record.exists())
            self.assert_untouched(before, snapshot(run), canaries)
            # The drive itself was asked: without the big file the same install fits there.
            (run.skin / "data" / "big.bin").unlink()
            screen.click(30, 260)
            confirm_chooser(run)
            wait_for(machine.record_written, 20, what="the uninstall record")
            self.assertEqual((desktop / "Games" / "MyApp" / "readme.txt").read_bytes(),
                             PAYLOAD["data/readme.txt"])
            self.close_and_check(run, screen)


# ----- read-only files in the destination ---------------------------------

class ReadOnlyDestination(FaultCase):

    def test_read_only_files_are_reported_kept_and_the_rest_installed(self):
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            dest = machine.desktop / "Games" / "MyApp"
            old = {"readme.txt": b"old read me", "bin/tool.bin": b"old tool"}
            paths = [dest / name for name in old]
            for path, content in zip(paths, old.values()):
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_bytes(content)
            try:
                reason = make_read_only(paths)
                if reason:
                    self.skipTest(reason)
                canaries = plant_canaries(run, machine)
                before = snapshot(run, owned_paths(machine))
                run.start()
                screen = self.start_install(run)
                confirm_chooser(run)
                box = answer_box(run, timeout=30)
                self.assertEqual((box.caption, box.text), ("Error", NOT_COPIED))
                wait_for(machine.record_written, 20, what="the uninstall record")
                screen.wait_highlight(155, 255, UNINSTALL_H)
                for name, content in old.items():
                    self.assertEqual((dest / name).read_bytes(), content,
                                     f"{name} keeps its content")
                for relative, content in PAYLOAD.items():
                    name = relative[len("data/"):]
                    if content is not None and name not in old:
                        self.assertEqual((dest / name).read_bytes(), content, name)
                self.assertTrue((dest / "empty folder").is_dir())
                self.assertTrue((machine.programs / "TestApp" / "Tools" / "Tool.lnk").is_file())
                self.close_and_check(run, screen)
                self.assert_untouched(before, snapshot(run, owned_paths(machine)), canaries)
            finally:
                undo_read_only(paths)


def make_read_only(paths):
    """Makes the files read-only for Wine: mode 0444, which Wine reports as
    FILE_ATTRIBUTE_READONLY. Root writes through mode bits on Linux, and Wine
    then writes where Windows would refuse, so as root the files are also made
    immutable (chattr +i). None on success, else why it cannot be done."""
    for path in paths:
        os.chmod(path, 0o444)
    if os.geteuid() != 0:
        return None
    if not shutil.which("chattr"):
        return "as root a read-only file needs chattr +i, and chattr is not installed"
    result = subprocess.run(["chattr", "+i", *map(str, paths)], capture_output=True, text=True)
    if result.returncode != 0:
        return f"as root a read-only file needs chattr +i, which failed: {result.stderr.strip()}"
    return None


def undo_read_only(paths):
    if os.geteuid() == 0 and shutil.which("chattr"):
        subprocess.run(["chattr", "-i", *map(str, paths)], capture_output=True)
    for path in paths:
        if path.exists():
            os.chmod(path, 0o644)


# ----- a payload file held open by another process -------------------------

class LockedSource(FaultCase):

    def test_a_locked_payload_file_is_reported_and_the_rest_installed(self):
        skin = app_skin()
        skin.overrides["data/locked.bin"] = b"L" * 5000
        with skin_run(self._testMethodName, skin, start=False, **APP_KEYS) as run:
            machine = Machine(run)
            canaries = plant_canaries(run, machine)
            before = snapshot(run, owned_paths(machine))
            run.start()
            screen = Screen(run)
            out = run.scratch / "lock.out"
            with open(out, "wb") as sink:
                locker = subprocess.Popen(
                    ["wine", str(run.probe), "lock", run.skin_windows_path + "\\data\\locked.bin",
                     "120"], cwd=run.drive, env=run.env(), stdin=subprocess.DEVNULL,
                    stdout=sink, stderr=subprocess.STDOUT)
            try:
                wait_for(lambda: b"locked" in out.read_bytes() or locker.poll() is not None, 20,
                         what="the lock on locked.bin")
                self.assertIsNone(locker.poll(), out.read_bytes())
                self.start_install(run)
                confirm_chooser(run)
                box = answer_box(run, timeout=30)
                self.assertEqual((box.caption, box.text), ("Error", NOT_COPIED))
                wait_for(machine.record_written, 20, what="the uninstall record")
                screen.wait_highlight(155, 255, UNINSTALL_H)
                self.assertIsNone(locker.poll(), "the lock was held throughout")
            finally:
                locker.kill()
                locker.wait(timeout=10)
            dest = machine.desktop / "Games" / "MyApp"
            self.assertFalse((dest / "locked.bin").exists(), "nothing is made for it")
            for relative, content in PAYLOAD.items():
                if content is not None:
                    self.assertEqual((dest / relative[len("data/"):]).read_bytes(), content)
            self.assertEqual((run.skin / "data" / "locked.bin").read_bytes(), b"L" * 5000)
            self.close_and_check(run, screen)
            self.assert_untouched(before, snapshot(run, owned_paths(machine)), canaries)


# ----- Setup.ini edited between install and uninstall ----------------------

class EditedSetupIni(FaultCase):

    def install_then_edit(self, run, machine, **changes):
        """Installs with APP_KEYS, ends the program, rewrites Setup.ini with
        changes, starts it again; returns its screen."""
        screen = self.start_install(run)
        confirm_chooser(run)
        wait_for(machine.record_written, 20, what="the uninstall record")
        screen.wait_highlight(155, 255, UNINSTALL_H)
        run.send_close(screen.window)
        self.assertEqual(run.exit_code(timeout=20), 0)
        run.write_file("Setup.ini", ini_bytes(app_skin().keys, Caption=CAPTION,
                                              **dict(APP_KEYS, **changes)))
        run.start_program()
        return Screen(run)

    def uninstall_after_editing(self, **changes):
        """The uninstall removes what the record says the install made, whatever
        Setup.ini says by then, and touches nothing else."""
        with skin_run(self.id().split(".")[-1], app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            canaries = plant_canaries(run, machine)
            before = snapshot(run, owned_paths(machine))
            run.start()
            screen = self.install_then_edit(run, machine, **changes)
            self.assertEqual(uninstall(run, screen), [DONE])
            self.assertFalse(machine.record.exists())
            for made in (machine.desktop / "Games", machine.desktop / "Saves",
                         machine.programs / "TestApp"):
                self.assertFalse(made.exists(), made)
            self.close_and_check(run, screen)
            skip = [run.skin / "Setup.ini"]
            self.assert_untouched(snapshot_without(before, skip), snapshot(run, skip), canaries)

    def test_a_renamed_shortcut_and_an_emptied_folder_key_change_nothing(self):
        self.uninstall_after_editing(CreateShortcutTo0="TestApp\\Renamed.lnk", CreateDirectory2="")

    def test_a_changed_install_dest_changes_nothing(self):
        self.uninstall_after_editing(InstallDest="Games\\Elsewhere", CreateDirectory1="Games\\Elsewhere")


def snapshot_without(state, skip):
    return {p: v for p, v in state.items() if not any(_below(Path(p), s) for s in skip)}


# ----- WM_CLOSE at many moments of an install ------------------------------

CLOSE_SMALL_FILES = 1000     # their byte-by-byte tails make the copy last seconds
BIG_FILE = 32 * 1024 * 1024


class CloseDuringInstall(FaultCase):

    def arm_close(self, run, window):
        """A probe.exe, already started, that posts WM_CLOSE to window as soon
        as it reads a line: starting a Wine process takes longer than a moment."""
        out = run.scratch / "closer.out"
        for _ in range(3):  # a Wine start that ends at once with status 1 and no output is made again
            with open(out, "wb") as sink:
                closer = subprocess.Popen(["wine", str(run.probe), "close-on-input", str(window.hwnd)],
                                          cwd=run.drive, env=run.env(), stdin=subprocess.PIPE,
                                          stdout=sink, stderr=subprocess.STDOUT)
            self.addCleanup(closer.kill)
            wait_for(lambda: b"ready" in out.read_bytes() or closer.poll() is not None, 20,
                     what="probe close-on-input to be ready")
            if not (closer.poll() == 1 and not out.read_bytes()):
                break
        self.assertIsNone(closer.poll(), out.read_bytes())
        return closer

    def test_closing_at_many_moments_always_ends_cleanly(self):
        skin = app_skin()
        block = bytes((i * 13) & 0xFF for i in range(1023))
        for i in range(CLOSE_SMALL_FILES):
            skin.overrides[f"data/many/f{i:04d}.dat"] = block
        skin.overrides["data/big.bin"] = bytes(range(256)) * (BIG_FILE // 256)
        total_files = sum(1 for c in skin.overrides.values() if c is not None)
        sources = {k[len("data/"):]: v for k, v in skin.overrides.items()
                   if k.startswith("data/") and v is not None}
        with skin_run(self._testMethodName, skin, start=False, **APP_KEYS) as run:
            machine = Machine(run)
            dest = machine.desktop / "Games" / "MyApp"
            # Moments: before the install, with the chooser up, just after it is
            # confirmed, once the destination is made (the copy starts next),
            # after a growing share of the files, and once the record is written.
            moments = [("window shown", None), ("chooser up", None),
                       ("chooser confirmed", lambda: True), ("destination made", dest.exists)]
            moments += [(f"{round(f * 100)}% of the files",
                         lambda n=max(1, int(f * total_files)): count_files(dest) >= n)
                        for f in (0.02, 0.1, 0.25, 0.5, 0.75, 0.97)]
            moments += [("record written", machine.record.exists)]
            canaries = plant_canaries(run, machine)
            before = snapshot(run, owned_paths(machine))
            results = []
            run.start()
            for trial, (moment, reached) in enumerate(moments):
                if trial:
                    for path in owned_paths(machine):
                        if path.is_dir():
                            shutil.rmtree(path)
                        elif path.exists():
                            path.unlink()
                    run.start_program()
                screen = Screen(run)
                closer = self.arm_close(run, screen.window)
                if moment != "window shown":
                    screen.wait_highlight(25, 255, INSTALL_H)
                    screen.click(30, 260)
                    if moment == "chooser up":
                        run.wait_window(title=CHOOSER_TITLE, timeout=20)
                    else:
                        chooser = run.wait_window(title=CHOOSER_TITLE, timeout=20)
                        run.key("Return", window=chooser)
                        wait_for(reached, 60, interval=0.005, what=moment)
                copied_then = count_files(dest)
                sent = time.monotonic()
                closer.stdin.write(b"\n")
                closer.stdin.close()
                self.assertEqual(closer.wait(timeout=20), 0, "WM_CLOSE was posted")
                code = run.exit_code(timeout=60)
                took = time.monotonic() - sent
                self.assertEqual(code, 0, moment)
                self.assert_no_crash(run)
                # A close once the copy runs still finishes the install: every
                # file whole, and the record. One before it installs nothing.
                installed = installed_files(dest) if dest.exists() else {}
                finished = machine.record.exists()
                if trial < 2:
                    self.assertFalse(finished or installed, moment)
                elif trial >= 3:
                    self.assertTrue(finished, moment)
                self.assertEqual(installed, sources if finished else {}, moment)
                results.append((moment, copied_then, count_files(dest), machine.record.exists(),
                                took))
                self.assert_untouched(before, snapshot(run, owned_paths(machine)), canaries)

            print(f"\n  {len(results)} trials of WM_CLOSE during an install of {total_files} "
                  f"files ({sum(map(len, sources.values()))} bytes):")
            for moment, then, at_end, record, took in results:
                print(f"    {moment:>18}: {then:5d} files when sent, {at_end:5d} at the end, "
                      f"record {'yes' if record else 'no '}, ended {took:.2f} s after WM_CLOSE")


def count_files(folder: Path) -> int:
    if not folder.exists():
        return 0
    return sum(len(files) for _, _, files in os.walk(folder))


if __name__ == "__main__":
    unittest.main(verbosity=2)
