"""The checks of an end-to-end test: a line each, a closing count, and the exit status ctest reads."""
import contextlib
import pathlib
import signal
import subprocess
import sys
import tempfile
import traceback

# ctest's SKIP_RETURN_CODE for these tests
SKIPPED = 77


class Skip(Exception):
    """The test cannot run here; the reason is said."""


class Abort(Exception):
    """A check failed that the rest of the test stands on."""


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0
        self._diagnostics = []

    def check(self, what, ok):
        """One named expectation; returns whether it held."""
        if ok:
            self.passed += 1
            print(f"PASS: {what}")
        else:
            self.failed += 1
            print(f"FAIL: {what}")
        return bool(ok)

    def expect(self, what, actual, expected):
        """A value read from the program against the one it should be."""
        if actual == expected:
            return self.check(f"{what} = {actual!r}", True)
        return self.check(f"{what} = {actual!r}, expected {expected!r}", False)

    def fail(self, what):
        return self.check(what, False)

    def abort(self, what):
        self.fail(what)
        raise Abort(what)

    @staticmethod
    def info(text):
        print(f"INFO: {text}")

    @staticmethod
    def skip(reason):
        raise Skip(reason)

    def on_failure(self, title, path):
        """A log shown when the test ends with a failure, before its scratch folder goes."""
        self._diagnostics.append((title, path))

    @contextlib.contextmanager
    def scratch(self):
        """A scratch folder for the whole test, removed at its end; the logs
        kept in it are shown first when anything failed."""
        folder = pathlib.Path(tempfile.mkdtemp(prefix="korvastel-e2e."))
        try:
            yield folder
        except (Skip, KeyboardInterrupt):
            raise
        except Abort:
            self._show_diagnostics()
            raise
        except Exception:  # noqa: BLE001 - a fault of the test itself still ends it with a count
            self.fault()
            self._show_diagnostics()
            raise Abort("the test itself failed") from None
        else:
            if self.failed:
                self._show_diagnostics()
        finally:
            # a mount left behind in it is not followed
            subprocess.run(["rm", "-rf", "--one-file-system", str(folder)], check=False)

    def fault(self):
        traceback.print_exc(file=sys.stdout)
        self.fail("the test itself failed (above)")

    def _show_diagnostics(self):
        diagnostics, self._diagnostics = self._diagnostics, []
        for title, path in diagnostics:
            print(f"--- {title}:")
            try:
                with open(path, encoding="utf-8", errors="replace") as log:
                    text = log.read()
                # the closing count stands alone on its line
                print(text, end="" if text.endswith("\n") or not text else "\n")
            except OSError as error:
                print(f"(not readable: {error})")


def _interrupted(number, _frame):
    raise KeyboardInterrupt(signal.Signals(number).name)


def run(test):
    """Runs test(checks) and ends the process: 0 when every check held, 1
    otherwise, 77 when the test could not run here. What the test set up is
    taken down by its own with-blocks, also on SIGTERM and SIGINT."""
    sys.stdout.reconfigure(line_buffering=True)
    signal.signal(signal.SIGTERM, _interrupted)
    signal.signal(signal.SIGINT, _interrupted)
    checks = Checks()
    try:
        test(checks)
    except Skip as reason:
        print(f"SKIPPED: {reason}")
        sys.exit(SKIPPED)
    except Abort:
        pass
    except KeyboardInterrupt as signal_name:
        checks.fail(f"interrupted by {signal_name}")
    except Exception:  # noqa: BLE001 - a fault of the test itself still ends it with a count
        checks.fault()
    print(f"{checks.passed} passed, {checks.failed} failed")
    sys.exit(1 if checks.failed else 0)
