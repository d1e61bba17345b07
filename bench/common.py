"""Shared pieces of the benchmarks: a run of setup.exe in its own prefix copy
on a virtual screen of any size (the end-to-end harness, with its safety checks:
no Z: drive, user folders inside the prefix, drive Y: on scratch, and its fast
one-pixel screen reader), the Linux process of setup.exe, and statistics."""

import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = ROOT / "build"
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import harness  # noqa: E402
from harness import PixelReader, SetupRun, wait_for  # noqa: E402, F401


def prepare_environment():
    """The template prefix (made once) and the harness settings for a bench run."""
    template = BUILD / "wine" / "bench-template"
    if not (template / "system.reg").exists():
        subprocess.run(["bash", str(ROOT / "scripts" / "wine_prefix.sh"), str(template)],
                       check=True)
    os.environ.setdefault("SETUP_TEMPLATE_PREFIX", str(template))
    os.environ.setdefault("SETUP_SCRATCH", str(BUILD / "scratch" / "bench"))
    os.environ.setdefault("SETUP_EXE", str(BUILD / "setup.exe"))
    os.environ.setdefault("SETUP_PROBE", str(BUILD / "probe.exe"))


def use_screen(width: int, height: int):
    """Every run started after this gets an Xvfb screen (and backdrop) of that size."""
    harness.SCREEN_WIDTH, harness.SCREEN_HEIGHT = width, height


def start_display(run: SetupRun):
    """Starts the run's Xvfb and backdrop unless they are up (the harness keeps one
    wineserver up between starts of the program, so that every start finds the
    same state)."""
    if run.display is None:
        run._start_xvfb()
    if run._backdrop is None:
        run._start_backdrop()


def linux_pids_of_program(run: SetupRun, name: str = "setup.exe"):
    """Linux pids of the processes running `name` in this run's prefix."""
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
            if cmdline.lower().replace("/", "\\").split("\\")[-1] != name:
                continue
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if b"WINEPREFIX=" + str(run.prefix).encode() in environ:
            pids.append(int(entry.name))
    return pids


def memory_of(pid: int) -> dict:
    """VmHWM and VmRSS (KiB) of a Linux process."""
    values = {}
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            key, _, rest = line.partition(":")
            if key in ("VmHWM", "VmRSS", "VmPeak"):
                values[key] = int(rest.split()[0])
    except OSError:
        pass
    return values


def cpu_seconds(pid: int) -> float:
    """User and system CPU time (all threads) a Linux process has used so far; 0 once gone."""
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rpartition(")")[2].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime, stime


def wineserver_pids(run: SetupRun):
    """Linux pids of this run's wineserver (Debian starts it as wineserver64 or wineserver32)."""
    return linux_pids_of_program(run, "wineserver64") + linux_pids_of_program(run, "wineserver32")


def close_program(run: SetupRun, timeout: float = 30):
    """Sends WM_CLOSE to the program's main window and waits for it to end."""
    for window in run.program_windows():
        if not window.is_dialog:
            run.send_close(window)
    return run.exit_code(timeout=timeout)


def summary(values, unit="s", scale=1.0, digits=3) -> str:
    """median, min-max spread and count."""
    v = [x * scale for x in values]
    med = statistics.median(v)
    return (f"median {med:.{digits}f} {unit}, min {min(v):.{digits}f}, max {max(v):.{digits}f}, "
            f"spread {max(v) - min(v):.{digits}f} {unit}, n={len(v)}")


def tree_size(folder):
    """(files, bytes) of everything below folder."""
    files = [p for p in folder.rglob("*") if p.is_file()]
    return len(files), sum(p.stat().st_size for p in files)


def remove(path):
    if path.is_dir():
        shutil.rmtree(path)
    elif path.exists():
        path.unlink()


def cp_once(source, target):
    """`cp -r source target` after a `sync`, timed; (seconds, tree_size of the copy)."""
    remove(target)
    subprocess.run(["sync"], check=True)
    start = time.monotonic()
    subprocess.run(["cp", "-r", str(source), str(target)], check=True)
    took = time.monotonic() - start
    return took, tree_size(target)
