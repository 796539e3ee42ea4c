// The span file against real files, folders, links, pipes, devices and real
// faults: a full file system, the file-size limit, the open-files limit, a
// user who may not write, and a failure of each system call a save makes.
// Faults that change the process are made in a child. On Windows the same
// portable cases run against the Windows file layer, with the cases that only
// Windows has: device names, files locked or shared by other programs,
// read-only and hidden files, and a failure of each Windows call of a save.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
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
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/Core.h"
#include "core/FileStore.h"
#include "core/SpanLineSplitter.h"
#if defined(_WIN32)
#include "core/WindowsError.h"
#include "core/WindowsFileCalls.h"
#else
#include "core/FileSystemCalls.h"
#include "core/InOutErrorCode.h"
#endif

namespace {

using korvastel::EInOutError;
using korvastel::ReadSpanFile;
using korvastel::SpanColumn;
using korvastel::WriteSpanFile;
using Lines = std::vector<std::string>;

#if defined(_WIN32)
std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                                           static_cast<int>(wide.size()), utf8.data(),
                                                           static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

// The test's paths are UTF-8, as the core's are; the test's own file calls
// take them as wide paths, with the prefix that lifts the length limit.
std::filesystem::path Native(const std::string& path) {
  std::wstring wide = Wide(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide.size() > 2 && wide[1] == L':' ? L"\\\\?\\" + wide : wide;
}
#else
const std::string& Native(const std::string& path) { return path; }
#endif

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(Native(path), std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(Native(path), std::ios::binary);
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

// The bytes a save of rows that all parse writes: each row and CR LF.
std::string SavedBytes(const Lines& rows) {
  std::string bytes;
  for (const std::string& row : rows) bytes += row + "\r\n";
  return bytes;
}

// Fault injection: one save of `column` to `path` with the call that `Fault`
// names armed to fail. Gives the save's error code (-1: none) and whether the
// armed call was reached at all.
struct FaultRun {
  int code;
  bool hit;
};
template <class Fault, class... FaultArguments>
FaultRun SaveUnderFault(const std::string& path, const SpanColumn& column, FaultArguments... arguments) {
  const Fault fault(arguments...);
  const int code = ErrorCodeOf([&] { WriteSpanFile(path, column); });
  return {code, fault.Struck()};
}

// What the fault-injection runs came to. Each run must end with exactly the
// old bytes when the save failed and exactly the new ones when it succeeded,
// and a save that met no failing call must succeed.
class FaultTally {
 public:
  void Check(const std::string& run, FaultRun result, const std::string& bytes, const std::string& oldBytes,
             const std::string& newBytes) {
    ++runs_;
    if (result.hit) {
      ++struck_;
      ++(result.code == -1 ? savedAnyway_ : reportedWithOld_);
    } else {
      EXPECT_EQ(result.code, -1) << run << ": failed without a fault";
    }
    if (result.code == -1) {
      EXPECT_TRUE(bytes == newBytes) << run << ": success without the new bytes";
    } else {
      EXPECT_TRUE(bytes == oldBytes) << run << ": failed with code " << result.code
                                     << " and the old bytes lost";
    }
  }
  void Print(const char* note) const {
    std::printf(
        "[ FAULTS   ] %d runs: %d with a failed call (%d reported, old bytes kept; %d saved all the same), "
        "%d without that call%s\n",
        runs_, struck_, reportedWithOld_, savedAnyway_, runs_ - struck_, note);
  }

 private:
  int runs_ = 0, struck_ = 0, reportedWithOld_ = 0, savedAnyway_ = 0;
};

#if defined(_WIN32)
// The names in a folder, in UTF-8.
std::set<std::string> NamesIn(const std::string& folder) {
  std::wstring pattern = Native(folder).native();
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  std::set<std::string> names;
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.insert(Utf8(name));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}
#else
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

// The names in a folder. Read with readdir: std::filesystem raises the
// inexact flag when it grows a path, which the test program checks.
std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
  }
  return names;
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
constexpr const char* CallKindNames[CallKinds] = {"open",      "write",    "fsync", "fallocate",
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
    using korvastel::detail::SystemCalls;
    plan = FaultPlan{kind, at, instead, unnamedRefused};
    korvastel::detail::Calls() = {
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
  ~InjectedFault() { korvastel::detail::Calls() = korvastel::detail::SystemCalls(); }
  InjectedFault(const InjectedFault&) = delete;
  InjectedFault& operator=(const InjectedFault&) = delete;

  bool Struck() const { return plan.struck; }
};

constexpr char AccessControlListName[] = "system.posix_acl_access";

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
  for (const char c : Attribute(path, AccessControlListName))
    kept << ' ' << (static_cast<unsigned>(c) & 0xFF);
  return kept.str();
}

#endif

#if defined(_WIN32)
// Fault injection through the Windows layer's table of calls: the at-th call
// of one kind fails with ERROR_IO_DEVICE, once, as a failing disk would fail
// it. ReplaceFileW may also fail the worst way its documentation names: the
// old file already moved to the backup name, the new one not moved in.
enum WindowsCallKind {
  FailCreate,
  FailWrite,
  FailFlush,
  FailSetLength,
  FailSetInformation,
  FailReplace,
  FailReplaceHalfway,
  FailMove,
  WindowsCallKinds
};
constexpr const char* WindowsCallNames[WindowsCallKinds] = {"CreateFileW",
                                                            "WriteFile",
                                                            "FlushFileBuffers",
                                                            "SetEndOfFile",
                                                            "SetFileInformationByHandle",
                                                            "ReplaceFileW",
                                                            "ReplaceFileW with the old file moved aside",
                                                            "MoveFileExW"};

struct WindowsFaultPlan {
  WindowsCallKind kind = WindowsCallKinds;
  int at = 0;
  int seen[WindowsCallKinds] = {};
  bool struck = false;
};
WindowsFaultPlan windowsPlan;

// Whether this call is to fail (with the error set).
bool Strikes(WindowsCallKind kind) {
  if (++windowsPlan.seen[kind] != windowsPlan.at || kind != windowsPlan.kind) return false;
  windowsPlan.struck = true;
  SetLastError(ERROR_IO_DEVICE);
  return true;
}

class InjectedWindowsFault {
 public:
  InjectedWindowsFault(WindowsCallKind kind, int at) {
    using korvastel::detail::SystemWindowsCalls;
    windowsPlan = WindowsFaultPlan{kind, at};
    korvastel::detail::WindowsCalls() = {
        [](const wchar_t* path, unsigned long access, unsigned long share, unsigned long disposition,
           unsigned long flags) -> void* {
          return Strikes(FailCreate)
                     ? INVALID_HANDLE_VALUE
                     : SystemWindowsCalls().createFile(path, access, share, disposition, flags);
        },
        [](void* file, const void* data, unsigned long size, unsigned long* written) -> int {
          return Strikes(FailWrite) ? FALSE : SystemWindowsCalls().writeFile(file, data, size, written);
        },
        [](void* file) -> int {
          return Strikes(FailFlush) ? FALSE : SystemWindowsCalls().flushFileBuffers(file);
        },
        [](void* file) -> int {
          return Strikes(FailSetLength) ? FALSE : SystemWindowsCalls().setEndOfFile(file);
        },
        [](void* file, int infoClass, void* info, unsigned long size) -> int {
          return Strikes(FailSetInformation)
                     ? FALSE
                     : SystemWindowsCalls().setFileInformation(file, infoClass, info, size);
        },
        [](const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup) -> int {
          if (Strikes(FailReplace)) return FALSE;
          if (Strikes(FailReplaceHalfway)) {
            MoveFileExW(replaced, backup, 0);
            SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
            return FALSE;
          }
          return SystemWindowsCalls().replaceFile(replaced, replacement, backup);
        },
        [](const wchar_t* from, const wchar_t* to, unsigned long flags) -> int {
          return Strikes(FailMove) ? FALSE : SystemWindowsCalls().moveFile(from, to, flags);
        },
    };
  }
  ~InjectedWindowsFault() { korvastel::detail::WindowsCalls() = korvastel::detail::SystemWindowsCalls(); }
  InjectedWindowsFault(const InjectedWindowsFault&) = delete;
  InjectedWindowsFault& operator=(const InjectedWindowsFault&) = delete;

  bool Struck() const { return windowsPlan.struck; }
};

bool FileInformation(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE file =
      CreateFileW(Native(path).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return known;
}

// What a save must keep of a file besides its content, in words.
std::string KeptOf(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!FileInformation(path, info)) return "no file";
  constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  return "attributes " + std::to_string(info.dwFileAttributes & Kept) + ", links " +
         std::to_string(info.nNumberOfLinks);
}

// The file's identity on its volume: the same as long as it is written in place.
std::uint64_t FileIndex(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!FileInformation(path, info)) return 0;
  return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

// Removes a file whatever its attributes, for a fresh start.
void Remove(const std::string& path) {
  SetFileAttributesW(Native(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(Native(path).c_str());
}

bool MakeFolder(const std::string& path) { return CreateDirectoryW(Native(path).c_str(), nullptr) != 0; }
void RemoveFolder(const std::string& path) { RemoveDirectoryW(Native(path).c_str()); }
#else
void Remove(const std::string& path) { unlink(path.c_str()); }
bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0700) == 0; }
void RemoveFolder(const std::string& path) { rmdir(path.c_str()); }
#endif

// Every test works in a fresh folder and must leave nothing in it but the
// files it made itself: the temporary files of a save start with '.'.
class SpanFileTest : public testing::Test {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    std::random_device random;
    for (int attempt = 0; folder_.empty() && attempt < 100; ++attempt) {
      const std::string folder = testing::TempDir() + "korvastel-spanfile-" + std::to_string(random());
      if (MakeFolder(folder)) folder_ = folder + "\\";
    }
    ASSERT_FALSE(folder_.empty()) << "no test folder: error " << GetLastError();
#else
    std::string pattern = testing::TempDir() + "korvastel-spanfile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << Errno("mkdtemp");
    folder_ = pattern + "/";
#endif
  }
  void TearDown() override {
    for (const std::string& name : NamesIn(folder_)) EXPECT_NE(name[0], '.') << "left behind: " << name;
    std::filesystem::remove_all(Native(folder_));
  }
  std::string Path(const std::string& name) const { return folder_ + name; }
  std::set<std::string> Entries() const { return NamesIn(folder_); }

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

// Any name the file dialog can return works: one outside ASCII, and a path
// longer than Windows' old limit of 260 characters.
TEST_F(SpanFileTest, SavesAndReadsUnderAnyName) {
  std::string deep = Path("");
  for (int level = 0; level < 25; ++level) {
    deep += "abcdefghij/";
    ASSERT_TRUE(MakeFolder(deep)) << deep;
  }
  for (const std::string& path : {Path("пролёты №1 €.txt"), deep + "spans.txt"}) {
    WriteSpanFile(path, ColumnOf({"70.5", "x", "245.75"}));
    WriteSpanFile(path, ColumnOf({"70.5", "x", "245.75", "12"}));  // replacing it too
    EXPECT_EQ(ReadBytes(path), "70.5\r\n245.75\r\n12\r\n") << path;
    EXPECT_EQ(ReadSpanFile(path), (Lines{"70.5", "245.75", "12"})) << path;
  }
  EXPECT_EQ(Entries(), (std::set<std::string>{"abcdefghij", "пролёты №1 €.txt"}));
  // the standard library removes no folder this deep on Windows
  Remove(deep + "spans.txt");
  for (; deep.size() > folder_.size(); deep.resize(deep.size() - 11)) RemoveFolder(deep);
}

TEST_F(SpanFileTest, FailuresNameWhatWentWrong) {
  WriteBytes(Path("file.txt"), "1\r\n");
  const SpanColumn column = ColumnOf({"1"});
#if defined(_WIN32)
  const int folderCode = ERROR_ACCESS_DENIED;  // what Windows says to a folder opened as a file
#else
  const int folderCode = EISDIR;
#endif
  struct {
    const char* name;
    std::string path;
    int readCode;
    int writeCode;
  } cases[] = {
      {"missing file", Path("missing.txt"), 2, -1},
      {"missing folder", Path("missing/spans.txt"), 3, 3},
      {"a file used as a folder", Path("file.txt/spans.txt"), 3, 3},
      {"a folder", Path(""), folderCode, folderCode},
      {"a folder without the slash", folder_.substr(0, folder_.size() - 1), folderCode, folderCode},
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
#if defined(_WIN32)
  // On Windows a device name is easily typed by accident ("aux", "con"), and
  // a save into one would look like a save and keep nothing: device names and
  // paths are refused for saving too, and so is a ':' that would name a
  // stream of another file ("a:b.txt").
  const SpanColumn column = ColumnOf({"1"});
  const std::string devices[] = {"CON",          "NUL",       "COM1",
                                 "lpt1",         Path("aux"), Path("PRN"),
                                 "\\\\.\\NUL",   "//./nul",   "\\\\?\\GLOBALROOT\\Device\\Null",
                                 Path("a:b.txt")};
  for (const std::string& device : devices) {
    EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(device); }), ERROR_INVALID_NAME) << device;
    EXPECT_EQ(ErrorCodeOf([&] { WriteSpanFile(device, column); }), ERROR_INVALID_NAME) << device;
  }
  // Windows up to 10 reserves these names with any extension, Windows 11 no
  // longer does: either way a save succeeds only into a file that has the bytes
  std::set<std::string> saved;
  for (const char* name : {"nul.txt", "Com1.txt"}) {
    const int code = ErrorCodeOf([&] { WriteSpanFile(Path(name), column); });
    if (code == -1) saved.insert(name);
    EXPECT_TRUE(code == ERROR_INVALID_NAME || (code == -1 && ReadBytes(Path(name)) == "1\r\n"))
        << name << ": code " << code;
  }
  EXPECT_EQ(Entries(), saved);
#else
  // /dev/zero never ends and holds no line end: reading it would fill memory
  for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"})
    EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(device); }), ENODEV) << device;
