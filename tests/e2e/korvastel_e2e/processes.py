"""Processes a test starts, whether they still run, and their ending, each by its own process id."""
import os
import signal
import subprocess
import time


def alive(pid):
    """Whether a process runs: one that has ended but is not yet reaped (a
    zombie) does not, and one whose /proc entry is gone has ended."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as stat:
            fields = stat.read()
    except (FileNotFoundError, ProcessLookupError):
        return False
    # the command name in brackets may hold spaces and brackets of its own
    state = fields.rpartition(")")[2].split()
    return bool(state) and state[0] != "Z"


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
