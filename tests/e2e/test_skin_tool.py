#!/usr/bin/env python3
"""skintool.exe under Wine on a real skin: it scrambles the standard skin's
pictures (BMP, PNG and JPEG) into .ieg, .iep and .iej, setup.exe then shows
the window from those alone with the right size, shape and pixels, the check
passes on the scrambled skin, and unscrambling gives the original bytes back.
The check reads a UTF-8 Setup.ini and names outside code page 932 as they are,
and writes its report as UTF-8."""

import hashlib
import io
import os
import shutil
import subprocess
import sys
import unittest
import zipfile
from pathlib import Path

from harness import BACKDROP_COLOR, BUILD, SetupRun
from skin_run import CAPTION, Screen
from skins import (BASE, EXIT, INSTALL, UNINSTALL, ini_bytes, jpeg, png, scramble_all,
                   scramble_bmp, standard_skin)

# The colour of the base ImageMagick draws below (#C8B4A0).
BASE_OF_MAGICK = (0xC8, 0xB4, 0xA0)

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


def magick(*args, stdin: bytes = None) -> bytes:
    """A picture as ImageMagick writes it, to stdout."""
    return subprocess.run(["convert", *args], input=stdin, check=True, capture_output=True).stdout


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

    def test_check_sees_pictures_as_authors_make_them(self):
        """ImageMagick's own choices: an RGBA base with transparent white
        corners, a CMYK JPEG, a palette PNG for a bar of one colour; a JPEG
        base; and a misspelt layout key. setup.exe shows the transparent
        corner in its colour, as the check says."""
        skin = standard_skin()
        files = plain_files()
        del files["ui/base.bmp"]
        files["ui/base.png"] = magick("-size", "400x300", "xc:#C8B4A0", "-fill", "white",
                                      "-draw", "rectangle 0,0 5,5", "-alpha", "set", "-region", "6x6+0+0",
                                      "-alpha", "transparent", "+region", "PNG32:-")
        files["ui/Exit.jpg"] = magick("-size", "80x30", "xc:#28A028", "-colorspace", "CMYK", "jpg:-")
        del files["ui/ProgressBar.png"]
        files["ui/ProgressBar.png"] = magick("-size", "200x10", "xc:#F0C800", "png:-")
        keys = {("InstalButtonX" if k == "InstallButtonX" else k): v for k, v in skin.keys.items()}
        with SetupRun("skin_tool_authors", ini=ini_bytes(keys), files=files, start=False) as run:
            code, output = self.run_skintool(run, "check", ".")
            self.assertEqual(code, 1, output)
            for line in (
                    'Setup.ini:5: error: unknown key "InstalButtonX", ignored by setup.exe; without '
                    "InstallButtonX it places ui\\Install and ui\\Install_h at x = 0 (a missing number reads "
                    "as 0); did you mean InstallButtonX?",
                    "ui\\base.png: error: 36 pixels are transparent or translucent (alpha below 255, the first "
                    "at (0,0)) but not pure black: setup.exe ignores alpha, so the window shows them in their "
                    "own colour instead of cutting them out; make what should be cut out pure black (0,0,0)",
                    "ui\\Exit.jpg: error: a CMYK JPEG: setup.exe reads only RGB and grey JPEG files and "
                    "refuses it as damaged; save it in RGB colour: convert ui\\Exit.jpg -colorspace sRGB "
                    "ui\\Exit.jpg",
                    "ui\\ProgressBar.png: error: PNG colour type 3 (palette): setup.exe reads only RGB (2) and "
                    "RGBA (6) PNG files (ImageMagick and other tools write palette or grey PNGs by themselves "
                    "for a picture of few colours or only greys); save it as RGB: convert ui\\ProgressBar.png "
                    "PNG24:ui\\ProgressBar.png (or PNG32: with alpha)",
                    ".: 4 errors, 1 warning"):  # and InstallDest is empty
                self.assertIn(line + "\n", output)

            # A JPEG of the standard base: its black corners come back nearly black at the edges.
            (run.skin / "ui/base.png").unlink()
            (run.skin / "ui/base.jpg").write_bytes(magick("bmp:-", "-quality", "85", "jpg:-",
                                                          stdin=skin.pictures["base"].bmp()))
            code, output = self.run_skintool(run, "check", ".")
            self.assertRegex(output, r"ui\\base\.jpg: warning: [0-9]+ pixels are nearly black in the JPEG "
                                     r"base \(no channel above 16, the first at \([0-9]+,[0-9]+\)\) but not "
                                     r"pure black: .* save the base as PNG or BMP\n")

        files = {**skin.files(), "ui/base.png": files["ui/base.png"], "data/readme.txt": b"payload"}
        del files["ui/base.bmp"]
        with SetupRun("skin_tool_authors_window", ini=ini_bytes(skin.keys, Caption=CAPTION), files=files,
                      backdrop=True) as run:
            screen = Screen(run)
            screen.wait_pixel(200, 100, BASE_OF_MAGICK)
            screen.wait_pixel(2, 2, (255, 255, 255))  # transparent, yet shown
            screen.wait_pixel(6, 6, BASE_OF_MAGICK)


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


