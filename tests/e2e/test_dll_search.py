#!/usr/bin/env python3
"""Where setup.exe's DLLs come from: every DLL it loads by name through a whole
install (chooser, copy, shortcuts, record, auto-start) and uninstall is planted
as a marker DLL beside it, in its current directory and in a folder on PATH,
with Wine told to prefer those copies to its own, as Windows takes a DLL that
is not a known DLL from the program's folder first. None of them may be
loaded into setup.exe."""

import os
import re
import shutil
import unittest
from pathlib import Path

from harness import BUILD, wait_for
from skin_run import Machine, Screen, press_install_and_confirm, skin_run
from test_install import APP_KEYS, app_skin
from test_uninstall import DONE, canary, uninstall

MARKER_DLL = Path(os.environ.get("SETUP_MARKER_DLL", BUILD / "marker.dll"))

# Loaded before setup.exe's first instruction, so nothing the program does can
# choose where they come from, and not planted: a marker in their place would
# leave the program without them. kernel32, user32, gdi32 and msvcrt are its
# static imports (known DLLs on Windows); the others are what Wine's own
# kernel32, msvcrt, user32 and gdi32 import.
NOT_PLANTED = {"setup.exe", "kernelbase.dll", "kernel32.dll", "msvcrt.dll", "user32.dll",
               "gdi32.dll", "win32u.dll", "ucrtbase.dll", "advapi32.dll", "sechost.dll",
               "zlib1.dll"}
# Planted, and still loaded from setup.exe's folder under Wine, before its first
# instruction: Wine's user32 loads imm32 as it starts (on Windows imm32 is a
# known DLL). Wine's user32 also imports version (Windows' does not): the
# manifest pins that one to system32, and Wine honours it.
LOADED_BEFORE_START = {"imm32.dll"}

LOADED = re.compile(r'^(\w+):\w+:trace:loaddll:\w+ Loaded L"([^"]+)"', re.M)


def dlls_of_setup(log: str):
    """The file names of the modules that `WINEDEBUG=+pid,+loaddll` shows setup.exe loading."""
    loads = [(pid, path.replace("\\\\", "\\").rsplit("\\", 1)[-1].lower())
             for pid, path in LOADED.findall(log)]
    setup_pids = {pid for pid, name in loads if name == "setup.exe"}
    return {name for pid, name in loads if pid in setup_pids}


def install_and_uninstall(test, run, machine):
    """A whole install with AutoStart=2 (which ends the program), then a second
    start that uninstalls and closes."""
    press_install_and_confirm(run)
    test.assertEqual(run.exit_code(timeout=60), 0)
    wait_for((machine.desktop / "Games" / "MyApp" / "launched.txt").exists, 20,
             what="the launched program's file")
    test.assertTrue(machine.record.exists())
    run.start_program()
    screen = Screen(run)
    test.assertEqual(uninstall(run, screen), [DONE])
    run.send_close(screen.window)
    test.assertEqual(run.exit_code(timeout=30), 0)
    test.assertFalse((machine.desktop / "Games").exists())
    test.assertFalse(machine.record.exists())


class DllSearch(unittest.TestCase):

    def run_with(self, name):
        skin = app_skin()
        skin.overrides["data/run.bat"] = b"echo started> launched.txt\r\n"
        return skin_run(name, skin, start=False,
                        **dict(APP_KEYS, AutoStart=2, AutoStartPath="Games\\MyApp\\run.bat"))

    def start(self, run, **env):
        """Starts setup.exe from Y:\\bin, with the skin folder Y:\\skin as its current directory."""
        (run.drive / "bin").mkdir(exist_ok=True)
        (run.skin / "setup.exe").rename(run.drive / "bin" / "setup.exe")
        run.program, run.program_env = "Y:\\bin\\setup.exe", env
        run.start()

    def test_no_dll_it_loads_by_name_comes_from_its_folder_or_path(self):
        with self.run_with("traced") as run:
            self.start(run, WINEDEBUG="+pid,+loaddll")
            install_and_uninstall(self, run, Machine(run))
            names = dlls_of_setup(run.log())
        self.assertTrue({"shell32.dll", "ole32.dll", "imm32.dll"} <= names, names)
        planted = sorted(names - NOT_PLANTED)

        with self.run_with("planted") as run:
            machine = Machine(run)
            markers, path_folder = run.drive / "markers", run.drive / "path"
            for folder in (markers, path_folder, run.drive / "bin"):
                folder.mkdir()
            for name in planted:
                for folder in (run.drive / "bin", run.skin, path_folder):
                    shutil.copy(MARKER_DLL, folder / name)
            canaries = [canary(machine.desktop / "keep.txt"), canary(run.drive / "keep.txt")]
            self.start(run, SETUP_MARKER_DIR="Y:\\markers", WINEPATH="Y:\\path",
                       WINEDLLOVERRIDES=run.env()["WINEDLLOVERRIDES"] + ";" +
                       ",".join(name.rsplit(".", 1)[0] for name in planted) + "=n,b")
            try:
                install_and_uninstall(self, run, machine)
            finally:
                # A marker is named "<dll>.<exe>"; the launched program's own loads are not setup.exe's.
                loaded = {p.name[:-len(".setup.exe")].lower() for p in markers.iterdir()
                          if p.name.lower().endswith(".setup.exe")}
                self.assertEqual(loaded, LOADED_BEFORE_START & set(planted),
                                 f"planted DLLs loaded into setup.exe (planted: {planted})")
            for path in canaries:
                self.assertEqual(path.read_bytes(), b"must survive", path)


if __name__ == "__main__":
    unittest.main(verbosity=2)
