// The span file on POSIX systems against real faults: a full file system,
// the file-size limit, the open-files limit, a user who may not write, and a
// failure of each system call a save makes; and against links, pipes and
// devices. Faults that change the process are made in a child.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/Core.h"
#include "core/file/FileStore.h"
#include "core/file/posix/FileCalls.h"
#include "tests/core/SaveFaultInjection.h"
#include "tests/core/SpanFileFixture.h"

namespace {

using namespace korvastel::test;

// Runs `work` in a forked child, so that limits, mounts and a changed user
// stay there, and returns what it reported (or how it died).
std::string RunInChild(const std::function<std::string()>& work) {
  int channel[2];
  if (pipe(channel) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    std::string report;
    try {
      report = work();
    } catch (const std::exception& error) {
      report = std::string("unexpected exception: ") + error.what();
    }
    (void)!write(channel[1], report.data(), report.size());
    _exit(0);
  }
  close(channel[1]);
  std::string report;
  char buffer[256];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<std::size_t>(got));
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return report;
}

// Fault injection through the file layer's table of system calls: the at-th
// call of one kind fails with EIO, once, as a failing disk would fail it (a
// failed close still frees the descriptor, as on Linux); or, given `instead`,
// that call runs it first and then goes ahead.
enum CallKind {
  Open,
  Write,
  Fsync,
  Fallocate,
  Ftruncate,
  Rename,
  Link,
  Fchown,
  Fchmod,
  SetAttribute,
  Close,
  CallKinds
};
constexpr const char* kCallKindNames[CallKinds] = {"open",      "write",    "fsync", "fallocate",
                                                   "ftruncate", "rename",   "link",  "fchown",
                                                   "fchmod",    "setxattr", "close"};

struct FaultPlan {
  CallKind kind = CallKinds;
  int at = 0;
  void (*instead)() = nullptr;
  bool unnamedRefused = false;  // as by a file system without unnamed files
  int seen[CallKinds] = {};
  bool struck = false;
};
FaultPlan plan;

// Whether this call is to fail (with errno set).
bool Strikes(CallKind kind) {
  if (++plan.seen[kind] != plan.at || kind != plan.kind) return false;
  plan.struck = true;
  if (plan.instead != nullptr) {
    plan.instead();
    return false;
  }
  errno = EIO;
  return true;
}

class InjectedFault {
 public:
  InjectedFault(CallKind kind, int at, void (*instead)() = nullptr, bool unnamedRefused = false) {
    using korvastel::posix::SystemCalls;
    plan = FaultPlan{kind, at, instead, unnamedRefused};
    korvastel::posix::Calls() = {
        .open =
            [](const char* p, int f, mode_t m) {
              if (plan.unnamedRefused && (f & O_TMPFILE) == O_TMPFILE) {
                errno = EOPNOTSUPP;
                return -1;
              }
              return Strikes(Open) ? -1 : SystemCalls().open(p, f, m);
            },
        .close =
            [](int fd) {
              const bool fails = Strikes(Close);
              const int result = SystemCalls().close(fd);
              if (fails) errno = EIO;
              return fails ? -1 : result;
            },
        .write = [](int fd, const void* d,
                    std::size_t n) { return Strikes(Write) ? -1 : SystemCalls().write(fd, d, n); },
        .fsync = [](int fd) { return Strikes(Fsync) ? -1 : SystemCalls().fsync(fd); },
        .fallocate = [](int fd, off_t o,
                        off_t n) { return Strikes(Fallocate) ? EIO : SystemCalls().fallocate(fd, o, n); },
        .ftruncate = [](int fd, off_t n) { return Strikes(Ftruncate) ? -1 : SystemCalls().ftruncate(fd, n); },
        .linkat = [](int fa, const char* a, int fb, const char* b,
                     int f) { return Strikes(Link) ? -1 : SystemCalls().linkat(fa, a, fb, b, f); },
        .rename = [](const char* a,
                     const char* b) { return Strikes(Rename) ? -1 : SystemCalls().rename(a, b); },
        .fchown = [](int fd, uid_t u,
                     gid_t g) { return Strikes(Fchown) ? -1 : SystemCalls().fchown(fd, u, g); },
        .fchmod = [](int fd, mode_t m) { return Strikes(Fchmod) ? -1 : SystemCalls().fchmod(fd, m); },
        .fsetxattr =
            [](int fd, const char* name, const void* v, std::size_t n, int f) {
              return Strikes(SetAttribute) ? -1 : SystemCalls().fsetxattr(fd, name, v, n, f);
            },
        .fremovexattr =
            [](int fd, const char* name) {
              return Strikes(SetAttribute) ? -1 : SystemCalls().fremovexattr(fd, name);
            },
    };
  }
  ~InjectedFault() { korvastel::posix::Calls() = korvastel::posix::SystemCalls(); }
  InjectedFault(const InjectedFault&) = delete;
  InjectedFault& operator=(const InjectedFault&) = delete;

