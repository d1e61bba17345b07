"""End-to-end harness: runs the real setup.exe under Wine on a private virtual
display, in a private copy of the template prefix, from a skin folder on a
scratch drive Y:, and lets a test look at its windows and drive it with real input.

    with SetupRun("no_ini", ini=None) as run:
        box = run.wait_message_box()
        run.press_message_box_ok(box)
        assert run.exit_code() == 0
"""

import atexit
import ctypes
import glob
import itertools
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import unittest
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, List, Optional, Union

REPO = Path(__file__).resolve().parents[2]
BUILD = REPO / "build"

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768
BACKDROP_COLOR = (0x12, 0xAB, 0x34)
DEFAULT_TIMEOUT = 30.0
SHELL_FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
# The locales Wine runs in: its ANSI code page comes from LANG at every start
# (932 under Japanese; 1252 under English, where only the manifest gives 932).
JAPANESE, ENGLISH = "ja_JP.UTF-8", "en_US.UTF-8"

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_DLGFRAME = 0x00400000
WS_THICKFRAME = 0x00040000
WS_VISIBLE = 0x10000000
IDOK = 1


class WaitTimeout(AssertionError):
    """A state the test waited for did not come in time (reported as a failure)."""


def _setting(name: str, default: Path) -> Path:
    return Path(os.environ.get(name) or default)


def wait_for(predicate: Callable[[], object], timeout: float = DEFAULT_TIMEOUT,
             interval: float = 0.05, what: str = "condition",
             describe: Optional[Callable[[], str]] = None):
    """Polls predicate until it returns something truthy, which is returned;
    raises WaitTimeout after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            extra = f" ({describe()})" if describe else ""
            raise WaitTimeout(f"timed out after {timeout:.1f} s waiting for {what}{extra}")
        time.sleep(interval)


# Wine's own program and library files in a prefix (drive_c/windows/system32 alone is
# over 600 MB). Wine never writes them, and a test that deletes or replaces one only
# drops its own link, so every copy of the template shares them as hard links.
SHARED_SUFFIXES = frozenset({".dll", ".exe", ".sys", ".drv", ".ocx", ".cpl", ".acm", ".nls",
                             ".tlb", ".ds", ".com", ".ax", ".msstyles"})


def copy_prefix(template: Path, target: Path):
    """Copies a Wine prefix: folders, links, the registry and all other small files
    are copied; Wine's program and library files under drive_c (not in the user
    profiles) are hard-linked to the template's. Links stay links, pointing where
    they pointed."""
    for folder, dirs, files in os.walk(template):
        source = Path(folder)
        relative = source.relative_to(template)
        dest = target / relative
        dest.mkdir(mode=source.stat().st_mode & 0o7777, exist_ok=relative == Path("."))
        shared = relative.parts[:1] == ("drive_c",) and relative.parts[1:2] != ("users",)
        for name in dirs + files:
            path = source / name
            if path.is_symlink():
                os.symlink(os.readlink(path), dest / name)
                if name in dirs:
                    dirs.remove(name)  # os.walk lists a link to a folder as a folder
            elif name in files:
                if shared and path.suffix.lower() in SHARED_SUFFIXES:
                    os.link(path, dest / name)
                else:
                    shutil.copy2(path, dest / name)
        shutil.copystat(source, dest)


def crash_lines(log: str) -> List[str]:
    """The lines in which Wine reports an unhandled exception (its own line,
    "wine: Unhandled page fault ...", and winedbg's "Unhandled exception: ...")."""
    return [line.strip() for line in log.splitlines() if "Unhandled" in line]


# Scratch folders of ended runs whose wineserver is still going down: (server, folder).
# A run does not wait for its server to end (about half a second); it renames its
# folder out of the way instead, and the folder is deleted once the server is gone.
# Until then the prefix folder keeps its inode, so no new prefix can get it, and
# with it the socket folder (keyed by device and inode) of the server going down.
_retired: List[tuple] = []
_retired_names = itertools.count()


def _reap_retired(wait: bool = False):
    for entry in list(_retired):
        server, folder = entry
        if wait:
            try:
                server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
        if server.poll() is not None:
            shutil.rmtree(folder, ignore_errors=True)
            _retired.remove(entry)


atexit.register(_reap_retired, True)


def _mount_points_under(folder: Path) -> List[str]:
    """The mount points inside folder, deepest first (mountinfo gives them with
    links resolved, and a space or tab as an octal escape)."""
    inside = os.path.realpath(folder) + "/"
    with open("/proc/self/mountinfo") as mounts:
        points = [re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), line.split()[4])
                  for line in mounts]
    return sorted({p for p in points if p.startswith(inside)}, reverse=True)


