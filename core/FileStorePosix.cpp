// The file layer on POSIX systems; FileStoreWin32.cpp is its Windows twin.
#if !defined(_WIN32)

#include "core/FileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/Errors.h"
#include "core/FileDescriptor.h"
#include "core/FilePath.h"
#include "core/InOutErrorCode.h"
#include "core/ReplacementFile.h"

namespace korvastel {

namespace {

// Large blocks keep the system calls few; a fixed largest size keeps memory
// flat whatever the length of the file.
constexpr std::size_t MaxReadBlockSize = std::size_t{1} << 20;
constexpr std::size_t MinReadBlockSize = std::size_t{4} << 10;
constexpr int MaxLinkHops = 40;  // as the kernel allows

FileDescriptor OpenForReading(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!file.IsOpen()) ThrowInOutError(errno, path);
  // A device is no span file, and some (/dev/zero) would never end.
  struct stat info {};
  if (::fstat(file.Get(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)))
    ThrowInOutError(ENODEV, path);
  ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return file;
}

// A small file needs no block larger than itself (but a few pages, as files
// in /proc report no size); pipes and devices get the largest.
std::size_t ReadBlockSize(const FileDescriptor& file) {
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return MaxReadBlockSize;
  const auto size = static_cast<std::uintmax_t>(std::max<off_t>(info.st_size, 0));
  return static_cast<std::size_t>(std::clamp<std::uintmax_t>(size, MinReadBlockSize, MaxReadBlockSize));
}

void CloseOrThrow(FileDescriptor& file, const std::string& path) {
  if (const int error = file.Close(); error != 0) ThrowInOutError(error, path);
}

// What a save path names once symbolic links are followed to the end.
struct SaveTarget {
  std::string path;
  bool exists = false;
  struct stat info {};
};

std::string LinkContent(const std::string& link, const struct stat& info) {
  // /proc and some file systems report a size of 0 for their links
  std::string content(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 256, '\0');
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), content.data(), content.size());
    if (length < 0) ThrowInOutError(errno, link);
    if (static_cast<std::size_t>(length) < content.size()) {
      content.resize(static_cast<std::size_t>(length));
      return content;
    }
    content.resize(content.size() * 2);
  }
}

// Saving through a link replaces the file it points to and leaves the link a
// link; only the last component matters, as the temporary file is created
// in the folder the final name lives in.
SaveTarget ResolveSaveTarget(std::string path) {
  for (int hop = 0; hop <= MaxLinkHops; ++hop) {
    SaveTarget target{path};
    if (::lstat(path.c_str(), &target.info) != 0) {
      // a missing file is created; a missing folder is reported when the
      // temporary file cannot be created in it
      if (errno != ENOENT) ThrowInOutError(errno, path);
      return target;
    }
    target.exists = true;
    if (!S_ISLNK(target.info.st_mode)) return target;
    const std::string link = LinkContent(path, target.info);
    path = link.starts_with('/') ? link : FolderPrefix(path) + link;
  }
  ThrowInOutError(ELOOP, path);
}

// A rename would sidestep the file's own permissions: the folder's decide
// whether it may be replaced, so the file's are asked first.
void RequireWriteAccess(const std::string& path) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) ThrowInOutError(errno, path);
}

// Devices and pipes cannot be replaced, and must never be: their content is
// written straight to them.
void WriteDirectly(const std::string& path, std::string_view content) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (!file.IsOpen()) ThrowInOutError(errno, path);
  if (const int error = file.WriteAll(content); error != 0) ThrowInOutError(error, path);
  CloseOrThrow(file, path);
}

void ReplaceRegularFile(const SaveTarget& target, std::string_view content) {
  if (target.exists) RequireWriteAccess(target.path);
  ReplacementFile replacement(target.path);
  if (target.exists) replacement.TakeOverAttributes(target.info);
  replacement.Write(content);
  replacement.Commit();
}

}  // namespace

namespace detail {

void ReadFileInto(const std::string& path, SpanLineSplitter& splitter) {
  FileDescriptor file = OpenForReading(path);
  const std::size_t blockSize = ReadBlockSize(file);
  const auto buffer = std::make_unique_for_overwrite<char[]>(blockSize);
  for (;;) {
    const ssize_t got = file.ReadSome(buffer.get(), blockSize);
    if (got < 0) ThrowInOutError(errno, path);  // also EISDIR for a folder
    if (got == 0 || !splitter.Feed(std::string_view(buffer.get(), static_cast<std::size_t>(got)))) break;
  }
  CloseOrThrow(file, path);
}

void SaveFileContent(const std::string& path, std::string_view content) {
  if (path.empty()) ThrowInOutError(ENOENT, path);
  const SaveTarget target = ResolveSaveTarget(path);
  if (target.exists && S_ISDIR(target.info.st_mode)) ThrowInOutError(EISDIR, target.path);
  if (target.exists && !S_ISREG(target.info.st_mode))
    WriteDirectly(target.path, content);
  else
    ReplaceRegularFile(target, content);
}

}  // namespace detail

}  // namespace korvastel

#endif  // !defined(_WIN32)
