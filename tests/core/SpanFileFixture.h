#pragma once

// What the span file's tests share: a fresh folder per test, and the files'
// bytes and names as the test's own calls see them.

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Core.h"
#include "tests/core/TestSupport.h"

namespace korvastel::test {

// for the tests, which take this namespace whole
using korvastel::EInOutError;
using korvastel::ReadSpanFile;
using korvastel::SpanColumn;
using korvastel::WriteSpanFile;
using Lines = std::vector<std::string>;

#if defined(_WIN32)
inline std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

inline std::string Utf8(const std::wstring& wide) {
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                                           static_cast<int>(wide.size()), utf8.data(),
                                                           static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

// The test's paths are UTF-8, as the core's are; the test's own file calls
// take them as wide paths, with the prefix that lifts the length limit.
inline std::filesystem::path Native(const std::string& path) {
  std::wstring wide = Wide(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide.size() > 2 && wide[1] == L':' ? L"\\\\?\\" + wide : wide;
}
#else
inline const std::string& Native(const std::string& path) { return path; }
#endif

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(Native(path), std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream file(Native(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The code of the EInOutError that `operation` throws, or -1 when it throws none.
inline int ErrorCodeOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const korvastel::EInOutError& error) {
    return error.ErrorCode();
  }
  return -1;
}

// The bytes a save of rows that all parse writes: each row and CR LF.
inline std::string SavedBytes(const Lines& rows) {
  std::string bytes;
  for (const std::string& row : rows) bytes += row + "\r\n";
  return bytes;
}

#if defined(_WIN32)
// The names in a folder, in UTF-8.
inline std::set<std::string> NamesIn(const std::string& folder) {
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
inline std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// The names in a folder. Read with readdir: std::filesystem raises the
// inexact flag when it grows a path, which the test program checks.
inline std::set<std::string> NamesIn(const std::string& folder) {
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
#endif

#if defined(_WIN32)
// Removes a file whatever its attributes, for a fresh start.
inline void Remove(const std::string& path) {
  SetFileAttributesW(Native(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(Native(path).c_str());
}

inline bool MakeFolder(const std::string& path) {
  return CreateDirectoryW(Native(path).c_str(), nullptr) != 0;
}
inline void RemoveFolder(const std::string& path) { RemoveDirectoryW(Native(path).c_str()); }
#else
inline void Remove(const std::string& path) { unlink(path.c_str()); }
inline bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0700) == 0; }
inline void RemoveFolder(const std::string& path) { rmdir(path.c_str()); }
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

inline const std::vector<ReadCase>& ReadCases() {
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

}  // namespace korvastel::test
