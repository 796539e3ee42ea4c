"""The Windows program's window under Wine as a user meets it: its places, its picture, its clipboard, its dialogs."""
import pathlib
import subprocess
import time

from . import desktop, pictures, wine
from .checks import Abort
from .desktop import key
from .processes import processes_where, wait_until

# the window has no frame of its own on a display without a window manager:
# places in it are counted from the row of the toolbar's pictures
TOOLBAR_BUTTONS = {"clear": 4, "open": 29, "save": 54, "calc": 159, "about": 280, "help": 305, "exit": 377}
CALCULATE_BUTTON, RULING_SPAN, SUM = (280, 72), (280, 150), (280, 225)
# the count label, 29 pixels below the toolbar's pictures
COUNT_LABEL = (50, 21, 344, 29)
# the pictures lie on the toolbar's light gradient
TOOLBAR_BACKGROUND = "#f0f0f0"


class Window:
    """The program's window: its place on the screen, its picture, clicks into it."""

    def __init__(self, session, window, scratch, pictures_dir):
        self.session, self.id, self.scratch, self.pictures = session, window, scratch, pictures_dir
        geometry = dict(line.split("=", 1) for line in
                        desktop.xdotool("getwindowgeometry", "--shell", window).splitlines() if "=" in line)
        self.left, self.top = int(geometry["X"]), int(geometry["Y"])
        self.width, self.height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
        self.shot = scratch / "window.png"
        # where the calculate button's picture is gives the row of the toolbar's pictures
        self.take(self.shot)
        strip = scratch / "strip.png"
        pictures.crop(self.shot, self.width, 80, 0, 0, strip)
        self.picture_top = pictures.position(self.picture("calc"), strip)[1]

    def take(self, path):
        """The window's picture, as the screen shows it."""
        self.session.display.screenshot(path, crop=f"{self.width}x{self.height}+{self.left}+{self.top}")

    def picture(self, name):
        """A toolbar picture's PNG, as it shows on the toolbar."""
        flat = self.scratch / f"{name}.png"
        pictures.flatten(self.pictures / name / "16.png", TOOLBAR_BACKGROUND, flat)
        return flat

    def click(self, x, y):
        desktop.xdotool("mousemove", "--window", self.id, x, self.picture_top + y, "click", "1")
        time.sleep(0.3)

    def click_toolbar(self, name):
        self.click(TOOLBAR_BUTTONS[name] + 12, 8)

    def click_grid_row(self, row):
        self.click(60, 64 + 21 * row)

    def click_status_line(self):
        self.click(200, self.height - self.picture_top - 8)

    def count_shown(self):
        """The number the count label shows, read from its picture."""
        self.take(self.shot)
        width, height, x, y = COUNT_LABEL
        return pictures.digits(self.shot, width, height, x, self.picture_top + y, self.scratch)


def clipboard_after(*keys):
    """What the keys (ctrl+c) put on the clipboard, once it is there."""
    # xclip stays behind to serve the emptied clipboard: it must not hold
    # this test's output open
    subprocess.run(["xclip", "-selection", "clipboard"], input=b"", stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    key(*keys)

    def pasted():
        time.sleep(0.1)
        try:
            return subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, text=True,
                                  timeout=5, check=False).stdout
        except subprocess.TimeoutExpired:
            return ""

    return (wait_until(pasted, 2, 0) or "").rstrip()


def copied():
    """The text of the edit box that has the keyboard."""
    return clipboard_after("ctrl+a", "ctrl+c")


def calculate_and_read(window):
    """Calculates with the button, and reads the ruling span, the sum and the count."""
    window.click(*CALCULATE_BUTTON)
    time.sleep(0.5)
    window.click(*RULING_SPAN)
    ruling = copied()
    window.click(*SUM)
    return ruling, copied(), window.count_shown()


def choose_file(window, title, path):
    """Types a file name into the file dialog Windows shows, and accepts it."""
    dialog = desktop.find_window(title, seconds=20)
    if dialog is None:
        raise Abort(f"no dialog '{title}'")
    desktop.focus(dialog)
    time.sleep(0.5)
    # the name field holds the last file's name, selected or not
    key("End", "shift+Home")
    desktop.type_text(wine.windows_path(path), 10)
    # the first Return may only close the name field's completion list
    for _ in range(3):
        key("Return")
        time.sleep(1)
        if subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], capture_output=True,
                          check=False).returncode != 0:
            break
    # the first click on the window only gives it the keyboard back
    window.click_status_line()


def help_viewers(prefix):
    """Windows' help viewer, hh.exe, as running in this Wine prefix: its process ids."""
    def viewer(pid):
        command = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes().lower()
        return b"hh.exe" in command and \
            f"WINEPREFIX={prefix}".encode() in pathlib.Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
    return processes_where(viewer)
