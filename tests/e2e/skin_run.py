"""Helpers shared by the end-to-end tests that run a whole skin: start the
program on a skin, find its window, and wait for screen pixels."""

from typing import Optional, Tuple

from harness import JAPANESE, SetupRun, wait_for
from skins import INSTALL, Skin, ini_bytes, standard_skin

MAIN_CLASS = "Develop by Vantorel."
CAPTION = "テスト用インストーラ"


def skin_run(name: str, skin: Skin = None, start: bool = True, backdrop: bool = True,
             lang: str = JAPANESE, **ini_extra) -> SetupRun:
    skin = skin or standard_skin()
    return SetupRun(name, ini=ini_bytes(skin.keys, **{"Caption": CAPTION, **ini_extra}),
                    files=skin.files(), backdrop=backdrop, start=start, lang=lang)


class Screen:
    """The main window of a run, with window-relative pixel checks."""

    def __init__(self, run: SetupRun, timeout: float = 20):
        self.run = run
        self.window = run.wait_window(cls=MAIN_CLASS, timeout=timeout)

    @property
    def origin(self) -> Tuple[int, int]:
        return self.window.left, self.window.top

    def refresh(self):
        self.window = self.run.wait_window(cls=MAIN_CLASS)

    def at(self, x: int, y: int) -> Tuple[int, int]:
        """Screen coordinates of a window pixel."""
        return self.window.left + x, self.window.top + y

    def pixel(self, x: int, y: int):
        return self.run.pixel(*self.at(x, y))

    def wait_pixel(self, x: int, y: int, rgb, timeout: float = 10):
        """Waits until window pixel (x, y) shows rgb; returns it."""
        last = []

        def shows():
            last[:] = [self.pixel(x, y)]
            return last[0] == tuple(rgb)
        wait_for(shows, timeout, interval=0.1, what=f"pixel ({x}, {y}) to be {tuple(rgb)}",
                 describe=lambda: f"it is {last[0] if last else None}")
        return tuple(rgb)

    def move(self, x: int, y: int):
        self.run.move(*self.at(x, y))

    def wait_highlight(self, x: int, y: int, rgb, timeout: float = 15):
        """Keeps moving the pointer inside (x, y)'s button until rgb shows there:
        moves are ignored while an install or uninstall is still finishing."""
        step = [0]

        def shows():
            step[0] ^= 1
            self.move(x + step[0], y)
            return self.pixel(x, y) == tuple(rgb)
        wait_for(shows, timeout, interval=0.2, what=f"the highlight {tuple(rgb)} at ({x}, {y})")

    def click(self, x: int, y: int, button: int = 1):
        self.run.click(*self.at(x, y), button=button)


CHOOSER_TITLE = "フォルダーの参照"
RECORD = "TestSetup.ini"


class Machine:
    """The Windows side of a run's prefix, as plain Linux paths; user names the
    profile folder the shell folders lead to (the prefix's only one if None)."""

    def __init__(self, run: SetupRun, user: Optional[str] = None):
        users = [p for p in (run.prefix / "drive_c" / "users").iterdir()
                 if p.is_dir() and p.name.lower() != "public"]
        assert user or len(users) == 1, f"one user profile expected, found {users}"
        self.profile = run.prefix / "drive_c" / "users" / user if user else users[0]
        self.desktop = self.profile / "Desktop"
        self.programs = (self.profile / "AppData" / "Roaming" / "Microsoft" / "Windows" /
                         "Start Menu" / "Programs")
        self.windows = run.prefix / "drive_c" / "windows"
        self.record = self.windows / RECORD
        self.desktop_windows_path = "C:\\users\\" + self.profile.name + "\\Desktop"
        self.programs_windows_path = ("C:\\users\\" + self.profile.name + "\\AppData\\Roaming"
                                      "\\Microsoft\\Windows\\Start Menu\\Programs")

    def record_written(self) -> bool:
        """Whether the install's record stands whole (it ends its last line)."""
        try:
            return self.record.read_bytes().endswith(b"\r\n")
        except FileNotFoundError:
            return False


def move_skin_to_desktop(run: SetupRun, machine: "Machine"):
    """Before the start: the skin folder moves to Desktop\\skin\\skin, and
    drive Y: (where the program starts) now leads to Desktop\\skin."""
    y_drive = run.prefix / "dosdevices" / "y:"
    y_drive.unlink()
    (machine.desktop / "skin").mkdir()
    run.skin.rename(machine.desktop / "skin" / "skin")
    run.skin = machine.desktop / "skin" / "skin"
    y_drive.symlink_to(machine.desktop / "skin")


def press_install_and_confirm(run: SetupRun):
    """Presses Install on the first screen and confirms the chooser's Desktop."""
    screen = Screen(run)
    screen.wait_pixel(25, 255, INSTALL)
    screen.click(30, 260)
    confirm_chooser(run)
    return screen


def confirm_chooser(run: SetupRun, timeout: float = 20):
    """Confirms the folder chooser with Return: its preselected Desktop."""
    chooser = run.wait_window(title=CHOOSER_TITLE, timeout=timeout)
    run.key("Return", window=chooser)
    run.wait_gone(chooser, timeout=10)


def answer_box(run: SetupRun, key: str = "Return", timeout: float = 20):
    """Waits for a message box, answers it with key (Return, y, n, Escape), returns it."""
    box = run.wait_message_box(timeout=timeout)
    run.key(key, window=box)
    run.wait_gone(box, timeout=10)
    return box
