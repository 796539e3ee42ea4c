#include "core/file/posix/WriteSignalGuard.h"

#include <ctime>

namespace korvastel::posix {

namespace {

constexpr int kGuardedSignals[] = {SIGXFSZ, SIGPIPE};

sigset_t Guarded() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : kGuardedSignals) sigaddset(&signals, signal);
  return signals;
}

sigset_t Pending() {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return pending;
}

}  // namespace

WriteSignalGuard::WriteSignalGuard() noexcept : previousMask_(), wasPending_() {
  const sigset_t signals = Guarded();
  pthread_sigmask(SIG_BLOCK, &signals, &previousMask_);
  wasPending_ = Pending();
}

WriteSignalGuard::~WriteSignalGuard() {
  // only a signal that our own writes raised is taken; one that was already
  // waiting belongs to someone else
  const sigset_t pending = Pending();
  for (const int signal : kGuardedSignals) {
    if (sigismember(&wasPending_, signal) == 1 || sigismember(&pending, signal) != 1) continue;
    sigset_t raised;
    sigemptyset(&raised);
    sigaddset(&raised, signal);
    const timespec noWait{};
    sigtimedwait(&raised, nullptr, &noWait);
  }
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace korvastel::posix