@dataclass
class Window:
    """A visible top-level Win32 window as probe.exe reports it."""
    hwnd: int
    pid: int
    cls: str
    title: str
    left: int
    top: int
    right: int
    bottom: int
    style: int
    exstyle: int
    owner: int
    statics: List[str] = field(default_factory=list)
    buttons: List[str] = field(default_factory=list)
    button_ids: List[int] = field(default_factory=list)

    @classmethod
    def from_json(cls, data: dict) -> "Window":
        return cls(hwnd=data["hwnd"], pid=data["pid"], cls=data["class"], title=data["title"],
                   left=data["left"], top=data["top"], right=data["right"], bottom=data["bottom"],
                   style=data["style"], exstyle=data["exstyle"], owner=data["owner"],
                   statics=data.get("statics", []), buttons=data.get("buttons", []),
                   button_ids=data.get("button_ids", []))

    @property
    def width(self) -> int:
        return self.right - self.left

    @property
    def height(self) -> int:
        return self.bottom - self.top

    @property
    def is_dialog(self) -> bool:
        return self.cls == "#32770"

    # Message box view: the caption is the title, the text the non-empty static.
    @property
    def caption(self) -> str:
        return self.title

    @property
    def text(self) -> str:
        return "\n".join(s for s in self.statics if s)


class PixelReader:
    """Reads single root-window pixels straight from the X server (a few
    hundred microseconds each, against ~100 ms for an `import` crop)."""

    def __init__(self, display: str):
        x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11 = x11
        self.display = x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open display {display}")
        self.root = x11.XDefaultRootWindow(self.display)

    def pixel(self, x: int, y: int):
        image = self.x11.XGetImage(self.display, self.root, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return None
        value = self.x11.XGetPixel(image, 0, 0)
        self.x11.XDestroyImage(image)
        return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)

    def set_work_area(self, left: int, top: int, width: int, height: int):
        """Announces a work area on the root window (_NET_WORKAREA, as a window
        manager with a task bar does); Wine reads it when its desktop starts.
        This connection stays open, so Xvfb keeps the property (it resets the
        server, and drops it, when its last client goes)."""
        x11 = self.x11
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                        ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        atom = x11.XInternAtom(self.display, b"_NET_WORKAREA", 0)
        values = (ctypes.c_long * 4)(left, top, width, height)
        x11.XChangeProperty(self.display, self.root, atom, 6, 32, 0, values, 4)  # CARDINAL, replace
        x11.XSync(self.display, 0)

    def close(self):
        self.x11.XCloseDisplay(self.display)


class Image:
    """A screen capture; pixel(x, y) gives (r, g, b)."""

    def __init__(self, width: int, height: int, data: bytes):
        self.width, self.height, self.data = width, height, data

    @classmethod
    def from_ppm(cls, raw: bytes) -> "Image":
        # P6 header: magic, width, height, maxval, each separated by whitespace.
        fields, pos = [], 0
        while len(fields) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            if raw[pos:pos + 1] == b"#":
                pos = raw.index(b"\n", pos) + 1
                continue
            end = pos
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ValueError("expected an 8-bit binary PPM")
        width, height = int(fields[1]), int(fields[2])
        return cls(width, height, raw[pos + 1:pos + 1 + width * height * 3])

    def pixel(self, x: int, y: int):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


