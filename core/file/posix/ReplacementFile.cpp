#include "core/file/posix/ReplacementFile.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/file/FileStore.h"
#include "core/file/posix/FileCalls.h"
#include "core/file/posix/InOutError.h"
#include "core/file/posix/Path.h"

namespace korvastel::posix {

namespace {

constexpr char kAccessControlList[] = "system.posix_acl_access";
constexpr std::string_view kUserAttributePrefix = "user.";

using detail::kTemporaryNameAttempts;

std::string TemporaryName(const std::string& target) {
  return detail::TemporaryName<char>(FolderPrefix(target), FileName(target));
}

// O_EXCL makes the name ours alone: a file or link planted under a guessed
// name is never opened, and the mode 0666 lets the umask and the folder's
// default ACL apply as for any new file.
int CreateExclusively(const std::string& target, File& file, std::string& createdPath) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string path = TemporaryName(target);
    file = File(Calls().open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (file.IsOpen()) {
      createdPath = std::move(path);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// The whole answer of a query that is asked for its size first (listxattr,
// getxattr), asked again if the answer grew in between. False with errno set.
template <class Query>
bool QueryWhole(std::string& answer, const Query& query) {
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const ssize_t size = query(nullptr, 0);
    if (size < 0) return false;
    answer.resize(static_cast<std::size_t>(size));
    const ssize_t got = query(answer.data(), answer.size());
    if (got >= 0) {
      answer.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

bool GetAttribute(const std::string& path, const char* name, std::string& value) {
  return QueryWhole(
      value, [&](char* buffer, std::size_t size) { return ::getxattr(path.c_str(), name, buffer, size); });
}

// The user.* attributes of `from`, set on `to`. Other kinds are not the
// user's to copy: security labels are the system's to give to a new file.
bool CopyUserAttributes(const std::string& from, int to) {
  std::string names;
  if (!QueryWhole(names,
                  [&](char* buffer, std::size_t size) { return ::listxattr(from.c_str(), buffer, size); }))
    return errno == ENOTSUP;  // a file system without attributes: none to keep
  for (std::size_t start = 0, end; start < names.size(); start = end + 1) {
    end = names.find('\0', start);
    if (end == std::string::npos) end = names.size();
    const std::string name = names.substr(start, end - start);
    if (!name.starts_with(kUserAttributePrefix)) continue;
    std::string value;
    if (!GetAttribute(from, name.c_str(), value)) {
      if (errno == ENODATA) continue;  // removed since it was listed
      return false;
    }
    if (Calls().fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

// The list travels as one attribute, whose value the kernel understands on
// every file system that has such lists; no library is needed to copy it.
bool CopyAccessControlList(const std::string& from, int to) {
  std::string list;
  if (GetAttribute(from, kAccessControlList, list))
    return Calls().fsetxattr(to, kAccessControlList, list.data(), list.size(), 0) == 0;
  if (errno != ENODATA && errno != ENOTSUP) return false;
  // the old file has none, but the new one may have taken the folder's default
  if (::fgetxattr(to, kAccessControlList, nullptr, 0) < 0) return errno == ENODATA || errno == ENOTSUP;
  return Calls().fremovexattr(to, kAccessControlList) == 0;
}

bool SameOwnerAndMode(const struct stat& a, const struct stat& b) {
  return a.st_uid == b.st_uid && a.st_gid == b.st_gid && (a.st_mode & 07777) == (b.st_mode & 07777);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {}

ReplacementFile::~ReplacementFile() {
  if (committed_) return;
  file_.Close();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

int ReplacementFile::Create() noexcept {
#ifdef O_TMPFILE
  // an unnamed file is named later through /proc, which must be there
  if (::access("/proc/self/fd", X_OK) == 0) {
    file_ = File(Calls().open(ParentFolder(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (file_.IsOpen()) return 0;
    // kernels and file systems without unnamed files refuse in several ways
    // (EOPNOTSUPP, EISDIR, EINVAL); a named file tells a real failure
  }
#endif
  return CreateExclusively(target_, file_, temporary_);
}

bool ReplacementFile::TakeOver(const struct stat& replaced) {
  // attributes first: setting user.* ones needs write permission, which the
  // old permission bits may not give
  if (!CopyUserAttributes(target_, file_.Get()) || !CopyAccessControlList(target_, file_.Get())) return false;
  struct stat created {};
  if (::fstat(file_.Get(), &created) != 0) return false;
  // owner and group apart: a member of the file's group may keep the group,
  // although only root may keep another user as the owner
  if (created.st_uid != replaced.st_uid && Calls().fchown(file_.Get(), replaced.st_uid, gid_t(-1)) != 0)
    return false;
  if (created.st_gid != replaced.st_gid && Calls().fchown(file_.Get(), uid_t(-1), replaced.st_gid) != 0)
    return false;
  // after fchown, which may clear set-id bits; and only when they differ, as
  // file systems without Unix permissions refuse any chmod
  if (::fstat(file_.Get(), &created) != 0) return false;
  if (SameOwnerAndMode(created, replaced)) return true;
  if (Calls().fchmod(file_.Get(), replaced.st_mode & 07777) != 0) return false;
  // the system may drop a bit without a word (set-group-id for a group the
  // user is not in)
  return ::fstat(file_.Get(), &created) == 0 && SameOwnerAndMode(created, replaced);
}

void ReplacementFile::Write(std::string_view content) {
  if (const int error = file_.WriteAll(content); error != 0) ThrowInOutError(error, target_);
}

void ReplacementFile::Commit() {
  // the content must be on the disk before the name points at it, or a crash
  // could leave an empty file where the old one was
  if (Calls().fsync(file_.Get()) != 0) ThrowInOutError(errno, target_);
  if (temporary_.empty()) Name();
  if (const int error = file_.Close(); error != 0) ThrowInOutError(error, target_);
  if (Calls().rename(temporary_.c_str(), target_.c_str()) != 0) ThrowInOutError(errno, target_);
  committed_ = true;
  SyncFolder();
}

// Gives the unnamed file a hidden name beside the target, the moment before
// it replaces it: no call links an unnamed file over an existing name.
void ReplacementFile::Name() {
  const std::string self = "/proc/self/fd/" + std::to_string(file_.Get());
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string path = TemporaryName(target_);
    if (Calls().linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary_ = std::move(path);
      return;
    }
    if (errno != EEXIST) ThrowInOutError(errno, target_);
  }
  ThrowInOutError(EEXIST, target_);
}

// Makes the rename itself durable. The new content is already in place, so a
// failure here is not reported as a failed save.
void ReplacementFile::SyncFolder() const {
  File folder(Calls().open(ParentFolder(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (folder.IsOpen()) Calls().fsync(folder.Get());
}

}  // namespace korvastel::posix
