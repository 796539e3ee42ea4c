"""Bare Debian roots to install the package into, as piuparts does: kept, privately mounted, emulated."""
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import time

from .cache import cache_dir
from .processes import processes_where

PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
# a root older than this is made afresh
KEPT_DAYS = 30
# past this much free memory the root lives in memory: written to and
# removed from disk it costs minutes more
MEMORY_FOR_TMPFS_GIB = 6
_NAMESPACE_MARK = "KORVASTEL_BARE_NAMESPACE"


def in_private_mount_namespace(checks):
    """Runs this test again in a mount namespace of its own, so that every
    mount it makes goes with it however it ends; returns in that run."""
    if os.environ.get(_NAMESPACE_MARK):
        return
    # inside a chroot or a container the root's mount propagation cannot be
    # changed, and no namespace of this kind can be made
    tried = subprocess.run(["unshare", "--mount", "--propagation", "private", "true"], capture_output=True,
                           text=True, check=False)
    if tried.returncode != 0:
        checks.skip(f"no private mount namespace can be made here (a chroot or container?): {tried.stderr.strip()}")
    os.environ[_NAMESPACE_MARK] = "1"
    sys.stdout.flush()
    os.execvp("unshare", ["unshare", "--mount", "--propagation", "private", sys.executable,
                          os.path.realpath(sys.argv[0]), *sys.argv[1:]])


def native_arch():
    return subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True, check=True).stdout.strip()


class ForeignPrograms:
    """Another architecture's programs run through qemu-user, by a
    binfmt_misc registration of this test's own, removed at its end: the
    qemu-user-static one under another name. It names the emulator by an open
    file (flag F), so programs in a root need no copy of it there."""

    BINFMT = pathlib.Path("/proc/sys/fs/binfmt_misc")

    def __init__(self, checks, arch):
        self.checks = checks
        self.arch = arch
        self.entry = None

    def __enter__(self):
        if self.arch == native_arch():
            return self
        cpu = subprocess.run(["dpkg-architecture", "-a", self.arch, "-qDEB_HOST_GNU_CPU"], capture_output=True,
                             text=True, check=False).stdout.strip()
        conf = pathlib.Path(f"/usr/lib/binfmt.d/qemu-{cpu}.conf")
        if not cpu or not conf.is_file():
            self.checks.skip(f"no qemu-user-static registration for {self.arch} ({conf}; "
                             "tools/setup arm64 installs it)")
        if not (self.BINFMT / "register").exists():
            mounted = subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", str(self.BINFMT)],
                                     capture_output=True, text=True, check=False)
            if mounted.returncode != 0:
                self.checks.skip(f"binfmt_misc cannot be mounted here, so {self.arch} programs cannot run: "
                                 f"{mounted.stderr.strip()}")
        if (self.BINFMT / "status").read_text(encoding="ascii").strip() != "enabled":
            self.checks.skip("binfmt_misc is switched off here")
        name = f"korvastel-{cpu}-{os.getpid()}"
        registration = conf.read_text(encoding="ascii").strip()
        registration = f":{name}:" + registration.split(":", 2)[2]
        try:
            (self.BINFMT / "register").write_text(registration, encoding="ascii")
        except OSError as refusal:
            self.checks.skip(f"binfmt_misc refuses a registration for {self.arch} programs: {refusal}")
        self.entry = self.BINFMT / name
        return self

    @property
    def emulated(self):
        return self.entry is not None

    def __exit__(self, *_):
        if self.entry is not None:
            self.entry.write_text("-1", encoding="ascii")