class SetupRun:
    """One run of setup.exe in its own Xvfb, Wine prefix and scratch folder.

    ini:      Setup.ini contents: bytes as they are, str encoded as cp932,
              None for no Setup.ini.
    files:    {"ui/back.bmp": bytes | str (cp932) | Path (copied) | None (folder)}
              laid out in the skin folder beside setup.exe.
    display:  False runs Wine without DISPLAY (and starts no Xvfb).
    backdrop: True shows a full-screen window in BACKDROP_COLOR behind the program.
    work_area: (left, top, width, height) that the display announces as its work
              area, as with a task bar; None: the whole screen.
    folder:   name of the skin folder on drive Y:.
    start:    False lays everything out but waits for an explicit start().
    lang:     the locale Wine runs in (JAPANESE or ENGLISH).
    packed:   True (default: the environment's SETUP_PACKED=1) packs the skin
              folder into setup.exe with `skintool pack` as the program starts,
              and leaves it alone in its folder: the same scenario, packed.
    """

    def __init__(self, name: str, ini: Union[bytes, str, None] = None, files=None,
                 display: bool = True, backdrop: bool = False, folder: str = "skin",
                 args=(), start: bool = True, lang: str = JAPANESE, work_area=None,
                 packed: Optional[bool] = None):
        self.name = re.sub(r"[^A-Za-z0-9_.-]", "_", name)
        self.ini, self.files = ini, dict(files or {})
        self.use_display, self.use_backdrop, self.work_area = display, backdrop, work_area
        self.args, self.auto_start, self.lang = list(args), start, lang
        self.packed = os.environ.get("SETUP_PACKED") == "1" if packed is None else packed
        self.program_env = {}  # set for setup.exe only (not for probe.exe or Wine's own)
        self.program = "setup.exe"  # a Windows path starts it from another folder

        self.exe = _setting("SETUP_EXE", BUILD / "setup.exe")
        self.probe = _setting("SETUP_PROBE", BUILD / "probe.exe")
        self.template = _setting("SETUP_TEMPLATE_PREFIX", BUILD / "wine" / "template")
        self.scratch = _setting("SETUP_SCRATCH", BUILD / "scratch" / "e2e") / self.name
        self.prefix = self.scratch / "prefix"
        self.home = self.scratch / "home"
        self.drive = self.scratch / "drive"          # drive Y:
        self.skin = self.drive / folder               # Y:\<folder>, holds setup.exe
        self.skin_windows_path = "Y:\\" + folder

        self.display: Optional[str] = None
        self.process: Optional[subprocess.Popen] = None
        self._xvfb: Optional[subprocess.Popen] = None
        self._wineserver: Optional[subprocess.Popen] = None
        self._system: Optional[subprocess.Popen] = None
        self._system_ready = False
        self._backdrop: Optional[subprocess.Popen] = None
        self._pixels: Optional[PixelReader] = None
        self._logs = []

    # ----- life cycle -------------------------------------------------------

    def __enter__(self) -> "SetupRun":
        try:
            self.prepare()
            if self.auto_start:
                self.start()
        except BaseException:
            self.cleanup()
            raise
        return self

    def __exit__(self, exc_type, exc, traceback):
        # Read before cleanup retires the scratch folder. wine.log holds what
        # setup.exe (and what it started) printed; Wine's own processes print to
        # wine-system.log (see _start_system). Under winedbg --auto a crashed
        # program still ends with code 0, so a crash shows only in these logs.
        program_log, system_log = self.log(), self.system_log()
        self.cleanup()
        for line in crash_lines(system_log):
            print(f"wine-system: {self.name}: a process of Wine's own crashed: {line}",
                  file=sys.stderr)
        crashes = crash_lines(program_log)
        if crashes and exc_type is None:
            raise AssertionError(f"setup.exe or a program it started crashed: {crashes}\n"
                                 f"{program_log[-3000:]}")
        return False

    def prepare(self):
        """Makes the scratch folder, the prefix copy, drive Y: and the skin folder."""
        for path, what in ((self.exe, "SETUP_EXE"), (self.probe, "SETUP_PROBE"),
                           (self.template / "system.reg", "SETUP_TEMPLATE_PREFIX")):
            if not path.exists():
                raise FileNotFoundError(f"{what}: {path} is missing")
        if self.scratch.exists():
            self._stop_wineserver()
            self._unmount_all(raise_if_left=True)  # left by a run that did not end
            shutil.rmtree(self.scratch)
        self.scratch.mkdir(parents=True)
        self.home.mkdir()
        self.skin.mkdir(parents=True)
        copy_prefix(self.template, self.prefix)

        dosdevices = self.prefix / "dosdevices"
        (dosdevices / "y:").symlink_to(self.drive)
        self._check_prefix_is_safe()
        self._ensure_wineserver()

        shutil.copy2(self.exe, self.skin / "setup.exe")
        if self.ini is not None:
            self.write_file("Setup.ini", self.ini)
        for relative, content in self.files.items():
            self.write_file(relative, content)

    def write_file(self, relative: str, content):
        """Writes a file (or makes a folder, for None) in the skin folder."""
        target = self.skin / relative
        if content is None:
            target.mkdir(parents=True, exist_ok=True)
            return
        target.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, Path):
            shutil.copy2(content, target)
        else:
            target.write_bytes(content.encode("cp932") if isinstance(content, str) else content)

    def mount_tmpfs(self, folder: Path, size: str):
        """Mounts a tmpfs of that size (mount's size=, such as "1m") on folder, made if
        missing, which must lie in the scratch folder; cleanup unmounts it, once no Wine
        process of the run is left, before it removes anything. The mount is visible
        machine-wide while it lasts. Where mounting is not allowed (not root, or no
        CAP_SYS_ADMIN, as in an unprivileged container) the test is skipped with the reason."""
        folder = Path(folder)
        if not os.path.realpath(folder).startswith(os.path.realpath(self.scratch) + "/"):
            raise ValueError(f"{folder} is not in the run's scratch folder {self.scratch}")
        if os.geteuid() != 0:
            raise unittest.SkipTest("mounting a size-limited tmpfs needs root")
        if not shutil.which("mount") or not shutil.which("umount"):
            raise unittest.SkipTest("mount/umount are not installed")
        folder.mkdir(parents=True, exist_ok=True)
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0755", "tmpfs",
                                 str(folder)], capture_output=True, text=True)
        if result.returncode != 0:
            raise unittest.SkipTest(f"mount -t tmpfs is not allowed here: {result.stderr.strip()}")

    def _unmount_all(self, raise_if_left: bool = False) -> List[str]:
        """Unmounts every mount in the scratch folder, deepest first; one still busy is
        detached (umount -l: gone from the tree at once, freed when its last user ends).
        Returns those still mounted after that, or raises with them."""
        for point in _mount_points_under(self.scratch):
            for options in ([], ["-l"]):
                result = subprocess.run(["umount", *options, point], capture_output=True, text=True)
                if result.returncode == 0:
                    if options:
                        print(f"harness: {self.name}: {point} was busy and is only detached",
                              file=sys.stderr)
                    break
        left = _mount_points_under(self.scratch)
        if left and raise_if_left:
            raise RuntimeError(f"still mounted in {self.scratch}, which is left as it is: {left}")
        return left

    def set_shell_folder(self, name: str, windows_path: str):
        """Points the user's shell folder name (Desktop, Programs ...) at windows_path in
        both keys Wine's shell reads; before the program starts."""
        out = self.scratch / "reg.out"
        for key, kind in (("User Shell Folders", "REG_EXPAND_SZ"), ("Shell Folders", "REG_SZ")):
            code = self.run_wine("reg", "add", SHELL_FOLDERS + key, "/v", name, "/t", kind,
                                 "/d", windows_path, "/f", output=out)
            if code != 0:
                raise RuntimeError(f"reg add {key}\\{name} ended with {code}: "
                                   f"{out.read_text(errors='replace')}")

    def start(self):
        """Starts Xvfb (and the backdrop) if wanted, then `wine setup.exe` in the skin folder."""
        self.start_display()
        if self.packed:
            self.pack_skin()
        self.start_program()

    def pack_skin(self, keep_loose: bool = False):
        """Packs the skin folder into one setup.exe with `skintool pack` and leaves
        that alone in the folder (keep_loose: the loose files stay beside it)."""
        out = self.scratch / "pack.out"
        skintool = self.exe.parent / "skintool.exe"
        code = self.run_wine(skintool, "pack", self.skin_windows_path, "Y:\\packed.exe", output=out)
        if code != 0:
            raise RuntimeError(f"skintool pack ended with {code}: {out.read_text(errors='replace')}")
        if not keep_loose:
            for entry in list(self.skin.iterdir()):
                shutil.rmtree(entry) if entry.is_dir() and not entry.is_symlink() else entry.unlink()
        (self.drive / "packed.exe").replace(self.skin / "setup.exe")
        self.packed = False  # once

    def start_display(self):
        """Starts Xvfb (and the backdrop) if wanted and not up yet, and Wine's desktop
        and services on it. Every Wine program of a run must come after this: one
        started earlier brings up a desktop without the display, and a window made
        on that desktop while it goes down fails (setup.exe then ends with code 1)."""
        if self.use_display and not self.display:
            self._start_xvfb()
            if self.work_area:
                self._pixel_reader().set_work_area(*self.work_area)
            # Wine's desktop and services come up while the backdrop does.
            self._ensure_system(wait=False)
            if self.use_backdrop:
                self._start_backdrop()

    def run_wine(self, program, *args, output: Path, cwd: Optional[Path] = None,
                 timeout: float = 60) -> int:
        """Runs another Windows program in this run, on its display once Wine's desktop
        and services are up; its output goes to the file output (not a pipe, which
        Wine's helper processes could hold open). Returns its exit code."""
        self.start_display()
        self._ensure_system()
        with open(output, "wb") as out:
            return subprocess.run(["wine", str(program), *map(str, args)], cwd=cwd or self.skin,
                                  env=self.env(), stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=timeout).returncode

    def start_program(self):
        """Starts `wine setup.exe` (again) in the skin folder, on this run's display and prefix."""
        self._check_prefix_is_safe()
        self._ensure_system()
        self.process = subprocess.Popen(
            ["wine", self.program, *self.args], cwd=self.skin, env=dict(self.env(), **self.program_env),
            stdin=subprocess.DEVNULL, stdout=self._log("wine.log"), stderr=subprocess.STDOUT)

    def cleanup(self):
        """Ends everything this run started; removes scratch unless SETUP_KEEP_SCRATCH is set."""
        if self.process and self.process.poll() is None:
            self.process.kill()
        keep = bool(os.environ.get("SETUP_KEEP_SCRATCH"))
        # Without a mount left inside it, the scratch folder is retired (see _retired):
        # the server is told to end (the SIGINT `wineserver -k` sends, which ends the
        # prefix's processes too) and not waited for.
        server = self._wineserver
        retire = (not keep and server is not None and server.poll() is None
                  and self.scratch.exists() and not _mount_points_under(self.scratch))
        if retire:
            server.send_signal(signal.SIGINT)
            self._wineserver = None
        else:
            self._stop_wineserver()
        for process in (self.process, self._system):
            if process:
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        self._system = None
        if self._pixels:
            self._pixels.close()
            self._pixels = None
        for helper in (self._backdrop, self._xvfb):
            if helper and helper.poll() is None:
                helper.terminate()
                try:
                    helper.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    helper.kill()
                    helper.wait()
        for log in self._logs:
            log.close()
        self._logs.clear()
        # Every Wine process of the run has ended by now, so nothing holds a mount.
        left = [] if retire or not self.scratch.exists() else self._unmount_all()
        if retire:
            retired = self.scratch.with_name(
                f".retired-{os.getpid()}-{next(_retired_names)}-{self.scratch.name}")
            self.scratch.rename(retired)
            _retired.append((server, retired))
        elif not keep and self.scratch.exists() and not left:
            shutil.rmtree(self.scratch, ignore_errors=True)
        _reap_retired()
        if left:
            raise RuntimeError(f"still mounted in {self.scratch}, which is left as it is: {left}")

    def env(self) -> dict:
        """The environment Wine runs in: this run's prefix, HOME, display and locale."""
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("LC_", "XDG_", "WINE")) and k not in
               ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE")}
        env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                   LANG=self.lang, HOME=str(self.home))
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def _log(self, name: str):
        log = open(self.scratch / name, "ab")
        self._logs.append(log)
        return log

    def log(self) -> str:
        """What Wine printed so far (useful in failure messages)."""
        return self._scratch_text("wine.log")

    def system_log(self) -> str:
        """What Wine's own processes (desktop, services, RPC) printed so far."""
        return self._scratch_text("wine-system.log")

    def _scratch_text(self, name: str) -> str:
        path = self.scratch / name
        return path.read_text(errors="replace") if path.exists() else ""

    def _check_prefix_is_safe(self):
        dosdevices = self.prefix / "dosdevices"
        if os.path.lexists(dosdevices / "z:"):
            raise RuntimeError(f"{self.prefix} maps drive Z: to the machine's root")
        for link in (self.prefix / "drive_c" / "users").glob("*/*"):
            if link.is_symlink():
                raise RuntimeError(f"{link} links out of the prefix")

    def _server_sockets(self) -> List[Path]:
        # Where wineserver listens for this prefix: a folder keyed by the prefix folder's
        # device and inode, under /tmp/.wine-UID (or /tmp/wine-XXXXXX in Debian's build).
        st = os.stat(self.prefix)
        name = f"server-{st.st_dev:x}-{st.st_ino:x}"
        return [Path(p) for pattern in (f"/tmp/.wine-{os.getuid()}", "/tmp/wine-*")
                for p in glob.glob(f"{pattern}/{name}/socket")]

    def _ensure_wineserver(self):
        if self._wineserver is None or self._wineserver.poll() is not None:
            self._start_wineserver()

    def _start_wineserver(self):
        """Starts this run's wineserver for the run's whole life, before any `wine`
        of the run. A `wine` that finds no server listening for its prefix starts one
        itself and waits for it; if that server dies before it is ready (a signal, such
        as the SIGINT of `wineserver -k`, or a failed start), `wine` exits with status
        1 and prints nothing (Wine 8's start_server; scripts/wine_start_race.py shows
        it). Left to itself a server also ends about 3 s after its last client, so
        every start after a pause would start a server again. With this server up
        and listening first, and ended only at cleanup, no `wine` of the run ever
        starts one."""
        self._wineserver = subprocess.Popen(
            ["wineserver", "--foreground", "--persistent"], env=self.env(),
            stdin=subprocess.DEVNULL, stdout=self._log("wineserver.log"), stderr=subprocess.STDOUT)
        def ready():
            if self._wineserver.poll() is not None:
                raise RuntimeError(f"wineserver ended at start with code {self._wineserver.returncode}")
            return self._server_sockets()
        wait_for(ready, timeout=20, interval=0.02, what="this run's wineserver")

    def _ensure_system(self, wait: bool = True):
        """Makes sure the run's server is up, then (once the display is, if one is
        wanted) Wine's desktop and services; wait=False does not wait for them."""
        self._ensure_wineserver()
        # With a display wanted, the desktop must come up on it: not before Xvfb.
        if self.use_display and not self.display:
            return
        if self._system is None or self._system.poll() is not None:
            self._start_system()
        if wait:
            self._wait_system()

    def _start_system(self):
        """Starts `probe hold`, the run's first Wine process (_wait_system waits for its "ready"):
        it brings up the desktop (explorer), the service manager, its services and RPC,
        and stays until the server ends. So they start once, before the test's first
        program, with wine-system.log as their output, and never go down and come up
        again between programs. Without it the desktop closed about a second after
        each program ended and the next program or probe started it again, while the
        old one was still going down; and the helpers wrote to the output of whichever
        program had started them, so their messages showed as setup.exe's."""
        self._system_ready = False
        self._system = subprocess.Popen(
            ["wine", str(self.probe), "hold"], cwd=self.drive, env=self.env(),
            stdin=subprocess.DEVNULL, stdout=self._log("wine-system.log"), stderr=subprocess.STDOUT)

    def _wait_system(self):
        if self._system_ready:
            return
        def ready():
            if self._system.poll() is not None:
                raise RuntimeError(f"probe hold ended with code {self._system.returncode}: "
                                   f"{self.system_log()[-1500:]!r}")
            return "ready\n" in self.system_log()
        wait_for(ready, timeout=30, interval=0.05, what="Wine's desktop and services")
        self._system_ready = True

    def _stop_wineserver(self):
        """Ends the prefix's wineserver and waits until it is gone: `wineserver -k` only
        asks, and a server still going down when the prefix folder is deleted and made
        again (the new folder often gets the same inode, so the same socket folder)
        would take the next run's first client down with it."""
        if self.prefix.exists():
            for option in ("-k", "-w"):
                subprocess.run(["wineserver", option], env=self.env(), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=30)
        if self._wineserver:
            try:
                self._wineserver.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._wineserver.kill()
                self._wineserver.wait()
            self._wineserver = None

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                stdout=self._log("xvfb.log"), stderr=subprocess.STDOUT)
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise WaitTimeout("Xvfb did not report its display")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise RuntimeError("Xvfb ended before reporting its display")
                number += chunk
            self.display = ":" + number.decode().strip()
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)

    def _start_backdrop(self):
        color = "#%02X%02X%02X" % BACKDROP_COLOR
        self._backdrop = subprocess.Popen(
            ["xlogo", "-geometry", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}+0+0", "-bg", color, "-fg", color],
            env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        wait_for(lambda: self.pixel(SCREEN_WIDTH // 2, SCREEN_HEIGHT // 2) == BACKDROP_COLOR,
                 timeout=10, what="the backdrop")

    # ----- the program ------------------------------------------------------

    def running(self) -> bool:
        return self.process is not None and self.process.poll() is None

    def exit_code(self, timeout: float = DEFAULT_TIMEOUT) -> int:
        """Waits for setup.exe to end and returns its exit code."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise WaitTimeout(f"setup.exe still runs after {timeout:.1f} s; windows: "
                              f"{self.windows()}") from None

    def _state(self) -> str:
        if self.process and self.process.poll() is not None:
            return f"setup.exe ended with code {self.process.returncode}; log: {self.log()[-500:]!r}"
        return f"windows: {self.windows()}"

    # ----- probe.exe: looking at windows ------------------------------------

    def _probe(self, *args) -> str:
        # Output goes through files, not pipes: the Wine processes a probe start brings
        # up when it is the run's first (services, devices, explorer, even wineserver's
        # children) keep its standard output and error as theirs and hold them open.
        # They may write there any time later, at their own file offsets, so every
        # start gets new files (a new inode each), and only the probe's own standard
        # output is parsed; what came on standard error is kept in probe-stderr.log.
        #
        # Now and then a start of a probe ends at once with status 1 and prints
        # nothing, while the same start again succeeds. A query that ended so is
        # started again (at most twice, each noted in probe-stderr.log); a command
        # that acts on a window is not, and its failure stands.
        out_path, err_path = self.scratch / "probe.out", self.scratch / "probe.err"
        self._ensure_system()
        for attempt in range(3 if args[0] in ("windows", "link", "processes") else 1):
            for path in (out_path, err_path):
                path.unlink(missing_ok=True)
            with open(out_path, "xb") as out, open(err_path, "xb") as err:
                result = subprocess.run(["wine", str(self.probe), *map(str, args)], cwd=self.drive,
                                        env=self.env(), stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=err, timeout=30)
            output = out_path.read_bytes().decode("utf-8", errors="replace")
            errors = err_path.read_bytes().decode("utf-8", errors="replace")
            silent = result.returncode == 1 and not output and not errors
            if errors or silent:
                with open(self.scratch / "probe-stderr.log", "a") as log:
                    log.write(f"probe {' '.join(map(str, args))}: "
                              f"{errors or 'ended with status 1 and no output'}\n")
            if not silent:
                break
        if result.returncode != 0:
            raise RuntimeError(f"probe {' '.join(map(str, args))} failed "
                               f"({result.returncode}): {output}{errors}\n"
                               f"{self._diagnose_probe(args)}")
        return output

    def _probe_lines(self, *args) -> List[dict]:
        """The probe's output, one JSON object a line."""
        output = self._probe(*args)
        try:
            return [json.loads(line) for line in output.splitlines() if line.strip()]
        except ValueError as error:
            raise RuntimeError(f"probe {' '.join(map(str, args))} printed what is not one "
                               f"JSON object a line ({error}): {output!r}") from None

    def _diagnose_probe(self, args) -> str:
        """After a failed probe start: the server's state and one more start of the same
        probe with Wine's error channels on, so the report says what Wine saw. The
        failure stands either way."""
        server = ("running" if self._wineserver and self._wineserver.poll() is None
                  else f"ended ({self._wineserver.returncode if self._wineserver else 'never started'})")
        env = dict(self.env(), WINEDEBUG="err+all,warn+server,warn+process")
        path = self.scratch / "probe-diagnosis.out"
        path.unlink(missing_ok=True)
        with open(path, "xb") as out:
            rerun = subprocess.run(["wine", str(self.probe), *map(str, args)], cwd=self.drive,
                                   env=env, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, timeout=30)
        text = path.read_bytes().decode("utf-8", errors="replace")
        return (f"wineserver: {server}; sockets: {self._server_sockets()}; the same probe again "
                f"exited {rerun.returncode}, Wine said: {text[-1500:]!r}")

    def read_link(self, windows_path: str) -> dict:
        """A shortcut file read back through IShellLink: target, folder, description."""
        return json.loads(self._probe("link", windows_path).strip().splitlines()[-1])

    def windows(self) -> List[Window]:
        """All visible top-level windows in this run's Wine."""
        return [Window.from_json(line) for line in self._probe_lines("windows")]

    def program_pids(self) -> set:
        """Win32 process ids of running setup.exe processes."""
        name = "setup.exe"
        return {p["pid"] for p in self._probe_lines("processes") if p["exe"].lower() == name}

    def program_windows(self) -> List[Window]:
        """The visible top-level windows that belong to setup.exe."""
        pids = self.program_pids()
        return [w for w in self.windows() if w.pid in pids]

    def wait_window(self, title: Optional[str] = None, cls: Optional[str] = None,
                    timeout: float = DEFAULT_TIMEOUT) -> Window:
        """Waits for a visible top-level window with that title and/or class."""
        def match():
            exited = not self.running()
            for w in self.windows():
                if (title is None or w.title == title) and (cls is None or w.cls == cls):
                    return w
            if exited:  # no window of it can come any more
                raise WaitTimeout(f"no window title={title!r} class={cls!r}: {self._state()}")
            return None
        return wait_for(match, timeout, what=f"window title={title!r} class={cls!r}",
                        describe=self._state)

    def wait_message_box(self, timeout: float = DEFAULT_TIMEOUT) -> Window:
        """Waits for a message box (dialog class #32770); .caption, .text, .owner, .buttons."""
        return self.wait_window(cls="#32770", timeout=timeout)

    def wait_gone(self, window: Window, timeout: float = DEFAULT_TIMEOUT):
        wait_for(lambda: all(w.hwnd != window.hwnd for w in self.windows()), timeout,
                 what=f"window {window.hwnd:#x} to go away")

    def send_close(self, window: Union[Window, int]):
        self._probe("close", _hwnd(window))

    def probe_press(self, window: Union[Window, int], button_id: int):
        self._probe("press", _hwnd(window), button_id)

    # ----- real input through the X server ----------------------------------

    def xdotool(self, *args, timeout: float = 10) -> str:
        if not self.display:
            raise RuntimeError("this run has no display")
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env(), capture_output=True,
                                timeout=timeout, stdin=subprocess.DEVNULL)
        return result.stdout.decode("utf-8", errors="replace")

    def x_window(self, window: Window) -> int:
        """The X window Wine made for a top-level Win32 window (found by title, then geometry)."""
        pattern = "^" + re.escape(window.title) + "$"
        candidates = [int(i) for i in self.xdotool("search", "--onlyvisible", "--name", pattern).split()]
        for xid in candidates:
            geometry = self.xdotool("getwindowgeometry", "--shell", xid)
            values = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
            if (int(values.get("X", -1)), int(values.get("Y", -1))) == (window.left, window.top):
                return xid
        if candidates:
            return candidates[0]
        raise LookupError(f"no X window for {window}")

    def focus(self, window: Window):
        self.xdotool("windowfocus", "--sync", self.x_window(window))

    def key(self, *keys, window: Optional[Window] = None):
        """Presses keys (xdotool names: Return, Escape, alt+F4 ...), focusing window first."""
        if window is not None:
            self.focus(window)
        self.xdotool("key", *keys)

    def press_message_box_ok(self, box: Window, timeout: float = 10, fallback: bool = False) -> str:
        """Answers a message box with the Return key; returns "key", or "probe" when the
        key did not work and fallback allowed a BM_CLICK from probe.exe."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.key("Return", window=box)
            try:
                self.wait_gone(box, timeout=min(3, max(0.1, deadline - time.monotonic())))
                return "key"
            except WaitTimeout:
                pass
        if fallback:
            self.probe_press(box, IDOK)
            self.wait_gone(box, timeout=5)
            return "probe"
        raise WaitTimeout(f"the Return key did not close the message box {box}")

    def move(self, x: int, y: int):
        # --sync waits for the pointer to move, so it would hang when it is already there.
        here = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in here.splitlines() if "=" in line)
        if (values.get("X"), values.get("Y")) == (str(x), str(y)):
            return
        self.xdotool("mousemove", "--sync", x, y)

    def click(self, x: int, y: int, button: int = 1):
        self.move(x, y)
        self.xdotool("click", button)

    def mousedown(self, button: int = 1):
        self.xdotool("mousedown", button)

    def mouseup(self, button: int = 1):
        self.xdotool("mouseup", button)

    # ----- the screen -------------------------------------------------------

    def screenshot(self, path: Union[str, Path]):
        subprocess.run(["import", "-window", "root", str(path)], env=self.env(), check=True,
                       capture_output=True, timeout=30)

    def capture(self) -> Image:
        result = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env(), check=True,
                                capture_output=True, timeout=30)
        return Image.from_ppm(result.stdout)

    def pixel(self, x: int, y: int):
        """One screen pixel (r, g, b), read straight from the X server."""
        return self._pixel_reader().pixel(x, y)

    def _pixel_reader(self) -> PixelReader:
        if not self.display:
            raise RuntimeError("this run has no display")
        if self._pixels is None:
            self._pixels = PixelReader(self.display)
        return self._pixels


def _hwnd(window: Union[Window, int]) -> int:
    return window.hwnd if isinstance(window, Window) else int(window)
