// Part of the POSIX file layer (see FileStorePosix.cpp).
#if !defined(_WIN32)

#include "core/FileSizeSignalGuard.h"

#include <ctime>

namespace korvastel {

namespace {

sigset_t FileSizeSignal() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGXFSZ);
  return signals;
}

bool FileSizeSignalPending() {
  sigset_t pending;
  sigemptyset(&pending);
  return sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
}

}  // namespace

FileSizeSignalGuard::FileSizeSignalGuard() noexcept : previousMask_(), wasPending_(false) {
  const sigset_t signals = FileSizeSignal();
  pthread_sigmask(SIG_BLOCK, &signals, &previousMask_);
  wasPending_ = FileSizeSignalPending();
}

FileSizeSignalGuard::~FileSizeSignalGuard() {
  // only a signal that our own writes raised is taken; one that was already
  // waiting belongs to someone else
  if (!wasPending_ && FileSizeSignalPending()) {
    const sigset_t signals = FileSizeSignal();
    const timespec noWait{};
    sigtimedwait(&signals, nullptr, &noWait);
  }
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace korvastel

#endif  // !defined(_WIN32)
