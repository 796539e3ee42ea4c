// The file layer on POSIX systems.

#include "core/file/FileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/Errors.h"
#include "core/file/posix/File.h"
#include "core/file/posix/FileCalls.h"
#include "core/file/posix/InOutError.h"
#include "core/file/posix/Path.h"
#include "core/file/posix/ReplacementFile.h"
#include "core/file/posix/WriteSignalGuard.h"

namespace korvastel::posix {

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel allows

// Sets the descriptor back to waiting reads and writes.
void MakeBlocking(const File& file, const std::string& path) {
  const int flags = ::fcntl(file.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) ThrowInOutError(errno, path);
}

// Opened without waiting, as a pipe would otherwise wait for a program to
// write into it; everything but a pipe is read waiting, as usual.
File OpenForReading(const std::string& path, bool& isPipe) {
  File file(Calls().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0));
  if (!file.IsOpen()) ThrowInOutError(errno, path);
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) ThrowInOutError(errno, path);
  // A device is no span file, and some (/dev/zero) would never end.
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) ThrowInOutError(ENODEV, path);
  isPipe = S_ISFIFO(info.st_mode);
  if (!isPipe) MakeBlocking(file, path);
  ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return file;
}

// The first read of a pipe, still without waiting, tells whether a program
// writes into it. With none, and nothing left in the pipe, the read fails at
// once with ENXIO, as writing to a pipe that nobody reads does: the user
// learns that the other program is not running, where an empty result would
// look like a file without spans. From then on reads wait for the data.
ssize_t FirstReadOfPipe(File& file, char* buffer, std::size_t size, const std::string& path) {
  const ssize_t got = file.ReadSome(buffer, size);
  if (got == 0) ThrowInOutError(ENXIO, path);
  if (got < 0 && errno != EAGAIN) ThrowInOutError(errno, path);
  MakeBlocking(file, path);
  return got > 0 ? got : file.ReadSome(buffer, size);
}

// Pipes and devices get the largest block.
std::size_t ReadBlockSize(const File& file) {
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return detail::kMaxReadBlockSize;
  return detail::ReadBlockSize(static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0)));
}

void CloseOrThrow(File& file, const std::string& path) {
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
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
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

// A rename would sidestep the file's own permissions (the folder's decide
// whether it may be replaced), so the file's are asked first, whichever way
// it is then saved.
void RequireWriteAccess(const std::string& path) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) ThrowInOutError(errno, path);
}

// Devices and pipes cannot be replaced, and must never be: their content is
// written straight to them. A pipe is opened without waiting, so that one
// that no program reads fails at once (ENXIO) instead of waiting for a
// reader; the data then goes out at the reader's pace.
void WriteDirectly(const std::string& path, std::string_view content) {
  File file(Calls().open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0));
  if (!file.IsOpen()) ThrowInOutError(errno, path);
  MakeBlocking(file, path);
  if (const int error = file.WriteAll(content); error != 0) ThrowInOutError(error, path);
  CloseOrThrow(file, path);
}

// Whether a new file may take the place of the existing `target` as far as
// can be told before making one: it must be the file's only name, and this
// user must be able to create the new file in its folder and rename it over
// the old one.
bool MayReplace(const SaveTarget& target) {
  if (target.info.st_nlink != 1) return false;  // the other names would keep the old content
  const std::string folder = ParentFolder(target.path);
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) return false;
  // in a sticky folder (/tmp) only the owner of the file or of the folder
  // may rename over it
  const uid_t user = ::geteuid();
  return (folderInfo.st_mode & S_ISVTX) == 0 || user == target.info.st_uid || user == folderInfo.st_uid;
}