class BareRoot:
    """A bare Debian root (debootstrap's minimal variant) in the scratch
    folder, with apt reading the given sources, /proc mounted and the runtime
    folder shared at its own path. It is kept as a tarball in the cache
    folder, with the packages apt downloads into it, so later runs fetch only
    the package lists. runner goes before every command run in it."""

    def __init__(self, checks, scratch, release, suite, arch, sources, proxy=None, runner=()):
        self.checks = checks
        self.scratch = scratch
        self.path = scratch / "root"
        self.runtime = scratch / "run"
        self.apt_log = scratch / "apt.log"
        self.release, self.suite, self.arch = release, suite, arch
        self.sources, self.proxy = sources, proxy
        self.runner = list(runner)
        cache = cache_dir()
        self.tarball = cache / f"debian{release}-minbase-{arch}.tar"
        self.archives = cache / f"debian{release}-apt-archives"
        self._mounts = []
        self.started = time.monotonic()

    def elapsed(self, what):
        self.checks.info(f"[{time.monotonic() - self.started:.0f} s] {what}")

    def _mount(self, *argv, target):
        if subprocess.run(["mount", *argv, str(target)], check=False).returncode != 0:
            return False
        self._mounts.append(target)
        return True

    def __enter__(self):
        self.path.mkdir()
        try:
            self._lay_out()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _lay_out(self):
        if _available_gib() >= MEMORY_FOR_TMPFS_GIB:
            self._mount("-t", "tmpfs", "-o", "size=3g,mode=755", "korvastel-bare-debian", target=self.path)
        self.archives.mkdir(parents=True, exist_ok=True)
        if self.tarball.is_file() and time.time() - self.tarball.stat().st_mtime < KEPT_DAYS * 86400:
            if subprocess.run(["tar", "-xf", str(self.tarball), "-C", str(self.path)], check=False).returncode:
                self.checks.abort(f"cannot unpack the cached root {self.tarball}")
            self.elapsed(f"bare root unpacked from {self.tarball}")
        else:
            self._debootstrap()
        etc = self.path / "etc"
        (etc / "apt/sources.list").write_text("".join(f"deb {' '.join(source)}\n" for source in self.sources))
        if self.proxy:
            (etc / "apt/apt.conf.d/01proxy").write_text(f'Acquire::http::Proxy "{self.proxy}";\n')
        shutil.copy("/etc/resolv.conf", etc / "resolv.conf")
        # as piuparts: packages start no services in the root
        policy = self.path / "usr/sbin/policy-rc.d"
        policy.write_text("#!/bin/sh\nexit 101\n")
        policy.chmod(0o755)
        if not self._mount("-t", "proc", "proc", target=self.path / "proc"):
            self.checks.abort("cannot mount /proc in the root")
        # the session's buses live here, seen alike inside and out
        self.runtime.mkdir(mode=0o700)
        inside = self.path / str(self.runtime).lstrip("/")
        inside.mkdir(parents=True)
        if not self._mount("--bind", str(self.runtime), target=inside):
            self.checks.abort("cannot share the runtime folder with the root")

    def _debootstrap(self):
        mirror = next(site for site, suite, _ in self.sources if suite == self.suite)
        log = self.scratch / "debootstrap.log"
        with open(log, "wb") as output:
            made = subprocess.run(["debootstrap", "--variant=minbase", f"--arch={self.arch}", self.suite,
                                   str(self.path), mirror], stdout=output, stderr=subprocess.STDOUT, check=False)
        if made.returncode != 0:
            print("\n".join(log.read_text(errors="replace").splitlines()[-20:]))
            self.checks.abort(f"debootstrap of {self.suite} from {mirror} failed")
        self.run(["apt-get", "clean"])
        partial = self.tarball.with_name(f"{self.tarball.name}.{os.getpid()}")
        if subprocess.run(["tar", "-cf", str(partial), "-C", str(self.path), "."], check=False).returncode == 0:
            partial.replace(self.tarball)
        self.elapsed(f"bare root made by debootstrap and kept in {self.tarball}")

    def __exit__(self, *_):
        # whatever was started in the root, then the mounts, innermost first
        for pid in self.pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for target in reversed(self._mounts):
            subprocess.run(["umount", "-R", str(target)], stderr=subprocess.DEVNULL, check=False)
        self._mounts = []

    def command(self, argv, **variables):
        """A command run in the root with a plain environment and these variables."""
        env = [f"{name}={value}" for name, value in
               {"PATH": PATH, "HOME": "/root", "LANG": "C.UTF-8", "DEBIAN_FRONTEND": "noninteractive",
                **variables}.items()]
        return [*self.runner, "chroot", str(self.path), "/usr/bin/env", "-i", *env, *argv]

    def run(self, argv, **options):
        return subprocess.run(self.command(argv), check=False, **options)

    def output(self, argv):
        return self.run(argv, capture_output=True, text=True).stdout

    def apt(self, *words):
        """apt-get in the root as piuparts runs it (no recommended packages),
        without waiting for the disk on every file; its downloads are kept for
        the next run. Whether it succeeded."""
        archives = self.path / "var/cache/apt/archives"
        for kept in [*self.archives.glob(f"*_{self.arch}.deb"), *self.archives.glob("*_all.deb")]:
            if not (archives / kept.name).exists():
                shutil.copy(kept, archives)
        with open(self.apt_log, "ab") as log:
            done = self.run(["apt-get", "-q", "-y", "-o", "APT::Install-Recommends=false",
                             "-o", "DPkg::Options::=--force-unsafe-io", *words], stdout=log, stderr=subprocess.STDOUT)
        for downloaded in archives.glob("*.deb"):
            if not (self.archives / downloaded.name).exists():
                shutil.copy(downloaded, self.archives)
        return done.returncode == 0

    def apt_log_tail(self, lines):
        return "\n".join(self.apt_log.read_text(errors="replace").splitlines()[-lines:])

    def packages_set_up(self):
        return sum(line.startswith("Setting up ") for line in self.apt_log.read_text(errors="replace").splitlines())

    def pids(self):
        """The processes running inside the root."""
        return processes_where(lambda pid: os.path.samefile(f"/proc/{pid}/root", self.path))

    def pid_of(self, command):
        """A process of that command name running in the root; None where there is none."""
        return next((pid for pid in self.pids() if pathlib.Path(f"/proc/{pid}/comm").read_text().strip() == command),
                    None)


def _available_gib():
    for line in pathlib.Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemAvailable:"):
            return int(line.split()[1]) // 1048576
    return 0
