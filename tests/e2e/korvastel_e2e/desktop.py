"""A virtual X display, with the session's and the accessibility bus when asked, and a user's hands on it (xdotool)."""
import os
import shutil
import subprocess

from .checks import Abort
from .processes import Processes, child_named, wait_until


def missing_tools(tools):
    """Those of the commands that are not installed."""
    return [tool for tool in tools if shutil.which(tool) is None]


def _read_line_from_fd(argv, processes, log, **options):
    """Starts a daemon that tells its address on a file descriptor (Xvfb's
    -displayfd, dbus-daemon's --print-address) and returns that line."""
    reading, writing = os.pipe()
    argv = [word.replace("{fd}", str(writing)) for word in argv]
    with open(log, "ab") as output:
        processes.start(argv, pass_fds=(writing,), stdout=output, stderr=output, **options)
    os.close(writing)
    with os.fdopen(reading, encoding="ascii") as answer:
        return answer.readline().strip()


def _free_displays(tries=10):
    """Display numbers no X server holds. Xvfb's own choice looks only at the
    lock files in /tmp, which a server in a chroot keeps in another folder,
    while its abstract socket, which clients try first, is seen everywhere."""
    found = 0
    for number in range(1000):
        if os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        with open("/proc/net/unix", encoding="ascii", errors="replace") as sockets:
            if any(line.rstrip().endswith(f" @/tmp/.X11-unix/X{number}") for line in sockets):
                continue
        yield number
        found += 1
        if found == tries:
            return


class Display:
    """Xvfb on a display number of its own, with DISPLAY set for the test and
    what it starts."""

    def __init__(self, scratch, size="1024x768x24"):
        self.scratch = scratch
        self.size = size
        self.processes = Processes()
        self.name = None

    def __enter__(self):
        self.processes.__enter__()
        # Xvfb tells on the descriptor when it takes connections; one that
        # lost its number to another started at the same time ends instead
        for number in _free_displays():
            if _read_line_from_fd(["Xvfb", f":{number}", "-displayfd", "{fd}", "-screen", "0", self.size,
                                   "-nolisten", "tcp"], self.processes, self.scratch / "xvfb.log"):
                self.name = f":{number}"
                os.environ["DISPLAY"] = self.name
                return self
        self.processes.stop()
        raise Abort("Xvfb did not start")

    def __exit__(self, *error):
        self.processes.__exit__(*error)

    def screenshot(self, path, window="root", crop=None):
        """The window's picture (or the whole screen's, or part of it) as a PNG."""
        argv = ["import", "-display", self.name, "-window", str(window)]
        if crop:
            argv += ["-crop", crop, "+repage"]
        subprocess.run(argv + [str(path)], check=True)


class Session(Display):
    """A desktop session's plumbing on the display: a runtime folder, the
    session bus and the accessibility bus, each started here so that its
    process id is known and it ends with the test. bus_path puts the session
    bus at a socket of that path (one a chroot can reach too)."""

    def __init__(self, scratch, size="1024x768x24", runtime=None, home=None, bus_path=None):
        super().__init__(scratch, size)
        self.runtime = runtime or scratch / "run"
        self.home = home or scratch / "home"
        self.bus_path = bus_path

    def __enter__(self):
        for folder in (self.runtime, self.home):
            folder.mkdir(mode=0o700, parents=True, exist_ok=True)
        os.environ.update(HOME=str(self.home), XDG_RUNTIME_DIR=str(self.runtime))
        for name in ("SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "XDG_CURRENT_DESKTOP"):
            os.environ.pop(name, None)
        super().__enter__()
        try:
            daemon = ["dbus-daemon", "--session", "--nofork", "--print-address={fd}"]
            if self.bus_path:
                daemon.append(f"--address=unix:path={self.bus_path}")
            address = _read_line_from_fd(daemon, self.processes, self.scratch / "dbus.log")
            if not address:
                raise Abort("the session bus did not start")
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
            # its bus daemon is its child, ended with it
            launcher = self.processes.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            bus = wait_until(lambda: child_named(launcher.pid, "dbus-daemon"), 10)
            self.processes.adopt(bus)
            # a program or reader that asks for the accessibility bus before
            # the launcher answers goes on without it for good
            if not wait_until(_accessibility_bus_answers, 10):
                raise Abort("the accessibility bus did not start")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self


def _accessibility_bus_answers():
    return subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                           "org.a11y.Bus.GetAddress"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          check=False).returncode == 0


def xdotool(*words, timeout=30):
    """xdotool's answer, as text."""
    return subprocess.run(["xdotool", *map(str, words)], check=True, capture_output=True, text=True,
                          timeout=timeout).stdout.strip()


def find_window(name, pid=None, seconds=15):
    """The first visible window whose title matches name (of the process
    pid), waited for; None when none shows."""
    argv = ["xdotool", "search", "--sync", "--onlyvisible"] + (["--all", "--pid", str(pid)] if pid else []) + [
        "--name", name]
    try:
        found = subprocess.run(argv, capture_output=True, text=True, timeout=seconds).stdout.split()
    except subprocess.TimeoutExpired:
        return None
    return found[0] if found else None


def focus(window):
    xdotool("windowfocus", "--sync", window)


def type_text(text, delay):
    xdotool("type", "--delay", delay, text)


def key(*keys):
    xdotool("key", *keys)


def click(x, y):
    """A left click at a point of the screen; the pointer stays there."""
    xdotool("mousemove", "--sync", x, y, "click", "1")
