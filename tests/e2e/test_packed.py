#!/usr/bin/env python3
"""The packed form: setup.exe carrying Setup.ini, ui and data in an archive of
its own. The install and uninstall scenarios run packed as well (ctest's
*_packed tests set SETUP_PACKED=1); here, what only the packed form has: an
archive that is damaged or cut short, and loose files beside it."""

import hashlib
import subprocess
import sys
import unittest

from harness import BUILD, SetupRun, wait_for
from skin_run import Machine, Screen, answer_box, confirm_chooser, skin_run
from skins import INSTALL_H
from test_install import APP_KEYS, PAYLOAD, app_skin, files_below, full_record

DAMAGED = "このインストーラのファイルは壊れているか、変更されています。インストーラを入手し直してください。"


def packed_archive_start(exe: bytes) -> int:
    """Where the archive starts: the trailer's first field."""
    return int.from_bytes(exe[-56:-48], "little")


def sample_install_and_uninstall(name: str, packed: bool) -> dict:
    """Installs and uninstalls the sample skin (answering No to its question);
    returns everything a user could see of both: boxes, files with their
    hashes, the shortcuts, the record."""
    sys.path.insert(0, str(BUILD.parent / "scripts"))
    from demo import skin_files
    seen = {}
    with SetupRun(name, ini=None, files=skin_files(), packed=packed) as run:
        machine, screen = Machine(run), Screen(run)
        screen.click(60, 285)  # Install
        confirm_chooser(run)
        record = machine.windows / "SampleSetupUninstall.ini"  # the sample's UninstallIni
        seen["question"] = (lambda box: (box.caption, box.text))(answer_box(run, key="n", timeout=60))
        seen["record"] = record.read_bytes()
        seen["installed"] = {path: hashlib.sha256((machine.desktop / path).read_bytes()).hexdigest()
                             if (machine.desktop / path).is_file() else None
                             for path in files_below(machine.desktop)}
        seen["start menu"] = files_below(machine.programs)
        seen["shortcuts"] = [run.read_link(machine.programs_windows_path + "\\" + path.replace("/", "\\"))
                             for path in seen["start menu"] if path.endswith(".lnk")]
        screen.click(230, 285)  # Uninstall
        seen["uninstall"] = [(box.caption, box.text) for box in (answer_box(run, key="y"), answer_box(run))]
        seen["left"] = (files_below(machine.desktop), files_below(machine.programs), record.exists())
    return seen


class PackedForm(unittest.TestCase):

    def test_the_sample_packed_alone_installs_and_uninstalls_as_the_folder_form_does(self):
        folder = sample_install_and_uninstall("sample_folder_form", packed=False)
        packed = sample_install_and_uninstall("sample_packed_form", packed=True)
        self.assertGreater(len(folder["installed"]), 2500)  # the sample's payload and folders
        self.assertEqual(packed, folder)

    def refused(self, change):
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            run.start_display()
            run.pack_skin()
            exe = run.skin / "setup.exe"
            exe.write_bytes(change(exe.read_bytes()))
            run.start_program()
            box = run.wait_message_box()
            self.assertEqual((box.caption, box.text, box.owner), ("Error", DAMAGED, 0))
            self.assertEqual(run.program_windows(), [box], "the message comes before any window")
            answer_box(run)
            self.assertEqual(run.exit_code(), 1)
            self.assertEqual(files_below(machine.desktop), [], "nothing was made")
            self.assertFalse(machine.record.exists())

    def test_one_changed_byte_of_the_archive_is_refused(self):
        def flip(exe):
            at = packed_archive_start(exe) + 40
            return exe[:at] + bytes([exe[at] ^ 1]) + exe[at + 1:]
        self.refused(flip)

    def test_a_file_cut_short_is_refused(self):
        self.refused(lambda exe: exe[:packed_archive_start(exe) + 1000])

    def test_make_sign_signs_the_archive_with_the_program(self):
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            run.start_display()
            run.pack_skin()
            exe = run.skin / "setup.exe"
            signer = run.scratch / "signer"
            signer.mkdir()
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                            "-subj", "/CN=Throw-away packed-file signer", "-keyout", signer / "key.pem",
                            "-out", signer / "cert.pem"], check=True, capture_output=True)
            subprocess.run(["make", "-C", str(BUILD.parent), "sign", f"CERT={signer / 'cert.pem'}",
                            f"KEY={signer / 'key.pem'}", f"FILES={exe}"], check=True, capture_output=True)

            def verifies(path):
                return subprocess.run(["osslsigncode", "verify", "-CAfile", signer / "cert.pem", "-in", path],
                                      capture_output=True).returncode == 0
            self.assertTrue(verifies(exe))
            signed = exe.read_bytes()
            changed = run.scratch / "changed.exe"
            trailer_end = signed.rfind(b"SKINPACK") + 8  # the signature follows it
            at = packed_archive_start(signed[:trailer_end]) + 40
            changed.write_bytes(signed[:at] + bytes([signed[at] ^ 1]) + signed[at + 1:])
            self.assertFalse(verifies(changed), "the signature covers the archive")
            run.start_program()  # the signed file still finds its archive before the signature
            Screen(run).wait_highlight(25, 255, INSTALL_H)

    def test_loose_files_beside_it_are_never_read(self):
        # Setup.ini, ui and data beside the packed program, all different from its archive.
        with skin_run(self._testMethodName, app_skin(), start=False, **APP_KEYS) as run:
            machine = Machine(run)
            run.start_display()
            run.pack_skin(keep_loose=True)
            run.write_file("Setup.ini", b"this is no Setup.ini\r\n")
            for highlight in (run.skin / "ui").glob("Install_h.*"):
                highlight.unlink()
            run.write_file("data/readme.txt", b"loose, not packed")
            run.write_file("data/loose only.txt", b"loose")
            run.start_program()
            screen = Screen(run)
            screen.wait_highlight(25, 255, INSTALL_H)  # the archive's pictures and Setup.ini
            screen.click(30, 260)
            confirm_chooser(run)
            wait_for(machine.record_written, 20, what="the uninstall record")
            dest = machine.desktop / "Games" / "MyApp"
            self.assertEqual((dest / "readme.txt").read_bytes(), PAYLOAD["data/readme.txt"])
            self.assertFalse((dest / "loose only.txt").exists())
            self.assertEqual(machine.record.read_bytes(),
                             full_record(machine.desktop_windows_path, APP_KEYS))


if __name__ == "__main__":
    unittest.main(verbosity=2)
