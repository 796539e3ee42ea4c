#pragma once

#include <string>

namespace korvastel::posix {

// The EInOutError code for a file operation on `path` that failed with the
// system error `error`:
//   ENOENT with the parent folder present -> 2 "File not found"
//   ENOENT with the parent folder missing, ENOTDIR, an empty path -> 3 "Invalid filename"
//   EMFILE, ENFILE -> 4 "Too many open files"
//   EACCES, EPERM, EROFS -> 5 "File access denied"
//   any other e -> e "I/O error e" (a full disk is "I/O error 28")
int InOutErrorCode(int error, const std::string& path);

// Throws EInOutError with InOutErrorCode(error, path). The table's texts go
// only with the conditions they name: a system error that merely shares a
// number with them (EIO is 5, ENETUNREACH 101) reads "I/O error n".
[[noreturn]] void ThrowInOutError(int error, const std::string& path);

}  // namespace korvastel::posix