  bool Struck() const { return plan.struck; }
};

constexpr char kAccessControlListName[] = "system.posix_acl_access";

// An access-control list as the kernel keeps it in system.posix_acl_access
// (little-endian version 2, then tag, permissions and id per entry), giving
// `user` read and write besides the owner: the permission bits read 0660.
std::string AccessControlList(uid_t user) {
  std::string bytes;
  const auto put = [&](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(2, 4);
  const struct {
    std::uint16_t tag, permissions;
    std::uint32_t id;
  } entries[] = {{0x01, 6, ~0u}, {0x02, 6, user}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}};
  for (const auto& entry : entries) {
    put(entry.tag, 2);
    put(entry.permissions, 2);
    put(entry.id, 4);
  }
  return bytes;
}

std::string Attribute(const std::string& path, const char* name) {
  char value[512];
  const ssize_t got = getxattr(path.c_str(), name, value, sizeof value);
  return got < 0 ? std::string() : std::string(value, static_cast<std::size_t>(got));
}

// Everything of a file that a save must keep besides its content, in words.
std::string KeptOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return Errno("stat");
  std::ostringstream kept;
  kept << "owner " << info.st_uid << ":" << info.st_gid << ", mode " << std::oct << (info.st_mode & 07777)
       << std::dec << ", links " << info.st_nlink << ", user.note '" << Attribute(path, "user.note")
       << "', ACL";
  for (const char c : Attribute(path, kAccessControlListName))
    kept << ' ' << (static_cast<unsigned>(c) & 0xFF);
  return kept.str();
}

TEST_F(SpanFileTest, DevicesAreNotReadAsSpanFiles) {
  // /dev/zero never ends and holds no line end: reading it would fill memory
  for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"})
    EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(device); }), ENODEV) << device;
}

