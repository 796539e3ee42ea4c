"""The Windows installer under Wine as the installed-programs list, the Start menu and Program Files show it."""
import filecmp
import pathlib
import shutil
import subprocess
import time
import xml.etree.ElementTree as ElementTree

PACKAGING = pathlib.Path(__file__).resolve().parents[3] / "packaging" / "windows"
WXS = PACKAGING / "Korvastel.wxs"
MAKE_MSI = PACKAGING / "make-msi"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
PRODUCTS_KEY = r"HKLM\Software\Classes\Installer\Products"
SHORTCUT_KEY = r"HKLM\Software\Korvastel"
INSTALL_WIN = "C:\\Program Files\\Korvastel"


def wxs_attribute(element, attribute):
    """An attribute of the first element of a kind in the installer's source:
    the texts Windows should show are checked against what the source says."""
    namespace = "{http://schemas.microsoft.com/wix/2006/wi}"
    return next(ElementTree.parse(WXS).iter(namespace + element)).get(attribute)


def since(started):
    return f"{time.monotonic() - started:.1f} s"


def succeeds(argv, **options):
    return subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False,
                          **options).returncode == 0


class Installer:
    """What the test makes and looks at: the installers, the prefix's files and registry."""

    def __init__(self, check, scratch, staging):
        self.check, self.scratch, self.staging = check, scratch, staging
        # the staging folder each version was built from
        self.staged = {}
        self.install_dir = scratch / "prefix/drive_c/Program Files/Korvastel"
        self.prefix = scratch / "prefix"

    # --- building and signing ---------------------------------------------------
    def make(self, version, msi, *signing):
        """An installer built from a copy of the staging folder of its own:
        make-msi signs the program in the folder it is given and sets its
        files' times."""
        started = time.monotonic()
        staged = self.scratch / f"staging-{msi.stem}"
        shutil.copytree(self.staging, staged)
        self.staged.setdefault(version, staged)  # a rebuild is checked against the first
        made = succeeds([str(MAKE_MSI), str(staged), version, str(msi), *signing]) and msi.is_file()
        self.check.info(f"building the installer of {version} took {since(started)}; "
                        f"it is {msi.stat().st_size if msi.is_file() else 0} bytes")
        return made

    def verify(self, msi):
        """osslsigncode's verdict on an installer's signature: whether it holds, and its report."""
        done = subprocess.run(["osslsigncode", "verify", "-in", str(msi), "-CAfile", str(self.scratch / "cert.pem"),
                               "-ignore-crl"], capture_output=True, text=True, check=False)
        return done.returncode == 0, done.stdout + done.stderr

    # --- Wine -------------------------------------------------------------------
    def msiexec(self, *words):
        started = time.monotonic()
        try:
            # a dialog where none should be would wait for ever
            done = succeeds(["wine", "msiexec", *words, "/qn", "/l*v", str(self.scratch / "msiexec.log")],
                            timeout=300)
        except subprocess.TimeoutExpired:
            done = False
        self.check.info(f"msiexec {words[0]} {pathlib.Path(words[1]).name} took {since(started)}")
        return done

    def installed_files(self):
        if not self.install_dir.is_dir():
            return []
        return sorted(str(path.relative_to(self.install_dir)) for path in self.install_dir.rglob("*"))

    def staged_files(self, version):
        """The staged files but the icon, which goes into the installer's icon table."""
        staged = self.staged[version]
        return sorted(name for name in (str(path.relative_to(staged)) for path in staged.rglob("*"))
                      if name != "korvastel.ico")

    def same_content(self, version):
        return all(filecmp.cmp(self.staged[version] / name, self.install_dir / name, shallow=False)
                   if (self.install_dir / name).is_file() else False for name in self.staged_files(version))

    def shortcut(self):
        """Windows Installer puts a per-machine shortcut into the all-users
        Start menu; Wine 8 puts it into the installing user's. Either counts:
        the checks are that it is made and removed with the product."""
        name = wxs_attribute("Shortcut", "Name") + ".lnk"
        return next((path for path in (self.prefix / "drive_c").rglob(name)
                     if "/Start Menu/Programs/" in str(path)), None)

    def registry(self, key):
        """The values under a registry key, (KEY, NAME, VALUE) each."""
        listed = subprocess.run(["wine", "reg", "query", key, "/s"], capture_output=True, check=False).stdout
        rows, current = [], None
        for line in listed.decode(errors="replace").replace("\r", "").splitlines():
            if line.startswith("HKEY_"):
                current = line
            elif line.startswith("    ") and not line.startswith("     "):
                name, _, rest = line[4:].partition("    ")
                value = rest.partition("    ")[2]
                rows.append((current, name, value))
        return rows

    @staticmethod
    def _named(rows, name_value, product):
        keys = {key for key, name, value in rows if name == name_value and value == product}
        return {key: {name: value for row_key, name, value in rows if row_key == key} for key in sorted(keys)}

    def entries(self):
        """The installed-programs entries named Korvastel, as {key: {name: value}}."""
        return self._named(self.registry(UNINSTALL_KEY), "DisplayName", "Korvastel")

    def entry_value(self, name):
        return "\n".join(values.get(name, "") for values in self.entries().values())

    def product_icons(self):
        """Windows Installer writes no DisplayIcon for a product; the programs
        list takes the icon from the product's registration (ARPPRODUCTICON).
        Each registered product named Korvastel's icon, or "none"."""
        return [values.get("ProductIcon") or "none"
                for values in self._named(self.registry(PRODUCTS_KEY), "ProductName", "Korvastel").values()]

    def is_staged_icon(self, icons, version):
        if len(icons) != 1 or icons[0] == "none":
            return False
        unix = subprocess.run(["wine", "winepath", "-u", icons[0]], capture_output=True, text=True,
                              check=False).stdout.replace("\r", "").strip()
        return bool(unix) and pathlib.Path(unix).is_file() and filecmp.cmp(unix, self.staged[version] / "korvastel.ico",
                                                                            shallow=False)

    @staticmethod
    def no_registry_key(key):
        return not succeeds(["wine", "reg", "query", key])


def lnk_holds(lnk, text, ansi_too=False):
    """A text in a shortcut file, where the description, working folder and
    icon are kept in UTF-16 and the target's path in the ANSI code page
    (UTF-16 too when it needs more)."""
    data = lnk.read_bytes()
    return text.encode("utf-16-le") in data or (ansi_too and text.encode("ascii") in data)


