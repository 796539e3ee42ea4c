"""Wine as the Windows programs meet it: its environment, a prefix from the kept template, a session on a display."""
import os
import pathlib
import re
import shutil
import subprocess

from .cache import cache_dir
from .desktop import Display

ENVIRONMENT_FILE = pathlib.Path(__file__).resolve().parents[2] / "support" / "wine-environment"


def environment():
    """The variables of the one Wine environment, as NAME: VALUE."""
    variables = {}
    for line in ENVIRONMENT_FILE.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            name, _, value = line.partition("=")
            variables[name] = value
    return variables


def _quiet(argv, **options):
    return subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False, **options)


def make_prefix(prefix):
    """A Wine prefix for the Windows programs and tests. The first is made by
    wineboot (half a minute) and kept in the cache folder, keyed by Wine's
    version; later ones are copies of it. It has the fonts a Windows desktop
    has: Wine's own Tahoma for its dialogs, and Liberation Sans, Arial's
    metric twin, under Arial's name."""
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True, check=True).stdout.split("\n")[0]
    template = cache_dir() / ("wine-prefix-" + re.sub(r"[^A-Za-z0-9.-]", "_", version))
    env = {**os.environ, **environment(), "WINEPREFIX": str(template)}
    if not (template / ".complete").is_file():
        shutil.rmtree(template, ignore_errors=True)
        template.parent.mkdir(parents=True, exist_ok=True)
        _quiet(["wineboot", "-i"], env=env)
        fonts = template / "drive_c/windows/Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for font in [*pathlib.Path("/usr/share/wine/fonts").glob("*.ttf"),
                     *pathlib.Path("/usr/share/fonts/truetype/liberation").glob("LiberationSans-*.ttf")]:
            shutil.copy(font, fonts)
        _quiet(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "Arial",
                "/d", "Liberation Sans", "/f"], env=env)
        subprocess.run(["wineserver", "-w"], env=env, check=True)
        (template / ".complete").touch()
    prefix = pathlib.Path(prefix)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["cp", "-a", str(template), str(prefix)], check=True)
    (prefix / ".complete").unlink()


def stop():
    """Every Wine process of the prefix ended, and waited for."""
    _quiet(["wineserver", "-k"])
    _quiet(["wineserver", "-w"])


def windows_path(path):
    """A file's name as a Windows program sees it: drive Z: is /."""
    return "Z:" + str(path).replace("/", "\\")


class Session:
    """Wine's environment for the test and what it starts, in the prefix
    WINEPREFIX names or else (or when own_prefix) in a scratch prefix of its
    own; with a display of that size when asked. Wine's processes end with the
    session."""

    def __init__(self, scratch, display=None, own_prefix=False):
        self.scratch = scratch
        self.display = Display(scratch, display) if display else None
        self.own_prefix = own_prefix

    def __enter__(self):
        os.environ.update(environment())
        if self.own_prefix or not os.environ.get("WINEPREFIX"):
            home = self.scratch / "home"
            home.mkdir(exist_ok=True)
            os.environ.update(WINEPREFIX=str(self.scratch / "prefix"), HOME=str(home))
            make_prefix(os.environ["WINEPREFIX"])
        self.prefix = pathlib.Path(os.environ["WINEPREFIX"])
        if self.display:
            self.display.__enter__()
        return self

    def __exit__(self, *error):
        stop()
        if self.display:
            self.display.__exit__(*error)
