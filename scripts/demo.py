#!/usr/bin/env python3
"""The sample skin's demo.

    demo.py --layout FOLDER   lays the sample setup folder out in FOLDER
    demo.py --walkthrough     installs and uninstalls by itself on a private
                              virtual display, saving a screenshot of each
                              stage under build/demo/
    demo.py --walkthrough --readme-picture
                              also puts four of them together as docs/demo.png

The folder holds setup.exe, the sample Setup.ini and pictures (demo/skin), and
a payload: the sample program, its read-me, and enough small files that the
progress bar can be watched while they are copied."""

import argparse
import os
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = ROOT / "build"
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

ASSET_FILES, ASSET_SIZE = 2500, 1000
README_PICTURE = ROOT / "docs" / "demo.png"
README_STAGES = ("2-highlight.png", "3-folder-chooser.png", "4-progress.png", "5-auto-start-question.png")


def sample_layout() -> dict:
    """The sample Setup.ini's numeric keys (where the buttons and the bar are)."""
    text = (ROOT / "demo" / "skin" / "Setup.ini").read_bytes().decode("cp932")
    keys = dict(line.split("=", 1) for line in text.splitlines() if "=" in line and not line.startswith(";"))
    return {k: int(v) for k, v in keys.items() if v.lstrip("-").isdigit()}


def skin_files() -> dict:
    """Relative path -> contents (bytes, or a Path to copy) of the sample folder."""
    files = {}
    for path in sorted((ROOT / "demo" / "skin").rglob("*")):
        if path.is_file():
            files[path.relative_to(ROOT / "demo" / "skin").as_posix()] = path
    files["data/installed_app.exe"] = BUILD / "installed_app.exe"
    block = bytes((i * 31) & 0xFF for i in range(ASSET_SIZE))
    for i in range(ASSET_FILES):
        files[f"data/assets/asset{i:04d}.dat"] = block
    return files


def layout(folder: Path):
    shutil.copy2(BUILD / "setup.exe", folder / "setup.exe")
    for relative, content in skin_files().items():
        target = folder / relative
        target.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, Path):
            shutil.copy2(content, target)
        else:
            target.write_bytes(content)


def walkthrough():
    from harness import SetupRun, wait_for
    from skin_run import CHOOSER_TITLE, Machine, Screen

    shots = BUILD / "demo"
    if shots.is_symlink() or shots.is_file():
        shots.unlink()
    shutil.rmtree(shots, ignore_errors=True)
    shots.mkdir(parents=True)
    template = BUILD / "wine" / "demo-template"
    if not (template / "system.reg").exists():
        subprocess.run(["bash", str(ROOT / "scripts" / "wine_prefix.sh"), str(template)], check=True)
    os.environ.update(SETUP_TEMPLATE_PREFIX=str(template), SETUP_SCRATCH=str(BUILD / "demo-run"),
                      SETUP_EXE=str(BUILD / "setup.exe"), SETUP_PROBE=str(BUILD / "probe.exe"))
    saved = []

    def shot(run, name):
        path = shots / name
        run.screenshot(path)
        saved.append(path)

    keys = sample_layout()
    # Points inside the buttons (their pictures are 160 x 52) and along the bar.
    install = (keys["InstallButtonX"] + 80, keys["InstallButtonY"] + 26)
    uninstall = (keys["UninstallButtonX"] + 80, keys["UninstallButtonY"] + 26)
    install_face = (keys["InstallButtonX"] + 12, keys["InstallButtonY"] + 10)
    bar_y = keys["ProgressBarY"] + 10

    with SetupRun("demo", ini=None, files=skin_files(), backdrop=True) as run:
        machine = Machine(run)
        screen = Screen(run)
        wait_for(lambda: screen.pixel(*install) != (0, 0, 0) and screen.pixel(240, 120) != (0, 0, 0),
                 15, what="the first screen")
        shot(run, "1-window.png")
        frame = (screen.window.left, screen.window.top, screen.window.width, screen.window.height)
        plain = screen.pixel(*install_face)
        screen.move(*install_face)
        wait_for(lambda: screen.pixel(*install_face) != plain, 10, what="the Install highlight")
        shot(run, "2-highlight.png")
        screen.click(*install)
        chooser = run.wait_window(title=CHOOSER_TITLE, timeout=20)
        shot(run, "3-folder-chooser.png")
        run.key("Return", window=chooser)
        run.wait_gone(chooser)
        # The bar grows from its left edge by a hundredth a tick; catch it part-way.
        def bar_at(x):
            r, g, b = screen.pixel(keys["ProgressBarX"] + x, bar_y)
            return r < 130 and b > 150  # the bar's blue, not the grey of its track
        wait_for(lambda: bar_at(10) and bar_at(120), 30, interval=0.1, what="the progress bar part-way")
        shot(run, "4-progress.png")
        question = run.wait_message_box(timeout=60)
        shot(run, "5-auto-start-question.png")
        run.key("y", window=question)
        app = run.wait_window(title="サンプル アプリ", timeout=30)
        assert run.exit_code(timeout=20) == 0
        wait_for(lambda: [w for w in run.windows() if w.hwnd == app.hwnd], 5, what="the sample app")
        shot(run, "6-installed-app.png")
        run.send_close(app)

        # Started again, the program finds its record: Uninstall is available.
        run.start_program()
        screen = Screen(run)
        wait_for(lambda: screen.pixel(240, 120) != (0, 0, 0), 15, what="the second start")
        screen.move(*uninstall)
        screen.click(*uninstall)
        confirm = run.wait_message_box(timeout=20)
        shot(run, "7-uninstall-question.png")
        run.key("y", window=confirm)
        run.wait_gone(confirm)
        done = run.wait_message_box(timeout=30)
        shot(run, "8-uninstalled.png")
        assert not machine.record.exists(), "the record is gone"
        run.key("Return", window=done)
        run.wait_gone(done)
        run.send_close(screen.window)
        run.exit_code(timeout=20)
    for path in saved:
        print(f"demo: {path}")
    return shots, frame


def readme_picture(shots: Path, frame):
    """docs/demo.png: four stages side by side, each cut to the window and a margin."""
    left, top, width, height = frame
    margin = 36
    crop = f"{width + 2 * margin}x{height + 2 * margin}+{left - margin}+{top - margin}"
    tiles = []
    for name in README_STAGES:
        tiles += ["(", str(shots / name), "-crop", crop, "+repage", ")"]
    subprocess.run(["convert", *tiles[:12], "+append", "(", *tiles[12:], "+append", ")", "-append",
                    "-resize", "75%", "-strip", "-define", "png:exclude-chunks=date,time",
                    str(README_PICTURE)], check=True)
    print(f"demo: {README_PICTURE}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--layout", type=Path)
    group.add_argument("--walkthrough", action="store_true")
    parser.add_argument("--readme-picture", action="store_true",
                        help="with --walkthrough: also make docs/demo.png from its screenshots")
    args = parser.parse_args()
    if args.layout:
        layout(args.layout)
    else:
        shots, frame = walkthrough()
        if args.readme_picture:
            readme_picture(shots, frame)


if __name__ == "__main__":
    main()
