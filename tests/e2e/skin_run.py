"""Helpers shared by the end-to-end tests that run a whole skin: start the
program on a skin, find its window, and wait for screen pixels."""

from typing import Tuple

from harness import SetupRun, wait_for
from skins import Skin, ini_bytes, standard_skin

MAIN_CLASS = "Develop by Vantorel."
CAPTION = "テスト用インストーラ"


def skin_run(name: str, skin: Skin = None, start: bool = True, backdrop: bool = True,
             **ini_extra) -> SetupRun:
    skin = skin or standard_skin()
    return SetupRun(name, ini=ini_bytes(skin.keys, Caption=CAPTION, **ini_extra),
                    files=skin.files(), backdrop=backdrop, start=start)


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

    def click(self, x: int, y: int, button: int = 1):
        self.run.click(*self.at(x, y), button=button)
