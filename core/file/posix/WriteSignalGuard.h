#pragma once

#include <signal.h>

namespace korvastel::posix {

// While alive, writes that would end the program by a signal fail with an
// error number instead: a write beyond the process's file-size limit gives
// EFBIG rather than SIGXFSZ, and a write into a pipe whose reader went away
// gives EPIPE rather than SIGPIPE. Both signals are blocked in the calling
// thread, and one raised while the guard lives is taken back before the
// previous signal mask returns; one that was already waiting is left alone.
// The failed write already reports the fault.
class WriteSignalGuard {
 public:
  WriteSignalGuard() noexcept;
  ~WriteSignalGuard();
  WriteSignalGuard(const WriteSignalGuard&) = delete;
  WriteSignalGuard& operator=(const WriteSignalGuard&) = delete;

 private:
  sigset_t previousMask_;
  sigset_t wasPending_;
};

}  // namespace korvastel::posix
