// Part of the POSIX file layer (see FileStorePosix.cpp).
#if !defined(_WIN32)

#include "core/ReplacementFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "core/FilePath.h"
#include "core/FileSizeSignalGuard.h"
#include "core/InOutErrorCode.h"

namespace korvastel {

namespace {

constexpr int NameAttempts = 100;
// short enough that the temporary name stays within NAME_MAX (255)
constexpr std::size_t KeptNameLength = 200;

std::string RandomSuffix() {
  static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(12, ' ');
  for (char& c : suffix) c = alphabet[random() % (sizeof alphabet - 1)];
  return suffix;
}

// O_EXCL makes the name ours alone: a file or link planted under a guessed
// name is never opened, and the mode 0666 lets the umask and the folder's
// default ACL apply as for any new file.
FileDescriptor CreateExclusively(const std::string& target, std::string& createdPath) {
  const std::string stem =
      FolderPrefix(target) + "." + std::string(FileName(target).substr(0, KeptNameLength)) + ".";
  for (int attempt = 0; attempt < NameAttempts; ++attempt) {
    std::string path = stem + RandomSuffix();
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (file.IsOpen()) {
      createdPath = std::move(path);
      return file;
    }
    if (errno != EEXIST) ThrowInOutError(errno, path);
  }
  ThrowInOutError(EEXIST, target);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string target)
    : target_(std::move(target)), file_(CreateExclusively(target_, temporary_)) {}

ReplacementFile::~ReplacementFile() {
  if (committed_) return;
  file_.Close();
  ::unlink(temporary_.c_str());
}

void ReplacementFile::TakeOverAttributes(const struct stat& replaced) {
  if (::fchown(file_.Get(), replaced.st_uid, replaced.st_gid) != 0) {
    // only root may give a file away, and root saving a user's file keeps it
    // the user's; a user saving another's writable file owns the new one
  }
  // after fchown, which may clear set-id bits; and only when they differ, as
  // file systems without Unix permissions refuse any chmod
  struct stat created {};
  if (::fstat(file_.Get(), &created) != 0) ThrowInOutError(errno, temporary_);
  const mode_t bits = replaced.st_mode & 07777;
  if ((created.st_mode & 07777) != bits && ::fchmod(file_.Get(), bits) != 0)
    ThrowInOutError(errno, temporary_);
}

void ReplacementFile::Write(std::string_view content) {
  const FileSizeSignalGuard fileSizeLimitFails;
  if (const int error = file_.WriteAll(content); error != 0) ThrowInOutError(error, temporary_);
}

void ReplacementFile::Commit() {
  // the content must be on the disk before the name points at it, or a crash
  // could leave an empty file where the old one was
  if (::fsync(file_.Get()) != 0) ThrowInOutError(errno, temporary_);
  if (const int error = file_.Close(); error != 0) ThrowInOutError(error, temporary_);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) ThrowInOutError(errno, target_);
  committed_ = true;
  SyncFolder();
}

// Makes the rename itself durable. The new content is already in place, so a
// failure here is not reported as a failed save.
void ReplacementFile::SyncFolder() const {
  FileDescriptor folder(::open(ParentFolder(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.IsOpen()) ::fsync(folder.Get());
}

}  // namespace korvastel

#endif  // !defined(_WIN32)
