// Part of the POSIX file layer (see FileStorePosix.cpp).
#if !defined(_WIN32)

#include "core/FileSystemCalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>

namespace korvastel::detail {

namespace {

// open() takes its mode through "...", which no pointer can name
int OpenFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

constexpr FileSystemCalls systemCalls{
    OpenFile, ::close,  ::write,  ::fsync,  ::posix_fallocate, ::ftruncate,
    ::linkat, ::rename, ::fchown, ::fchmod, ::fsetxattr,       ::fremovexattr,
};

FileSystemCalls calls = systemCalls;

}  // namespace

FileSystemCalls& Calls() noexcept { return calls; }

const FileSystemCalls& SystemCalls() noexcept { return systemCalls; }

}  // namespace korvastel::detail

#endif  // !defined(_WIN32)