#endif
}

#if !defined(_WIN32)

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
  const bool hasAcl = setxattr(Path("probe").c_str(), AccessControlListName, acl.data(), acl.size(), 0) == 0;
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
  FaultTally tally;
  int reached[CallKinds] = {};
  for (const auto& setup : setups) {
    const SpanColumn column = ColumnOf(setup.rows);
    const std::string newBytes = SavedBytes(setup.rows);
    std::set<std::string> names{"spans.txt"};
    if (setup.linked) names.insert("other.txt");
    for (int kind = 0; kind < CallKinds; ++kind) {
      for (int at = 1; at <= 3; ++at) {
        const std::string run =
            std::string(setup.name) + ", " + CallKindNames[kind] + " #" + std::to_string(at);
        const std::string path = Path("spans.txt");
        unlink(Path("other.txt").c_str());
        unlink(path.c_str());
        WriteBytes(path, setup.old);
        ASSERT_EQ(chmod(path.c_str(), 0640), 0);
        ASSERT_TRUE(!root || chown(path.c_str(), 4242, 4243) == 0) << Errno("chown");
        ASSERT_TRUE(!hasNote || setxattr(path.c_str(), "user.note", "kept", 4, 0) == 0) << Errno("setxattr");
        ASSERT_TRUE(!hasAcl || !setup.withAcl ||
                    setxattr(path.c_str(), AccessControlListName, acl.data(), acl.size(), 0) == 0)
            << Errno("setxattr");
        ASSERT_TRUE(!setup.linked || link(path.c_str(), Path("other.txt").c_str()) == 0) << Errno("link");
        const std::string kept = KeptOf(path);

        const FaultRun result = SaveUnderFault<InjectedFault>(path, column, static_cast<CallKind>(kind), at,
                                                              nullptr, setup.unnamedRefused);
        const std::string bytes = ReadBytes(path);
        reached[kind] += result.hit;
        tally.Check(run, result, bytes, setup.old, newBytes);
        EXPECT_EQ(KeptOf(path), kept) << run;
        if (setup.linked) {
          EXPECT_TRUE(ReadBytes(Path("other.txt")) == bytes) << run << ": the names disagree";
        }
        EXPECT_EQ(Entries(), names) << run;
      }
    }
  }
  for (int kind = 0; kind < CallKinds; ++kind) {
    const bool expected = (kind != Fchown || root) && (kind != SetAttribute || hasNote || hasAcl);
    EXPECT_TRUE(!expected || reached[kind] > 0)
        << CallKindNames[kind] << " was never called through the table";
  }
  tally.Print(root && hasAcl && hasNote ? "" : " (no owner, ACL or attribute cases here)");
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
  const auto size = static_cast<off_t>(korvastel::detail::MaxInPlaceSaveSize + 1);
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
      if (setxattr(file.c_str(), AccessControlListName, acl.data(), acl.size(), 0) != 0 ||
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

#else

// Other programs and the file's own settings decide a save on Windows. A
// program that keeps others from writing the file holds the save back with
// "I/O error 32", a read-only file is refused with code 5, and both stay as
// they were. A file that another program reads while letting others write
// cannot be replaced and is written in place; a hard-linked file too, so its
// other name sees the new rows; a hidden file stays hidden.
TEST_F(SpanFileTest, OtherProgramsAndTheFilesSettingsDecideTheSave) {
  constexpr DWORD Read = GENERIC_READ, ReadWrite = GENERIC_READ | GENERIC_WRITE;
  constexpr DWORD ShareRead = FILE_SHARE_READ, ShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
  struct Case {
    const char* name;
    DWORD access;  // of another program's handle on the file; 0 for none
    DWORD share;
    DWORD attributes;
    bool linked;
    int readCode;
    int saveCode;
    bool inPlace;  // must stay the same file
  };
  // clang-format off
  const Case cases[] = {
      {"locked by another program",                   ReadWrite, 0,              0,                       false, 32, 32, true},
      {"read by a program that keeps writers off",    Read,      ShareRead,      0,                       false, -1, 32, true},
      {"read by a program that lets others write",    Read,      ShareReadWrite, 0,                       false, -1, -1, true},
      {"read-only",                                   0,         0,              FILE_ATTRIBUTE_READONLY, false, -1,  5, true},
      {"hidden",                                      0,         0,              FILE_ATTRIBUTE_HIDDEN,   false, -1, -1, false},
      {"hard-linked",                                 0,         0,              0,                       true,  -1, -1, true},
  };
  // clang-format on
  const std::string path = Path("spans.txt");
  for (const Case& c : cases) {
    Remove(path);
    Remove(Path("other.txt"));
    WriteBytes(path, "100\r\n");
    ASSERT_TRUE(c.attributes == 0 || SetFileAttributesW(Native(path).c_str(), c.attributes)) << c.name;
    ASSERT_TRUE(!c.linked ||
                CreateHardLinkW(Native(Path("other.txt")).c_str(), Native(path).c_str(), nullptr))
        << c.name;
    const std::string kept = KeptOf(path);
    const std::uint64_t index = FileIndex(path);
    const HANDLE other = c.access == 0 ? INVALID_HANDLE_VALUE
                                       : CreateFileW(Native(path).c_str(), c.access, c.share, nullptr,
                                                     OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(c.access == 0 || other != INVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(ErrorCodeOf([&] { ReadSpanFile(path); }), c.readCode) << c.name;
    EXPECT_EQ(ErrorCodeOf([&] { WriteSpanFile(path, ColumnOf({"1"})); }), c.saveCode) << c.name;
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes, c.saveCode == -1 ? "1\r\n" : "100\r\n") << c.name;
    EXPECT_EQ(KeptOf(path), kept) << c.name;
    if (c.inPlace) {
      EXPECT_EQ(FileIndex(path), index) << c.name << ": the file was replaced";
    }
    if (c.linked) {
      EXPECT_EQ(ReadBytes(Path("other.txt")), bytes) << c.name << ": the names disagree";
    }
    const std::set<std::string> names =
        c.linked ? std::set<std::string>{"other.txt", "spans.txt"} : std::set<std::string>{"spans.txt"};
    EXPECT_EQ(Entries(), names) << c.name;
  }
  Remove(path);
}

// The Windows layer under the POSIX layer's test: every call of a save fails
// in turn, the first, second and third of each kind. After every run the
// file holds its old bytes or, only after a reported success, the new ones;
// it keeps its attributes and links; both names of a linked file agree; and
// nothing is left beside it. A hidden file is replaced, a linked one written
// in place, a new one created; each existing one grows in one set-up and
// shrinks in the other.
TEST_F(SpanFileTest, EveryFailingCallOfASaveKeepsTheOldOrTheNewFile) {
  const Lines growing(200, "1234.5");
  const std::string longOld = std::string(3000, '9') + "\r\n";
  struct {
    const char* name;
    bool exists;
    bool linked;
    std::string old;
    Lines rows;
  } setups[] = {
      {"hidden file, growing", true, false, "100\r\n", growing},
      {"hidden file, shrinking", true, false, longOld, {"7"}},
      {"linked file, growing", true, true, "100\r\n", growing},
      {"linked file, shrinking", true, true, longOld, {"7"}},
      {"new file", false, false, "", growing},
  };
  const std::string path = Path("spans.txt");
  FaultTally tally;
  int reached[WindowsCallKinds] = {};
  for (const auto& setup : setups) {
    const SpanColumn column = ColumnOf(setup.rows);
    const std::string newBytes = SavedBytes(setup.rows);
    std::set<std::string> names{"spans.txt"};
    if (setup.linked) names.insert("other.txt");
    for (int kind = 0; kind < WindowsCallKinds; ++kind) {
      for (int at = 1; at <= 3; ++at) {
        const std::string run =
            std::string(setup.name) + ", " + WindowsCallNames[kind] + " #" + std::to_string(at);
        Remove(path);
        Remove(Path("other.txt"));
        if (setup.exists) {
          WriteBytes(path, setup.old);
          ASSERT_TRUE(SetFileAttributesW(Native(path).c_str(), FILE_ATTRIBUTE_HIDDEN)) << run;
          ASSERT_TRUE(!setup.linked ||
                      CreateHardLinkW(Native(Path("other.txt")).c_str(), Native(path).c_str(), nullptr))
              << run;
        }
        const std::string kept = KeptOf(path);

        const FaultRun result =
            SaveUnderFault<InjectedWindowsFault>(path, column, static_cast<WindowsCallKind>(kind), at);
        const std::string bytes = ReadBytes(path);
        reached[kind] += result.hit;
        tally.Check(run, result, bytes, setup.old, newBytes);
        if (setup.exists) {
          EXPECT_EQ(KeptOf(path), kept) << run;
        }
        if (setup.linked) {
          EXPECT_TRUE(ReadBytes(Path("other.txt")) == bytes) << run << ": the names disagree";
        }
        EXPECT_EQ(Entries(), setup.exists || result.code == -1 ? names : std::set<std::string>{}) << run;
      }
    }
  }
  Remove(path);
  Remove(Path("other.txt"));
  for (int kind = 0; kind < WindowsCallKinds; ++kind)
    EXPECT_GT(reached[kind], 0) << WindowsCallNames[kind] << " was never called through the table";
  tally.Print("");
}

// A file too large to hold for putting back is not written over in place.
TEST_F(SpanFileTest, LinkedFileTooLargeToSaveInPlaceIsRefused) {
  const std::string path = Path("spans.txt");
  WriteBytes(path, "100\r\n");
  const HANDLE file = CreateFileW(Native(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = static_cast<LONGLONG>(korvastel::detail::MaxInPlaceSaveSize + 1);
  ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
  ASSERT_TRUE(CreateHardLinkW(Native(Path("other.txt")).c_str(), Native(path).c_str(), nullptr));
  EXPECT_EQ(ErrorCodeOf([&] { WriteSpanFile(path, ColumnOf({"1"})); }), 223);
  std::ifstream kept(Native(path), std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<LONGLONG>(kept.tellg()), size.QuadPart);
  kept.seekg(0);
  std::string start(5, '\0');
  kept.read(start.data(), 5);
  EXPECT_EQ(start, "100\r\n");
}

#endif

}  // namespace

TEST(InOutErrorTest, TableTextsGoOnlyWithTheConditionsTheyName) {
#if defined(_WIN32)
  // Windows' own codes: its first four are the table's conditions; every
  // other code, also one that shares a number with a later row, reads "I/O
  // error n"
  struct Case {
    unsigned long error;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, 2, "File not found"},
      {ERROR_PATH_NOT_FOUND, 3, "Invalid filename"},
      {ERROR_TOO_MANY_OPEN_FILES, 4, "Too many open files"},
      {ERROR_ACCESS_DENIED, 5, "File access denied"},
      {ERROR_SHARING_VIOLATION, 32, "I/O error 32"},
      {ERROR_TOO_MANY_SEMAPHORES, 100, "I/O error 100"},
      {ERROR_DISK_FULL, 112, "I/O error 112"},
      {ERROR_INVALID_NAME, 123, "I/O error 123"},
  };
  for (const Case& c : cases) {
    try {
      korvastel::ThrowWindowsError(c.error);
    } catch (const korvastel::EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << "error " << c.error;
      EXPECT_STREQ(e.what(), c.message) << "error " << c.error;
    }
  }
#else
  struct Case {
    int error;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {ENOENT, 2, "File not found"},
      {EMFILE, 4, "Too many open files"},
      {ENFILE, 4, "Too many open files"},
      {EACCES, 5, "File access denied"},
      {EPERM, 5, "File access denied"},
      {EROFS, 5, "File access denied"},
      {EIO, 5, "I/O error 5"},
      {ENOSPC, 28, "I/O error 28"},
      {ENETUNREACH, 101, "I/O error 101"},
      {EISDIR, 21, "I/O error 21"},
      {ENOTDIR, 3, "Invalid filename"},
  };
  for (const Case& c : cases) {
    try {
      korvastel::ThrowInOutError(c.error, "/tmp/file.txt");
    } catch (const korvastel::EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << "errno " << c.error;
      EXPECT_STREQ(e.what(), c.message) << "errno " << c.error;
    }
  }
#endif
}
