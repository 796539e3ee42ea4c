#pragma once

// Internal to the POSIX file layer. The system calls through which a save
// changes files, gathered in one table that the layer always calls through.
// A test replaces an entry to make any one of them fail and puts the system's
// own function back afterwards; nothing else touches the table.

#include <sys/types.h>

#include <cstddef>

namespace korvastel::posix {

struct FileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int file);
  ssize_t (*write)(int file, const void* data, std::size_t size);
  int (*fsync)(int file);
  // posix_fallocate: returns the error number rather than setting errno
  int (*fallocate)(int file, off_t offset, off_t length);
  int (*ftruncate)(int file, off_t length);
  int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags);
  int (*rename)(const char* from, const char* to);
  int (*fchown)(int file, uid_t owner, gid_t group);
  int (*fchmod)(int file, mode_t mode);
  int (*fsetxattr)(int file, const char* name, const void* value, std::size_t size, int flags);
  int (*fremovexattr)(int file, const char* name);
};

// The table in use; the system's own functions unless a test replaced one.
FileCalls& Calls() noexcept;
// The system's own functions.
const FileCalls& SystemCalls() noexcept;

}  // namespace korvastel::posix
