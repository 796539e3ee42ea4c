#include "core/file/posix/FileCalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>

namespace korvastel::posix {

namespace {

// open() takes its mode through "...", which no pointer can name
int OpenFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

constexpr FileCalls kSystemCalls{
    OpenFile, ::close,  ::write,  ::fsync,  ::posix_fallocate, ::ftruncate,
    ::linkat, ::rename, ::fchown, ::fchmod, ::fsetxattr,       ::fremovexattr,
};

FileCalls calls = kSystemCalls;

}  // namespace

FileCalls& Calls() noexcept { return calls; }

const FileCalls& SystemCalls() noexcept { return kSystemCalls; }

}  // namespace korvastel::posix
