#!/usr/bin/env python3
"""skintool.exe under Wine on a real skin: it scrambles the standard skin's
pictures (BMP, PNG and JPEG) into .ieg, .iep and .iej, setup.exe then shows
the window from those alone with the right size, shape and pixels, the check
passes on the scrambled skin, and unscrambling gives the original bytes back.
The check reads a UTF-8 Setup.ini and names outside code page 932 as they are,
and writes its report as UTF-8."""

import os
import shutil
import sys
import unittest
from pathlib import Path

from harness import BACKDROP_COLOR, BUILD, SetupRun
from skin_run import CAPTION, Screen
from skins import (BASE, EXIT, INSTALL, UNINSTALL, ini_bytes, jpeg, png, scramble_all,
                   scramble_bmp, standard_skin)

# The plain files the author starts from, and the scrambled name each becomes.
PLAIN_TO_SCRAMBLED = {
    "ui/base.bmp": "ui/base.ieg",
    "ui/Install.png": "ui/Install.iep",
    "ui/Uninstall.bmp": "ui/Uninstall.ieg",
    "ui/Exit.jpg": "ui/Exit.iej",
    "ui/Install_h.bmp": "ui/Install_h.ieg",
    "ui/Uninstall_h.bmp": "ui/Uninstall_h.ieg",
    "ui/Exit_h.bmp": "ui/Exit_h.ieg",
    "ui/ProgressBar.png": "ui/ProgressBar.iep",
}


def skintool_exe() -> Path:
    """skintool.exe is built beside setup.exe."""
    return Path(os.environ.get("SETUP_EXE") or BUILD / "setup.exe").parent / "skintool.exe"


def plain_files() -> dict:
    skin = standard_skin()
    files = skin.files()  # every picture as BMP
    pictures = skin.pictures
    files["ui/Install.png"] = png(pictures["Install"].width, pictures["Install"].height,
                                  pictures["Install"].color_at)
    files["ui/ProgressBar.png"] = png(pictures["ProgressBar"].width, pictures["ProgressBar"].height,
                                      pictures["ProgressBar"].color_at, color_type=6)
    files["ui/Exit.jpg"] = jpeg(pictures["Exit"].width, pictures["Exit"].height, EXIT)
    for name in ("ui/Install.bmp", "ui/ProgressBar.bmp", "ui/Exit.bmp"):
        del files[name]
    files["data/readme.txt"] = b"payload"
    return files


def close_to(rgb, expected, tolerance=8):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, expected))