TEST_F(SpanFileTest, SavedFileKeepsThePermissionBits) {
  WriteBytes(Path("spans.txt"), "old\r\n");
  ASSERT_EQ(chmod(Path("spans.txt").c_str(), 0640), 0);
  WriteSpanFile(Path("spans.txt"), ColumnOf({"1"}));
  struct stat info {};
  ASSERT_EQ(stat(Path("spans.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  const mode_t previousMask = umask(022);
  WriteSpanFile(Path("new.txt"), ColumnOf({"1"}));
  umask(previousMask);
  ASSERT_EQ(stat(Path("new.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u) << "a new file gets 0666 less the umask";
}

TEST_F(SpanFileTest, SavingThroughALinkReplacesItsTarget) {
  ASSERT_EQ(mkdir(Path("data").c_str(), 0700), 0);
  WriteBytes(Path("data/spans.txt"), "old\r\n");
  ASSERT_EQ(symlink("data/spans.txt", Path("inner").c_str()), 0);
  ASSERT_EQ(symlink("inner", Path("outer").c_str()), 0);            // a chain of relative links
  ASSERT_EQ(symlink("data/new.txt", Path("dangling").c_str()), 0);  // a link to a file not yet there
  WriteSpanFile(Path("outer"), ColumnOf({"12"}));
  WriteSpanFile(Path("dangling"), ColumnOf({"7"}));
  EXPECT_EQ(ReadBytes(Path("data/spans.txt")), "12\r\n");
  EXPECT_EQ(ReadBytes(Path("data/new.txt")), "7\r\n");
  struct stat info {};
  for (const char* link : {"inner", "outer", "dangling"}) {
    ASSERT_EQ(lstat(Path(link).c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << link << " is no longer a link";
  }
  for (const auto& entry : std::filesystem::directory_iterator(Path("data")))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

TEST_F(SpanFileTest, WritesAPipeDirectly) {
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  const int reader = open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  WriteSpanFile(Path("pipe"), ColumnOf({"abc", "7.25", "12"}));
  char buffer[64] = {};
  const ssize_t got = read(reader, buffer, sizeof buffer);
  close(reader);
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), "7.25\r\n12\r\n");
  struct stat info {};
  ASSERT_EQ(lstat(Path("pipe").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe was replaced";
}

// The full device (1, 7), as a node of its own in the test folder: however a
// save goes wrong, the system's /dev/full is never at stake. Without the
// right to make nodes the test uses /dev/full itself, but only where this
// user cannot replace anything in /dev.
std::string FullDevice(const std::string& folder) {
  const std::string node = folder + "full";
  if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
    const int probe = open(node.c_str(), O_WRONLY);
    if (probe >= 0) {
      close(probe);
      return node;
    }
  }
  return access("/dev", W_OK) != 0 && access("/dev/full", W_OK) == 0 ? "/dev/full" : "";
}

TEST_F(SpanFileTest, FullDeviceFailsWithIOError28) {
  const std::string device = FullDevice(folder_);
  if (device.empty())
    GTEST_SKIP() << "no node of the full device can be made, and /dev/full is not safe to use";
  struct stat before {};
  ASSERT_EQ(stat(device.c_str(), &before), 0);
  try {
    WriteSpanFile(device, ColumnOf({"7.25"}));
    ADD_FAILURE() << "a save to the full device succeeded";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.ErrorCode(), 28);
    EXPECT_STREQ(error.what(), "I/O error 28");
  }
  struct stat after {};
  ASSERT_EQ(lstat(device.c_str(), &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode) && after.st_rdev == before.st_rdev) << device << " was replaced";
}

// The old file, and nothing else, must be left in the folder after a failed save.
std::string OldFileSurvives(const std::string& folder, const std::string& old,
                            const std::set<std::string>& others = {}) {
  std::string report;
  if (ReadBytes(folder + "spans.txt") != old) report += " old content lost;";
  for (const std::string& name : NamesIn(folder))
    if (name != "spans.txt" && !others.contains(name)) report += " left behind: " + name + ";";
  return report;
}

std::string LargeColumnSave(const std::string& path) {
  SpanColumn column;
  for (int row = 0; row < SpanColumn::RowCount; ++row) column.SetText(row, "1234.5");
  return "code " + std::to_string(ErrorCodeOf([&] { WriteSpanFile(path, column); }));
}

TEST_F(SpanFileTest, FullFileSystemKeepsTheOldFile) {
  const std::string report = RunInChild([&]() -> std::string {
    // a private mount of a tiny file system on the test folder, gone with the child
    if (unshare(CLONE_NEWNS) != 0) return "skip: " + Errno("no private mount namespace (unshare)");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return "skip: " + Errno("mount private");
    if (mount("korvastel-test", folder_.c_str(), "tmpfs", 0, "size=64k") != 0)
      return "skip: " + Errno("mount tmpfs");
    WriteBytes(folder_ + "spans.txt", "100\r\n");
    {
      std::ofstream filler(folder_ + "filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) {
      }
    }
    return LargeColumnSave(folder_ + "spans.txt") + OldFileSurvives(folder_, "100\r\n", {"filler"});
  });
  if (report.starts_with("skip: ")) GTEST_SKIP() << report.substr(6);
  EXPECT_EQ(report, "code 28");
}

TEST_F(SpanFileTest, FileSizeLimitKeepsTheOldFile) {
  WriteBytes(Path("spans.txt"), "100\r\n");
  const std::string report = RunInChild([&] {
    const rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string result = LargeColumnSave(Path("spans.txt"));
    sigset_t blocked, pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &blocked);
    sigpending(&pending);
    if (sigismember(&blocked, SIGXFSZ)) result += " SIGXFSZ left blocked;";
    if (sigismember(&pending, SIGXFSZ)) result += " SIGXFSZ left pending;";
    return result;
  });
  EXPECT_EQ(report, "code 27");
  EXPECT_EQ(OldFileSurvives(folder_, "100\r\n"), "");
}

TEST_F(SpanFileTest, TooManyOpenFiles) {
  WriteBytes(Path("spans.txt"), "100\r\n");
  const std::string report = RunInChild([&] {
    const rlimit limit{32, 32};
    setrlimit(RLIMIT_NOFILE, &limit);
    while (open("/dev/null", O_RDONLY) >= 0) {
    }
    return "read " + std::to_string(ErrorCodeOf([&] { ReadSpanFile(Path("spans.txt")); })) + ", write " +
           std::to_string(ErrorCodeOf([&] { WriteSpanFile(Path("spans.txt"), ColumnOf({"1"})); }));
  });
  EXPECT_EQ(report, "read 4, write 4");
  EXPECT_EQ(OldFileSurvives(folder_, "100\r\n"), "");
}

// SQLite's way of testing storage: every system call of a save fails in
// turn, the first, second and third of each kind. After every run the file
// holds its old bytes or, only after a reported success, the new ones; it has
// kept its owner, group, mode, attributes, ACL and links; both names of a
// linked file agree; and nothing is left beside it. A plain file is replaced
// (so its owner, group and mode differ from a new file's, to be given back),
// a linked one written in place; each grows in one set-up and shrinks in the
// other.
TEST_F(SpanFileTest, EveryFailingCallOfASaveKeepsTheOldOrTheNewFile) {
  const bool root = geteuid() == 0;
  const std::string acl = AccessControlList(4242);
  WriteBytes(Path("probe"), "");
  const bool hasAcl = setxattr(Path("probe").c_str(), kAccessControlListName, acl.data(), acl.size(), 0) == 0;
  const bool hasNote = setxattr(Path("probe").c_str(), "user.note", "kept", 4, 0) == 0;
  unlink(Path("probe").c_str());
  const Lines growing(200, "1234.5");
  const std::string longOld = std::string(3000, '9') + "\r\n";
  struct {
    const char* name;
    bool linked;
    bool withAcl;
    bool unnamedRefused;
    std::string old;
    Lines rows;
  } setups[] = {
      {"plain file, growing", false, false, false, "100\r\n", growing},
      {"plain file with an ACL, shrinking", false, true, false, longOld, {"7"}},
      {"plain file where no unnamed file can be made", false, false, true, "100\r\n", growing},
      {"linked file, growing", true, false, false, "100\r\n", growing},
      {"linked file with an ACL, shrinking", true, true, false, longOld, {"7"}},
  };
  const auto prepare = [&](const auto& setup, const std::string& run) {
    const std::string path = Path("spans.txt");
    WriteBytes(path, setup.old);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0) << run;
    ASSERT_TRUE(!root || chown(path.c_str(), 4242, 4243) == 0) << Errno("chown");
    ASSERT_TRUE(!hasNote || setxattr(path.c_str(), "user.note", "kept", 4, 0) == 0) << Errno("setxattr");
    ASSERT_TRUE(!hasAcl || !setup.withAcl ||
                setxattr(path.c_str(), kAccessControlListName, acl.data(), acl.size(), 0) == 0)
        << Errno("setxattr");
    ASSERT_TRUE(!setup.linked || link(path.c_str(), Path("other.txt").c_str()) == 0) << Errno("link");
  };
  const auto inject = [](const auto& setup, int kind, int at) {
    return InjectedFault(static_cast<CallKind>(kind), at, nullptr, setup.unnamedRefused);
  };
  const auto mustBeReached = [&](int kind) {
    return (kind != Fchown || root) && (kind != SetAttribute || hasNote || hasAcl);
  };
  FailEveryCallOfASave(folder_, setups, kCallKindNames, prepare, inject, KeptOf, mustBeReached)
      .Print(root && hasAcl && hasNote ? "" : " (no owner, ACL or attribute cases here)");
}

std::string SaveCode(const std::string& path, const SpanColumn& column) {
  return std::to_string(ErrorCodeOf([&] { WriteSpanFile(path, column); }));
}

// A save killed between making its new file and renaming it leaves nothing
// beside the old file: the new file has no name until the moment it replaces
// the old one.
TEST_F(SpanFileTest, KilledSaveLeavesNothingBehind) {
  const int unnamed = open(folder_.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (unnamed < 0)
    GTEST_SKIP() << Errno("no unnamed files in the test folder, a killed save leaves its file");
  close(unnamed);
  WriteBytes(Path("spans.txt"), "100\r\n");
  const std::string report = RunInChild([&] {
    const InjectedFault killed(Fsync, 1, [] { raise(SIGKILL); });
    return "not killed, code " + SaveCode(Path("spans.txt"), ColumnOf({"1"}));
  });
  EXPECT_EQ(report, "killed by signal 9");
  EXPECT_EQ(OldFileSurvives(folder_, "100\r\n"), "");
}

int pipeReader = -1;

// A pipe never hangs the program nor ends it: with nobody at the other end
// both commands fail at once, and a reader that quits makes the save fail.
// Each runs in a child under a watchdog, so that a wait fails the test
// rather than hanging it.
TEST_F(SpanFileTest, PipesNeverHangNorEndTheProgram) {
  const std::string pipe = Path("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const SpanColumn column = ColumnOf({"7.25", "12"});
  const std::string report = RunInChild([&] {
    alarm(10);
    std::string result = "save with no reader " + SaveCode(pipe, column) + ", open with no writer " +
                         std::to_string(ErrorCodeOf([&] { ReadSpanFile(pipe); }));
    // what a writer left in the pipe before it went is read
    const int keeper = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = open(pipe.c_str(), O_WRONLY);
    (void)!write(writer, "7\r\n8", 4);
    close(writer);
    for (const std::string& line : ReadSpanFile(pipe)) result += ", read " + line;
    close(keeper);
    // the reader goes away as the first byte is written
    pipeReader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    {
      const InjectedFault readerQuits(Write, 1, [] { close(pipeReader); });
      result += ", reader quit " + SaveCode(pipe, column);
    }
    sigset_t blocked, pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &blocked);
    sigpending(&pending);
    if (sigismember(&blocked, SIGPIPE)) result += ", SIGPIPE left blocked";
    if (sigismember(&pending, SIGPIPE)) result += ", SIGPIPE left pending";
    return result;
  });
  EXPECT_EQ(report, "save with no reader 6, open with no writer 6, read 7, read 8, reader quit 32");
}

// A file too large to hold for putting back is not written over in place.
TEST_F(SpanFileTest, LinkedFileTooLargeToSaveInPlaceIsRefused) {
  const auto size = static_cast<off_t>(korvastel::detail::kMaxInPlaceSaveSize + 1);
  ASSERT_EQ(truncate((WriteBytes(Path("spans.txt"), "100\r\n"), Path("spans.txt")).c_str(), size), 0);
  ASSERT_EQ(link(Path("spans.txt").c_str(), Path("other.txt").c_str()), 0);
  EXPECT_EQ(SaveCode(Path("spans.txt"), ColumnOf({"1"})), "27");
  EXPECT_EQ(std::filesystem::file_size(Path("spans.txt")), static_cast<std::uintmax_t>(size));
  EXPECT_EQ(ReadBytes(Path("spans.txt")).substr(0, 5), "100\r\n");
}

// As root permission bits stop nothing, so the child becomes nobody, member
// of a project group (4243) that a colleague (4242) belongs to. Each row has a
// folder of its own and a file of the owner, group and permissions given,
// both made by root; the child saves and reads each file, and the file must
// then have the new bytes or, where refused, the old ones, and keep its owner,
// group, permissions, ACL and attributes, with nothing left beside it.
TEST_F(SpanFileTest, AnOrdinaryUserSavesWhatTheFileAllowsAndKeepsTheRest) {
  if (geteuid() != 0) GTEST_SKIP() << "files of other users can only be made by root";
  const passwd* nobodyEntry = getpwnam("nobody");
  const uid_t nobody = nobodyEntry ? nobodyEntry->pw_uid : 65534;
  const gid_t nogroup = nobodyEntry ? nobodyEntry->pw_gid : 65534;
  const uid_t colleague = 4242;
  const gid_t project = 4243;
  const std::string acl = AccessControlList(colleague);
  struct Case {
    const char* name;
    uid_t folderOwner;
    gid_t folderGroup;
    mode_t folderMode;
    uid_t owner;
    gid_t group;
    mode_t mode;
    bool withAcl;
    int saveCode;
    int readCode;
  };
  // clang-format off
  const Case cases[] = {
      {"a colleague's file in the group's folder",   0,      project, 02770, colleague, project, 0660, false, -1, -1},
      {"own file of the project group",              0,      project, 0770,  nobody,    project, 0640, false, -1, -1},
      {"own file in a folder closed to the user",    0,      0,       0755,  nobody,    nogroup, 0644, false, -1, -1},
      {"another's writable file in a sticky folder", 0,      0,       01777, 0,         0,       0666, false, -1, -1},
      {"own file with an ACL and an attribute",      nobody, nogroup, 0755,  nobody,    nogroup, 0640, true,  -1, -1},
      {"own read-only file",                         nobody, nogroup, 0755,  nobody,    nogroup, 0444, false,  5, -1},
      {"root's read-only file in a sticky folder",   0,      0,       01777, 0,         0,       0444, false,  5, -1},
      {"root's closed file in a sticky folder",      0,      0,       01777, 0,         0,       0,    false,  5,  5},
  };
  // clang-format on
  ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
  std::vector<std::string> kept;
  std::string expected;
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    const Case& c = cases[row];
    const std::string folder = Path(std::to_string(row));
    const std::string file = folder + "/spans.txt";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    WriteBytes(file, "100\r\n");
    ASSERT_EQ(chown(file.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
    if (c.withAcl) {
      if (setxattr(file.c_str(), kAccessControlListName, acl.data(), acl.size(), 0) != 0 ||
          setxattr(file.c_str(), "user.note", "kept", 4, 0) != 0)
        GTEST_SKIP() << Errno("the test folder has no ACLs or user attributes");
    }
    ASSERT_EQ(chown(folder.c_str(), c.folderOwner, c.folderGroup), 0);
    ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
    kept.push_back(KeptOf(file));
    expected += std::string(c.name) + ": save " + std::to_string(c.saveCode) + ", read " +
                std::to_string(c.readCode) + "; ";
  }
  const std::string report = RunInChild([&]() -> std::string {
    if (setgroups(1, &project) != 0 || setgid(nogroup) != 0 || setuid(nobody) != 0)
      return "skip: " + Errno("cannot become nobody");
    if (access(Path("0").c_str(), X_OK) != 0)
      return "skip: " + Errno("the test folder is out of this user's reach");
    std::string result;
    for (std::size_t row = 0; row < std::size(cases); ++row) {
      const std::string file = Path(std::to_string(row)) + "/spans.txt";
      result += std::string(cases[row].name) + ": save " + SaveCode(file, ColumnOf({"1"})) + ", read " +
                std::to_string(ErrorCodeOf([&] { ReadSpanFile(file); })) + "; ";
    }
    return result;
  });
  if (report.starts_with("skip: ")) GTEST_SKIP() << report.substr(6);
  EXPECT_EQ(report, expected);
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    const std::string folder = Path(std::to_string(row)) + "/";
    EXPECT_EQ(ReadBytes(folder + "spans.txt"), cases[row].saveCode == -1 ? "1\r\n" : "100\r\n")
        << cases[row].name;
    EXPECT_EQ(KeptOf(folder + "spans.txt"), kept[row]) << cases[row].name;
    EXPECT_EQ(OldFileSurvives(folder, cases[row].saveCode == -1 ? "1\r\n" : "100\r\n"), "")
        << cases[row].name;
  }
}

}  // namespace
