// The file layer on Windows. Paths are UTF-8 and go to the wide API as
// UTF-16 (Path.h); failures carry the Windows error code (InOutError.h).

#include "core/file/FileStore.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/file/windows/File.h"
#include "core/file/windows/InOutError.h"
#include "core/file/windows/Path.h"
#include "core/file/windows/ReplacementFile.h"

namespace korvastel::windows {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A console, a pipe or a printer port is no span file, and some would never
// end: what is not a file on a disk is refused as an invalid name.
void RequireDiskFile(const File& file) {
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) ThrowInOutError(ERROR_INVALID_NAME);
}

std::uint64_t FileSize(const File& file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) ThrowLastError();
  return static_cast<std::uint64_t>(std::max<LONGLONG>(size.QuadPart, 0));
}

// Other programs may read the file while it is open, but not write it.
File OpenForReading(const std::wstring& path) {
  File file(ExtendedLengthPath(path), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
            FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file.IsOpen()) ThrowInOutError(file.Error());  // also a folder: access denied
  RequireDiskFile(file);
  return file;
}

std::size_t ReadBlockSize(const File& file) { return detail::ReadBlockSize(FileSize(file)); }

std::wstring FinalPath(const File& file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetFinalPathNameByHandleW(file.Get(), path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (got == 0) ThrowLastError();
    if (got < path.size()) {
      path.resize(got);
      return path;
    }
    path.resize(got);
  }
}

// What a save path names.
struct SaveTarget {
  std::wstring path;
  bool exists = false;
  DWORD links = 0;
  DWORD attributes = 0;
};

SaveTarget ResolveSaveTarget(std::wstring path) {
  File file(ExtendedLengthPath(path), FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS);
  if (!file.IsOpen()) {
    // a missing file is created; a missing folder is reported
    if (file.Error() == ERROR_FILE_NOT_FOUND) return SaveTarget{std::move(path)};
    ThrowInOutError(file.Error());
  }
  RequireDiskFile(file);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) ThrowLastError();
  // what opening a folder as a file gives
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ThrowInOutError(ERROR_ACCESS_DENIED);
  // Windows refuses to write a read-only file, and so does the save (asked
  // here as well: a program run with full rights might be let through)
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ThrowInOutError(ERROR_ACCESS_DENIED);
  SaveTarget target{std::move(path), true, info.nNumberOfLinks, info.dwFileAttributes};
  // saving through a symbolic link replaces the file it points to and leaves
  // the link a link
  const DWORD nameAttributes = GetFileAttributesW(ExtendedLengthPath(target.path).c_str());
  if (nameAttributes != INVALID_FILE_ATTRIBUTES && (nameAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    target.path = FinalPath(file);
  return target;
}

// Replacing the file would sidestep its own permissions, as the folder's
// decide whether it may be replaced: the file's are asked first. A file that
// another program keeps others from writing is refused here too (I/O error 32),
// before anything changed.
void RequireWriteAccess(const std::wstring& path) {
  File file(ExtendedLengthPath(path), GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0);
  if (!file.IsOpen()) ThrowInOutError(file.Error());
}

void SaveNewFile(const std::wstring& path, std::string_view content) {
  ReplacementFile replacement(path);
  if (const unsigned long error = replacement.Create(); error != 0) ThrowInOutError(error);
  replacement.Write(content);
  replacement.CommitAsNewFile();
}

// True once the file is replaced; false where it cannot be replaced and is as
// it was: its folder takes no new file from this user, or the new file cannot
// be given the old one's attributes, ACL or streams.
bool TryReplacing(const SaveTarget& target, std::string_view content) {
  ReplacementFile replacement(target.path);
  if (const unsigned long error = replacement.Create(); error != 0) {
    if (error == ERROR_ACCESS_DENIED) return false;
    ThrowInOutError(error);
  }
  if (!replacement.TakeOver(target.attributes)) return false;
  replacement.Write(content);
  return replacement.CommitOverExisting();
}

std::string ReadOldContent(File& file) {
  const std::uint64_t size = FileSize(file);
  if (detail::TooLargeToSaveInPlace(size)) ThrowInOutError(ERROR_FILE_TOO_LARGE);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::size_t have = 0;
  for (;;) {
    // one byte more than the size said, to see the end
    if (have == bytes.size()) bytes.resize(have + 1);
    std::size_t got = 0;
    if (const unsigned long error = file.ReadSome(bytes.data() + have, bytes.size() - have, got); error != 0)
      ThrowInOutError(error);
    if (got == 0) break;
    have += got;
    if (detail::TooLargeToSaveInPlace(have)) ThrowInOutError(ERROR_FILE_TOO_LARGE);
  }
  bytes.resize(have);
  return bytes;
}

// Makes `bytes` the file's whole content: 0, or the first error.
unsigned long WriteWhole(File& file, std::string_view bytes) {
  unsigned long error = file.SeekTo(0);
  if (error == 0) error = file.WriteAll(bytes);
  if (error == 0) error = file.SetLength(bytes.size());
  if (error == 0) error = file.Flush();
  return error;
}

// The file is written over, so it keeps what makes it this file: its
// identity and every name linked to it, its owner, ACL, attributes and
// streams. Its old bytes are read first and, should any step fail after the
// file changed, written back before the error is reported.
void SaveInPlace(const std::wstring& path, std::string_view content) {
  File file(ExtendedLengthPath(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
  if (!file.IsOpen()) ThrowInOutError(file.Error());
  RequireDiskFile(file);
  const std::string old = ReadOldContent(file);
  // the space first: a full disk shows before a byte of the content changed
  unsigned long error = content.size() > old.size() ? file.SetLength(content.size()) : 0;
  if (error == 0) error = WriteWhole(file, content);
  if (error != 0) {
    WriteWhole(file, old);
    ThrowInOutError(error);
  }
}

}  // namespace

}  // namespace korvastel::windows

namespace korvastel::detail {

using windows::File;
using windows::FullPath;
using windows::SaveTarget;
using windows::ThrowInOutError;

void ReadFileInto(const std::string& path, SpanLineSplitter& splitter) {
  File file = windows::OpenForReading(FullPath(path));
  const std::size_t blockSize = windows::ReadBlockSize(file);
  const auto buffer = std::make_unique_for_overwrite<char[]>(blockSize);
  for (;;) {
    std::size_t got = 0;
    if (const unsigned long error = file.ReadSome(buffer.get(), blockSize, got); error != 0)
      ThrowInOutError(error);
    if (got == 0 || !splitter.Feed(std::string_view(buffer.get(), got))) break;
  }
}

void SaveFileContent(const std::string& path, std::string_view content) {
  const SaveTarget target = windows::ResolveSaveTarget(FullPath(path));
  if (!target.exists) return windows::SaveNewFile(target.path, content);
  windows::RequireWriteAccess(target.path);
  // one name for one file, in a folder that takes the new one: replace it
  if (target.links == 1 && windows::TryReplacing(target, content)) return;
  windows::SaveInPlace(target.path, content);
}

}  // namespace korvastel::detail
