"""Processes a test starts, whether they still run, and their ending, each by its own process id."""
import os
import signal
import subprocess
import time


def _stat(pid):
    """A process's command name and the fields after it in /proc/PID/stat."""
    with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as stat:
        text = stat.read()
    # the command name in brackets may hold spaces and brackets of its own
    return text[text.find("(") + 1:text.rfind(")")], text[text.rfind(")") + 1:].split()


def alive(pid):
    """Whether a process runs: one that has ended but is not yet reaped (a
    zombie) does not, and one whose /proc entry is gone has ended."""
    try:
        state = _stat(pid)[1]
    except (FileNotFoundError, ProcessLookupError):
        return False
    return bool(state) and state[0] != "Z"


def processes_where(test):
    """The ids of the running processes for which test(pid) holds; one that
    ends while it is looked at is passed over."""
    found = []
    for entry in os.scandir("/proc"):
        if entry.name.isdigit():
            try:
                if test(int(entry.name)):
                    found.append(int(entry.name))
            except OSError:
                continue
    return found


def command_line(pid):
    """A process's command and arguments, spaced; empty once it has ended."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as arguments:
            return arguments.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except (FileNotFoundError, ProcessLookupError):
        return ""


def child_named(parent, command):
    """A child process of parent running that command; None where there is none."""
    def matches(pid):
        name, fields = _stat(pid)
        return name == command and int(fields[1]) == parent
    return next(iter(processes_where(matches)), None)


def wait_until(condition, seconds, interval=0.1):
    """Asks condition() until it gives something true or the time is up;
    returns its last answer."""
    deadline = time.monotonic() + seconds
    while True:
        answer = condition()
        if answer or time.monotonic() >= deadline:
            return answer
        time.sleep(interval)


def ended(pid, seconds):
    """Waits up to seconds for a process to end; whether it has."""
    return wait_until(lambda: not alive(pid), seconds)


class Processes:
    """What a test started, ended in the reverse order when the block ends:
    asked to end (SIGTERM), then, still running 5 s later, killed."""

    def __init__(self):
        self._pids = []
        self._children = {}

    def start(self, argv, **options):
        child = subprocess.Popen(argv, **options)
        self._pids.append(child.pid)
        self._children[child.pid] = child
        return child

    def adopt(self, pid):
        """A process started by another, such as a bus's daemon, ended with the test's own."""
        if pid and pid not in self._pids:
            self._pids.append(pid)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()

    def stop(self):
        pids, self._pids = self._pids[::-1], []
        for pid in pids:
            _signal(pid, signal.SIGTERM)
        for pid in pids:
            if not ended(pid, 5):
                _signal(pid, signal.SIGKILL)
            child = self._children.pop(pid, None)
            if child is not None:
                child.wait()


def _signal(pid, number):
    try:
        os.kill(pid, number)
    except ProcessLookupError:
        pass
