#include "core/file/posix/InOutError.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/Errors.h"
#include "core/file/posix/Path.h"

namespace korvastel::posix {

namespace {

// Tells "the file is not there" from "the path leads nowhere".
bool ParentFolderExists(const std::string& path) {
  struct stat info {};
  return ::stat(ParentFolder(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int InOutErrorCode(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return !path.empty() && ParentFolderExists(path) ? 2 : 3;
    case ENOTDIR:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EROFS:
      return 5;
    default:
      return error;
  }
}

namespace {

bool IsNamedCondition(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case EMFILE:
    case ENFILE:
    case EACCES:
    case EPERM:
    case EROFS:
      return true;
    default:
      return false;
  }
}

}  // namespace

void ThrowInOutError(int error, const std::string& path) {
  const int code = InOutErrorCode(error, path);
  if (IsNamedCondition(error)) throw EInOutError(code);
  throw EInOutError::Numbered(code);
}

}  // namespace korvastel::posix