class SkinToolOnARealSkin(unittest.TestCase):

    def run_skintool(self, run: SetupRun, *args, cwd: Path = None) -> (int, str):
        """Runs skintool.exe under Wine in the run's prefix; output through a file,
        not a pipe (Wine's helper processes may hold a pipe open)."""
        out_path = run.scratch / "skintool.out"
        code = run.run_wine(skintool_exe(), *args, output=out_path, cwd=cwd)
        return code, out_path.read_bytes().decode("utf-8", errors="replace")

    def test_setup_shows_the_window_from_the_scrambled_pictures(self):
        self.assertTrue(skintool_exe().exists(), f"{skintool_exe()} is missing")
        files = plain_files()
        skin = standard_skin()
        with SetupRun("skin_tool_scramble", ini=ini_bytes(skin.keys, Caption=CAPTION), files=files,
                      backdrop=True, start=False) as run:
            plain = [name.replace("/", "\\") for name in PLAIN_TO_SCRAMBLED]
            code, output = self.run_skintool(run, "scramble", *plain)
            self.assertEqual(code, 0, output)
            for name, scrambled in PLAIN_TO_SCRAMBLED.items():
                self.assertIn(f"{name.replace('/', chr(92))} -> {scrambled.replace('/', chr(92))}", output)
                expected = (scramble_bmp(files[name]) if name.endswith(".bmp")
                            else scramble_all(files[name]))
                self.assertEqual((run.skin / scrambled).read_bytes(), expected, scrambled)

            # Scrambling again refuses to replace what it wrote.
            code, output = self.run_skintool(run, "scramble", "ui\\base.bmp")
            self.assertEqual(code, 1, output)
            self.assertIn("exists already", output)

            # Only the scrambled forms stay: setup.exe must read those.
            for name in PLAIN_TO_SCRAMBLED:
                (run.skin / name).unlink()

            code, output = self.run_skintool(run, "check", ".")
            self.assertEqual(code, 0, output)
            self.assertIn("Setup.ini: read as Shift-JIS (code page 932)\n", output)
            self.assertIn(".: 0 errors, 1 warning", output)  # InstallDest is empty in this skin
            self.assertIn("InstallDest is empty", output)

            # Unscrambling copies gives the original bytes back.
            copies = run.drive / "copies"
            shutil.copytree(run.skin / "ui", copies)
            code, output = self.run_skintool(run, "unscramble", *sorted(os.listdir(copies)), cwd=copies)
            self.assertEqual(code, 0, output)
            for name in PLAIN_TO_SCRAMBLED:
                restored = copies / Path(name).name
                self.assertEqual(restored.read_bytes(), files[name], name)

            run.start()
            screen = Screen(run)
            self.assertEqual((screen.window.width, screen.window.height), (400, 300))
            screen.wait_pixel(200, 100, BASE)
            screen.wait_pixel(105, 105, BACKDROP_COLOR)  # the base's black hole is cut out
            screen.wait_pixel(30, 260, INSTALL)          # from Install.iep
            screen.wait_pixel(160, 260, UNINSTALL)       # from Uninstall.ieg
            exit_pixel = screen.pixel(290, 260)           # from Exit.iej (JPEG: nearly exact)
            self.assertTrue(close_to(exit_pixel, EXIT), f"Exit button shows {exit_pixel}")
            self.assertFalse([w for w in run.windows() if w.is_dialog],
                             "no picture may have been refused")


    def test_check_reads_utf8_and_names_outside_code_page_932(self):
        keys = {**standard_skin().keys, "Caption": "ほしぞらソフト", "UninstallIni": "한글.ini",
                "InstallDest": "😀 café", "CreateDirectory0": "😀 café",
                "CreateDirectory1": "😀 café\\..\\..\\Out"}
        ini = "".join(f"{k}={v}\r\n" for k, v in keys.items()).encode("utf-8")
        files = {**plain_files(), "data/한글/😀 café.txt": b"payload"}
        with SetupRun("skin_tool_utf8", ini=ini, files=files, start=False) as run:
            code, output = self.run_skintool(run, "check", ".")
            self.assertEqual(code, 1, output)
            self.assertTrue(output.startswith("Setup.ini: read as UTF-8\n"), output)
            self.assertIn('CreateDirectory1 = "😀 café\\..\\..\\Out" leads out of the folder', output)
            self.assertIn(".: 1 error, 0 warnings", output)  # the record's name and the rest are fine


class SkinToolOnTheSample(unittest.TestCase):
    """The sample skin that `make demo` ships passes the check, and each of its
    pictures survives a scramble and unscramble byte for byte."""

    def test_the_sample_has_no_findings_and_round_trips(self):
        sys.path.insert(0, str(BUILD.parent / "scripts"))
        from demo import skin_files
        files = skin_files()
        with SetupRun("skin_tool_sample", ini=None, files=files, start=False) as run:
            run_skintool = SkinToolOnARealSkin.run_skintool
            code, output = run_skintool(self, run, "check", ".")
            self.assertEqual(code, 0, output)
            self.assertIn(".: no problems found", output)

            pictures = sorted(p.name for p in (run.skin / "ui").iterdir())
            self.assertEqual(len(pictures), 8)
            code, output = run_skintool(self, run, "scramble", *pictures, cwd=run.skin / "ui")
            self.assertEqual(code, 0, output)
            for name in pictures:
                (run.skin / "ui" / name).rename(run.scratch / name)
            scrambled = sorted(p.name for p in (run.skin / "ui").iterdir())
            self.assertTrue(all(name.endswith(".iep") for name in scrambled), scrambled)
            code, output = run_skintool(self, run, "unscramble", *scrambled, cwd=run.skin / "ui")
            self.assertEqual(code, 0, output)
            for name in pictures:
                self.assertEqual((run.skin / "ui" / name).read_bytes(),
                                 (run.scratch / name).read_bytes(), name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
