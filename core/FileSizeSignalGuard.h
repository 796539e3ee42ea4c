#pragma once

#include <signal.h>

namespace korvastel {

// While alive, a write beyond the process's file-size limit fails with EFBIG
// instead of ending the program through SIGXFSZ: the signal is blocked in the
// calling thread, and one raised by those writes is taken back before the
// previous signal mask returns. The failed write already reports the fault.
class FileSizeSignalGuard {
 public:
  FileSizeSignalGuard() noexcept;
  ~FileSizeSignalGuard();
  FileSizeSignalGuard(const FileSizeSignalGuard&) = delete;
  FileSizeSignalGuard& operator=(const FileSizeSignalGuard&) = delete;

 private:
  sigset_t previousMask_;
  bool wasPending_;
};

}  // namespace korvastel