def tree(root: Path) -> dict:
    """Every file (its bytes) and folder (None) below root, by relative path."""
    return {p.relative_to(root).as_posix(): None if p.is_dir() else p.read_bytes()
            for p in root.rglob("*")}


class SkinToolPack(unittest.TestCase):
    """skintool.exe packs the sample skin into one executable that another zip
    reader takes as it is meant (UTF-8 names, the fixed date, deflate, the
    trailer's place and hash), leaves a link in data out, checks the packed
    file as the folder and unpacks it to the same files and folders."""

    def test_pack_check_and_unpack_the_sample(self):
        sys.path.insert(0, str(BUILD.parent / "scripts"))
        from demo import skin_files
        files = {**skin_files(), "data/한글/😀 café.txt": b"payload", "data/empty": None}
        with SetupRun("skin_tool_pack", ini=None, files=files, start=False) as run:
            run_skintool = SkinToolOnARealSkin.run_skintool
            outside = run.scratch / "outside"
            outside.mkdir()
            (outside / "secret.txt").write_bytes(b"not for the archive")
            (run.skin / "data" / "linked").symlink_to(outside)
            code, output = run_skintool(self, run, "pack", "Y:\\skin", "Y:\\packed.exe")
            self.assertEqual(code, 0, output)
            self.assertIn("skintool pack: warning: data\\linked: a link, which setup.exe does not copy: "
                          "not packed\n", output)

            exe = (run.drive / "packed.exe").read_bytes()
            program = (run.skin / "setup.exe").read_bytes()
            self.assertEqual(exe[-8:], b"SKINPACK")
            self.assertEqual(len(exe) % 8, 0)
            offset, size = (int.from_bytes(exe[-56 + i:-48 + i], "little") for i in (0, 8))
            self.assertEqual((offset, exe[:offset]), (len(program), program))
            self.assertLess(len(exe) - 56 - (offset + size), 8)
            self.assertEqual(hashlib.sha256(exe[offset:offset + size]).digest(), exe[-40:-8])
            archive = zipfile.ZipFile(io.BytesIO(exe[offset:offset + size]))
            self.assertIsNone(archive.testzip())
            # Setup.ini, then ui's files, then data and everything in it but the link,
            # each folder's entries in name order.
            on_disk = tree(run.skin)
            ui = sorted(name for name in on_disk if name.startswith("ui/") and on_disk[name] is not None)
            data = ["data/"] + sorted((name + "/" if on_disk[name] is None else name
                                       for name in on_disk if name.startswith("data/")
                                       and name != "data/linked"),
                                      key=lambda name: name.rstrip("/").split("/"))
            names = [info.filename for info in archive.infolist()]
            self.assertEqual(names, ["Setup.ini"] + ui + data)
            self.assertIn("data/empty/", names)
            for info in archive.infolist():
                self.assertEqual((info.flag_bits & 0x800, info.date_time), (0x800, (1980, 1, 1, 0, 0, 0)))
                if not info.filename.endswith("/"):
                    self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED, info.filename)
                    self.assertEqual(archive.read(info), (run.skin / info.filename).read_bytes())

            code, output = run_skintool(self, run, "check", "Y:\\packed.exe")
            self.assertEqual(code, 0, output)
            packed_files = sum(1 for name in names if not name.endswith("/"))
            self.assertTrue(output.startswith(f"packed: {packed_files} files in the archive\n"), output)
            self.assertIn("Y:\\packed.exe: no problems found", output)

            code, output = run_skintool(self, run, "unpack", "Y:\\packed.exe", "Y:\\back")
            self.assertEqual(code, 0, output)
            (run.skin / "data" / "linked").unlink()
            self.assertEqual(tree(run.drive / "back"), tree(run.skin))



if __name__ == "__main__":
    unittest.main(verbosity=2)
