// The span file against real files, folders, links, devices and real faults:
// a full file system, the file-size limit, the open-files limit and a user
// who may not write. Faults that change the process are made in a child.
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
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/Core.h"
#include "core/InOutErrorCode.h"
#include "core/SpanLineSplitter.h"

namespace {

using korvastel::EInOutError;
using korvastel::ReadSpanFile;
using korvastel::SpanColumn;
using korvastel::WriteSpanFile;
using Lines = std::vector<std::string>;

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

SpanColumn ColumnOf(const Lines& texts) {
  SpanColumn column;
  for (std::size_t row = 0; row < texts.size(); ++row) column.SetText(static_cast<int>(row), texts[row]);
  return column;
}

// The code of the EInOutError that `operation` throws, or -1 when it throws none.
int ErrorCodeOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const EInOutError& error) {
    return error.ErrorCode();
  }
  return -1;
}

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

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Every test works in a fresh folder and must leave nothing in it but the
// files it made itself: the temporary files of a save start with '.'.
class SpanFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "korvastel-spanfile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << Errno("mkdtemp");
    folder_ = pattern + "/";
  }
  void TearDown() override {
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
      EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    std::filesystem::remove_all(folder_);
  }
  std::string Path(const std::string& name) const { return folder_ + name; }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
      names.insert(entry.path().filename());
    return names;
  }

  std::string folder_;
};

struct ReadCase {
  const char* name;
  std::string bytes;
  Lines lines;
};

const std::vector<ReadCase>& ReadCases() {
  using namespace std::string_literals;
  // one case a line
  // clang-format off
  static const std::vector<ReadCase> cases = {
      {"empty file", "", {}},
      {"Ctrl-Z first", "\x1A" "100\r\n", {}},
      {"no final line end", "100\r\n200", {"100", "200"}},
      {"LF only, empty line", "100\n\n200\n", {"100", "", "200"}},
      {"lone CR dropped", "10\r0\r\n", {"100"}},
      {"Ctrl-Z inside a line", "100\r\n200\x1A" "300\r\n400\r\n", {"100", "200"}},
      {"Ctrl-Z after a line end", "100\r\n\x1A", {"100"}},
      {"final CR LF adds no line", "100\r\n", {"100"}},
      {"final lone CR", "100\r", {"100"}},
      {"CR after the last line end", "100\r\n\r", {"100", ""}},
      {"CR CR LF", "5\r\r\n", {"5"}},
      {"empty lines", "\r\n\n", {"", ""}},
      {"UTF-8 mark kept", "\xEF\xBB\xBF" "12\r\n", {"\xEF\xBB\xBF" "12"}},
      {"NUL inside a line", "1\0 2\r\n3"s, {"1\0 2"s, "3"}},
      {"bytes unchanged", "\x80\xFF\t 7,5 \x1B\r\n", {"\x80\xFF\t 7,5 \x1B"}},
  };
  // clang-format on
  return cases;
}

TEST_F(SpanFileTest, ReadsLinesByTheFileRules) {
  for (const ReadCase& c : ReadCases()) {
    WriteBytes(Path("spans.txt"), c.bytes);
    EXPECT_EQ(ReadSpanFile(Path("spans.txt")), c.lines) << c.name;
  }
}

TEST(SpanLineSplitterTest, BlockBoundariesChangeNothing) {
  for (const ReadCase& c : ReadCases()) {
    for (std::size_t split = 0; split <= c.bytes.size(); ++split) {
      korvastel::SpanLineSplitter splitter(SpanColumn::RowCount);
      const std::string_view bytes(c.bytes);
      if (splitter.Feed(bytes.substr(0, split))) splitter.Feed(bytes.substr(split));
      EXPECT_EQ(splitter.TakeLines(), c.lines) << c.name << ", split at " << split;
    }
  }
}

TEST_F(SpanFileTest, KeepsTheFirst4000Of5000Lines) {
  std::string bytes;
  for (int line = 1; line <= 5000; ++line) bytes += std::to_string(line) + "\r\n";
  WriteBytes(Path("spans.txt"), bytes);
  const Lines lines = ReadSpanFile(Path("spans.txt"));
  ASSERT_EQ(lines.size(), 4000u);
  EXPECT_EQ(lines.front(), "1");
  EXPECT_EQ(lines.back(), "4000");
}

TEST_F(SpanFileTest, ReadsA10MBLineWhole) {
  std::string line(10 << 20, '7');
  line[12345] = '\r';  // dropped, also far inside a long line
  WriteBytes(Path("spans.txt"), line + "\r\n" + "8");
  const Lines lines = ReadSpanFile(Path("spans.txt"));
  line.erase(12345, 1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), line.size());
  EXPECT_TRUE(lines[0] == line);
  EXPECT_EQ(lines[1], "8");
}

TEST_F(SpanFileTest, WritesAcceptedTextsAsTypedWithCRLF) {
  struct {
    const char* name;
    Lines texts;
    std::string bytes;
  } cases[] = {
      {"invalid and empty rows leave no line", {"abc", "", "7.25", "12"}, "7.25\r\n12\r\n"},
      {"texts as typed", {" 81 ", "1e3", "1,5", "-2.50"}, " 81 \r\n1e3\r\n-2.50\r\n"},
      {"no valid row", {"abc", "", " "}, ""},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("spans.txt"), "old content, longer than any new one\r\n");
    WriteSpanFile(Path("spans.txt"), ColumnOf(c.texts));
    EXPECT_EQ(ReadBytes(Path("spans.txt")), c.bytes) << c.name;
  }
  SpanColumn lastRowOnly;
  lastRowOnly.SetText(SpanColumn::RowCount - 1, "5");
  WriteSpanFile(Path("new.txt"), lastRowOnly);
  EXPECT_EQ(ReadBytes(Path("new.txt")), "5\r\n");
}

