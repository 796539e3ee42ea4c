"""Debian as the package meets it: building the package, its relationship fields, this machine's release and mirror."""
import pathlib
import re
import subprocess
import urllib.request

SUITES = {12: "bookworm", 13: "trixie"}


def build_package(checks, build_dir, scratch, arch):
    """The Debian package of a finished build folder, made by cpack in the scratch folder."""
    out = scratch / "out"
    log = scratch / "cpack.log"
    with open(log, "wb") as output:
        made = subprocess.run(["cpack", "-G", "DEB", "-B", str(out), "--config",
                               str(pathlib.Path(build_dir) / "CPackConfig.cmake")],
                              stdout=output, stderr=subprocess.STDOUT, check=False)
    if made.returncode != 0:
        print(log.read_text(encoding="utf-8", errors="replace"))
        checks.abort("cpack -G DEB failed")
    debs = sorted(out.glob(f"korvastel_*_{arch}.deb"))
    if len(debs) != 1:
        checks.abort(f"expected one korvastel_*_{arch}.deb, found: {' '.join(map(str, debs)) or 'none'}")
    return debs[0]


def relation_names(field):
    """The package names of a relationship field such as "libc6 (>= 2.34), a | b [amd64]"."""
    names = []
    for alternative in re.split(r"[,|]", field):
        name = re.sub(r"\(.*?\)|\[.*?\]", "", alternative).strip()
        if name:
            names.append(name)
    return names


def os_release(key):
    for line in pathlib.Path("/etc/os-release").read_text(encoding="utf-8").splitlines():
        name, _, value = line.partition("=")
        if name == key:
            return value.strip().strip('"')
    return ""


def host_release():
    """This machine's Debian release as a number; None where it has none (testing, sid)."""
    major = os_release("VERSION_ID").split(".")[0]
    return int(major) if major.isdigit() else None


def apt_sources(suite=None):
    """The Debian suites this machine's apt reads for its own release (the
    release, its updates and its security suite), as (URI, SUITE, COMPONENT),
    renamed for another suite when one is given: the same mirrors serve both.
    apt tells them whatever format its sources are written in."""
    host = os_release("VERSION_CODENAME")
    listed = subprocess.run(["apt-get", "indextargets", "--format", "$(SITE) $(RELEASE) $(COMPONENT)",
                             "Created-By: Packages"], capture_output=True, text=True, check=True).stdout
    sources = set()
    for line in listed.splitlines():
        site, release, component = line.split()
        if release in (host, f"{host}-updates", f"{host}-security"):
            sources.add((site, (suite or host) + release[len(host):], component))
    return sorted(sources)


def mirror(suite=None):
    """The mirror of the release's own suite; None where apt reads none."""
    wanted = suite or os_release("VERSION_CODENAME")
    return next((site for site, release, _ in apt_sources(suite) if release == wanted), None)


def apt_proxy():
    """The HTTP proxy this machine's apt uses; None where it uses none."""
    dumped = subprocess.run(["apt-config", "dump", "--format", "%v", "Acquire::http::Proxy"], capture_output=True,
                            text=True, check=False).stdout.strip()
    return dumped.splitlines()[0] if dumped else None


def unreachable(url):
    """Why a URL cannot be read; None when it can."""
    try:
        with urllib.request.urlopen(url, timeout=20) as answer:
            answer.read(1)
    except OSError as error:
        return str(error)
    return None