// The whole of the old content, or a refusal when it is too large to be held
// and put back.
std::string ReadOldContent(const File& file, const std::string& path, off_t reportedSize) {
  constexpr auto kLimit = static_cast<std::size_t>(detail::kMaxInPlaceSaveSize);
  // a byte more than the reported size, so that the end shows at once
  std::string old(std::min(static_cast<std::size_t>(std::max<off_t>(reportedSize, 0)), kLimit) + 1, '\0');
  std::size_t size = 0;
  for (;;) {
    if (size == old.size()) {
      if (detail::TooLargeToSaveInPlace(size)) ThrowInOutError(EFBIG, path);
      old.resize(std::min(size * 2, kLimit + 1));
    }
    const ssize_t got = ::pread(file.Get(), old.data() + size, old.size() - size, static_cast<off_t>(size));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowInOutError(errno, path);
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  old.resize(size);
  return old;
}

// The steps of a save in place from the first that may change the file.
// Returns 0, or the error number of the step that failed.
int OverwriteAndSync(File& file, std::string_view content) {
  const auto size = static_cast<off_t>(content.size());
  if (size > 0) {
    // Where the file system cannot reserve space the save goes on without:
    // only content beyond the old length can then find the disk full, and the
    // old bytes fit back in the space they had.
    const int error = Calls().fallocate(file.Get(), 0, size);
    if (error != 0 && error != EOPNOTSUPP && error != EINVAL && error != ENOSYS) return error;
  }
  if (const int error = file.WriteAll(content); error != 0) return error;
  if (Calls().ftruncate(file.Get(), size) != 0) return errno;
  if (Calls().fsync(file.Get()) != 0) return errno;
  return 0;
}

// Puts the old bytes back after a failed step. Every step is tried whatever
// the others do; the failure that made this necessary is what gets reported.
void PutBack(File& file, std::string_view old) {
  if (::lseek(file.Get(), 0, SEEK_SET) == 0) file.WriteAll(old);
  Calls().ftruncate(file.Get(), static_cast<off_t>(old.size()));
  Calls().fsync(file.Get());
}

// Writes `content` over the regular file at `path`, which keeps its inode and
// with it its owner, group, permissions, attributes and other names. The old
// bytes are read first and written back if any later step fails.
void SaveInPlace(const std::string& path, std::string_view content) {
  File file(Calls().open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY, 0));
  if (!file.IsOpen()) ThrowInOutError(errno, path);
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) ThrowInOutError(errno, path);
  if (detail::TooLargeToSaveInPlace(static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0))))
    ThrowInOutError(EFBIG, path);
  const std::string old = ReadOldContent(file, path, info.st_size);
  if (const int error = OverwriteAndSync(file, content); error != 0) {
    PutBack(file, old);
    ThrowInOutError(error, path);
  }
  if (const int error = file.Close(); error != 0) {
    // a close can report a write that failed on the server (network file
    // systems); the descriptor is gone, so the old bytes go back through another
    File again(Calls().open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0));
    if (again.IsOpen()) PutBack(again, old);
    ThrowInOutError(error, path);
  }
}

void SaveRegularFile(const SaveTarget& target, std::string_view content) {
  if (!target.exists) {
    ReplacementFile created(target.path);
    if (const int error = created.Create(); error != 0) ThrowInOutError(error, target.path);
    created.Write(content);
    created.Commit();
    return;
  }
  RequireWriteAccess(target.path);
  if (MayReplace(target)) {
    ReplacementFile replacement(target.path);
    // where no new file can be made or given all the old one had, the save
    // goes on in place
    if (replacement.Create() == 0 && replacement.TakeOver(target.info)) {
      replacement.Write(content);
      replacement.Commit();
      return;
    }
  }
  SaveInPlace(target.path, content);
}

}  // namespace

}  // namespace korvastel::posix

namespace korvastel::detail {

using posix::File;
using posix::SaveTarget;
using posix::ThrowInOutError;

void ReadFileInto(const std::string& path, SpanLineSplitter& splitter) {
  bool isPipe = false;
  File file = posix::OpenForReading(path, isPipe);
  const std::size_t blockSize = posix::ReadBlockSize(file);
  const auto buffer = std::make_unique_for_overwrite<char[]>(blockSize);
  for (bool first = true;; first = false) {
    const ssize_t got = first && isPipe ? posix::FirstReadOfPipe(file, buffer.get(), blockSize, path)
                                        : file.ReadSome(buffer.get(), blockSize);
    if (got < 0) ThrowInOutError(errno, path);  // also EISDIR for a folder
    if (got == 0 || !splitter.Feed(std::string_view(buffer.get(), static_cast<std::size_t>(got)))) break;
  }
  posix::CloseOrThrow(file, path);
}

void SaveFileContent(const std::string& path, std::string_view content) {
  if (path.empty()) ThrowInOutError(ENOENT, path);
  const SaveTarget target = posix::ResolveSaveTarget(path);
  if (target.exists && S_ISDIR(target.info.st_mode)) ThrowInOutError(EISDIR, target.path);
  // a full disk, the file-size limit or a pipe's reader gone is an error
  // like any other, never the end of the program
  const posix::WriteSignalGuard signalsBecomeErrors;
  if (target.exists && !S_ISREG(target.info.st_mode))
    posix::WriteDirectly(target.path, content);
  else
    posix::SaveRegularFile(target, content);
}

}  // namespace korvastel::detail