TEST_F(SpanFileTest, RoundTripKeepsTheValidTextsInOrder) {
  const Lines texts = {"70.5", "", "x", " 312", "1.25e2 ", "245.75"};
  WriteSpanFile(Path("spans.txt"), ColumnOf(texts));
  EXPECT_EQ(ReadSpanFile(Path("spans.txt")), (Lines{"70.5", " 312", "1.25e2 ", "245.75"}));
}

TEST_F(SpanFileTest, FailuresNameWhatWentWrong) {
  WriteBytes(Path("file.txt"), "1\r\n");
  const SpanColumn column = ColumnOf({"1"});
  struct {
    const char* name;
    std::string path;
    int readCode;
    int writeCode;
  } cases[] = {
      {"missing file", Path("missing.txt"), 2, -1},
      {"missing folder", Path("missing/spans.txt"), 3, 3},
      {"a file used as a folder", Path("file.txt/spans.txt"), 3, 3},
      {"a folder", Path(""), 21, 21},
      {"a folder without the slash", folder_.substr(0, folder_.size() - 1), 21, 21},
      {"an empty name", "", 3, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(c.path); }), c.readCode) << c.name;
    EXPECT_EQ(ErrorCodeOf([&] { WriteSpanFile(c.path, column); }), c.writeCode) << c.name;
  }
  EXPECT_EQ(Entries(), (std::set<std::string>{"file.txt", "missing.txt"}));
  EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(Path("missing/spans.txt")); }), 3);
  try {
    ReadSpanFile(Path("missing.txt.nothere"));
    ADD_FAILURE() << "read a missing file";
  } catch (const EInOutError& error) {
    EXPECT_STREQ(error.what(), "File not found");
  }
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
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name != "spans.txt" && !others.contains(name)) report += " left behind: " + name + ";";
  }
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

// As root permission bits stop nothing, so the child becomes nobody. The
// folder is open to everyone: only the file's own bits may stop the save of
// spans.txt. Its sticky bit keeps nobody from replacing root's shared.txt,
// which nobody may write in place: the rename itself must fail cleanly.
TEST_F(SpanFileTest, FileTheUserMayNotWriteIsRefused) {
  for (const char* name : {"spans.txt", "shared.txt"}) WriteBytes(Path(name), "100\r\n");
  WriteBytes(Path("secret.txt"), "1\r\n");
  ASSERT_EQ(chmod(Path("spans.txt").c_str(), 0444), 0);
  ASSERT_EQ(chmod(Path("shared.txt").c_str(), 0666), 0);
  ASSERT_EQ(chmod(Path("secret.txt").c_str(), 0), 0);
  ASSERT_EQ(chmod(folder_.c_str(), 01777), 0);
  const std::string report = RunInChild([&]() -> std::string {
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      const uid_t uid = nobody ? nobody->pw_uid : 65534;
      const gid_t gid = nobody ? nobody->pw_gid : 65534;
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
        return "skip: " + Errno("cannot become nobody");
    }
    const std::string probe = Path("probe");
    const int created = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (created < 0 || access(Path("spans.txt").c_str(), R_OK) != 0)
      return "skip: " + Errno("the test folder is out of this user's reach");
    close(created);
    unlink(probe.c_str());
    struct stat shared {};
    if (stat(Path("shared.txt").c_str(), &shared) != 0 || shared.st_uid == geteuid())
      return "skip: shared.txt belongs to this user, the sticky folder protects nothing";
    const SpanColumn column = ColumnOf({"1"});
    return "write " + std::to_string(ErrorCodeOf([&] { WriteSpanFile(Path("spans.txt"), column); })) +
           ", replace " + std::to_string(ErrorCodeOf([&] { WriteSpanFile(Path("shared.txt"), column); })) +
           ", read " + std::to_string(ErrorCodeOf([&] { ReadSpanFile(Path("secret.txt")); }));
  });
  if (report.starts_with("skip: ")) GTEST_SKIP() << report.substr(6);
  EXPECT_EQ(report, "write 5, replace 5, read 5");
  EXPECT_EQ(OldFileSurvives(folder_, "100\r\n", {"secret.txt", "shared.txt"}), "");
  EXPECT_EQ(ReadBytes(Path("shared.txt")), "100\r\n");
}

}  // namespace

TEST(InOutErrorTest, TableTextsGoOnlyWithTheConditionsTheyName) {
  struct Case {
    int error;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {ENOENT, 2, "File not found"},  {EMFILE, 4, "Too many open files"}, {ENFILE, 4, "Too many open files"},
      {EACCES, 5, "File access denied"}, {EPERM, 5, "File access denied"}, {EROFS, 5, "File access denied"},
      {EIO, 5, "I/O error 5"},          {ENOSPC, 28, "I/O error 28"},      {ENETUNREACH, 101, "I/O error 101"},
      {EISDIR, 21, "I/O error 21"},     {ENOTDIR, 3, "Invalid filename"},
  };
  for (const Case& c : cases) {
    try {
      korvastel::ThrowInOutError(c.error, "/tmp/file.txt");
    } catch (const korvastel::EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << "errno " << c.error;
      EXPECT_STREQ(e.what(), c.message) << "errno " << c.error;
    }
  }
}
