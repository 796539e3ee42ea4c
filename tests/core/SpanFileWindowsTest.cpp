// The span file on Windows: device names, files locked or shared by other
// programs, read-only and hidden files, and a failure of each Windows call of
// a save.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/Core.h"
#include "core/file/FileStore.h"
#include "core/file/windows/FileCalls.h"
#include "tests/core/SaveFaultInjection.h"
#include "tests/core/SpanFileFixture.h"

namespace {

using namespace korvastel::test;

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
constexpr const char* kWindowsCallNames[WindowsCallKinds] = {"CreateFileW",
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
    using korvastel::windows::SystemCalls;
    windowsPlan = WindowsFaultPlan{kind, at};
    korvastel::windows::Calls() = {
        [](const wchar_t* path, unsigned long access, unsigned long share, unsigned long disposition,
           unsigned long flags) -> void* {
          return Strikes(FailCreate) ? INVALID_HANDLE_VALUE
                                     : SystemCalls().createFile(path, access, share, disposition, flags);
        },
        [](void* file, const void* data, unsigned long size, unsigned long* written) -> int {
          return Strikes(FailWrite) ? FALSE : SystemCalls().writeFile(file, data, size, written);
        },
        [](void* file) -> int { return Strikes(FailFlush) ? FALSE : SystemCalls().flushFileBuffers(file); },
        [](void* file) -> int { return Strikes(FailSetLength) ? FALSE : SystemCalls().setEndOfFile(file); },
        [](void* file, int infoClass, void* info, unsigned long size) -> int {
          return Strikes(FailSetInformation) ? FALSE
                                             : SystemCalls().setFileInformation(file, infoClass, info, size);
        },
        [](const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup) -> int {
          if (Strikes(FailReplace)) return FALSE;
          if (Strikes(FailReplaceHalfway)) {
            MoveFileExW(replaced, backup, 0);
            SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
            return FALSE;
          }
          return SystemCalls().replaceFile(replaced, replacement, backup);
        },
        [](const wchar_t* from, const wchar_t* to, unsigned long flags) -> int {
          return Strikes(FailMove) ? FALSE : SystemCalls().moveFile(from, to, flags);
        },
    };
  }
  ~InjectedWindowsFault() { korvastel::windows::Calls() = korvastel::windows::SystemCalls(); }
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
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  return "attributes " + std::to_string(info.dwFileAttributes & kKept) + ", links " +
         std::to_string(info.nNumberOfLinks);
}

// The file's identity on its volume: the same as long as it is written in place.
std::uint64_t FileIndex(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!FileInformation(path, info)) return 0;
  return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

TEST_F(SpanFileTest, DevicesAreNotReadAsSpanFiles) {
  // On Windows a device name is easily typed by accident ("aux", "con"), and
  // a save into one would look like a save and keep nothing: device names and
  // paths are refused for saving too, and so is a ':' that would name a
  // stream of another file ("a:b.txt").
  const SpanColumn column = ColumnOf({"1"});
  const std::string devices[] = {"CON",          "NUL",       "COM1",
                                 "lpt1",         Path("aux"), Path("PRN"),
                                 "\\\\.\\NUL",   "//./nul",   "\\\\?\\GlobalRoot\\Device\\Null",
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
}

// Other programs and the file's own settings decide a save on Windows. A
// program that keeps others from writing the file holds the save back with
// "I/O error 32", a read-only file is refused with code 5, and both stay as
// they were. A file that another program reads while letting others write
// cannot be replaced and is written in place; a hard-linked file too, so its
// other name sees the new rows; a hidden file stays hidden.
TEST_F(SpanFileTest, OtherProgramsAndTheFilesSettingsDecideTheSave) {
  constexpr DWORD kRead = GENERIC_READ, kReadWrite = GENERIC_READ | GENERIC_WRITE;
  constexpr DWORD kShareRead = FILE_SHARE_READ, kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
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
      {"locked by another program",                   kReadWrite, 0,              0,                       false, 32, 32, true},
      {"read by a program that keeps writers off",    kRead,      kShareRead,      0,                       false, -1, 32, true},
      {"read by a program that lets others write",    kRead,      kShareReadWrite, 0,                       false, -1, -1, true},
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
  const auto prepare = [&](const auto& setup, const std::string& run) {
    if (!setup.exists) return;
    const std::string path = Path("spans.txt");
    WriteBytes(path, setup.old);
    ASSERT_TRUE(SetFileAttributesW(Native(path).c_str(), FILE_ATTRIBUTE_HIDDEN)) << run;
    ASSERT_TRUE(!setup.linked ||
                CreateHardLinkW(Native(Path("other.txt")).c_str(), Native(path).c_str(), nullptr))
        << run;
  };
  const auto inject = [](const auto&, int kind, int at) {
    return InjectedWindowsFault(static_cast<WindowsCallKind>(kind), at);
  };
  const auto everyKind = [](int) { return true; };
  FailEveryCallOfASave(folder_, setups, kWindowsCallNames, prepare, inject, KeptOf, everyKind).Print("");
  Remove(Path("spans.txt"));
  Remove(Path("other.txt"));
}

// A file too large to hold for putting back is not written over in place.
TEST_F(SpanFileTest, LinkedFileTooLargeToSaveInPlaceIsRefused) {
  const std::string path = Path("spans.txt");
  WriteBytes(path, "100\r\n");
  const HANDLE file = CreateFileW(Native(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = static_cast<LONGLONG>(korvastel::detail::kMaxInPlaceSaveSize + 1);
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

}  // namespace
