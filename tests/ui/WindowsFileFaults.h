#pragma once

// Faults of the Windows file layer's calls, for the window tests: a disk
// that fills during a save, a file whose opening keeps the window waiting, a
// pipe no program uses; and this process's peak memory. The calls are the
// system's again after RestoreWindowsFileCalls(). PosixFileFaults.h is its
// twin.
#include <QtGlobal>
#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// needs windows.h first
#include <psapi.h>

#include <QRandomGenerator>
#include <QString>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "core/file/windows/FileCalls.h"

// The file layer's writes take `limit` bytes in all, then fail as on a full
// disk.
inline void FailWindowsWritesPast(unsigned long limit) {
  static unsigned long left = 0;
  left = limit;
  korvastel::windows::Calls().writeFile = [](void* file, const void* data, unsigned long size,
                                             unsigned long* written) -> int {
    const unsigned long taken = std::min(size, left);
    *written = 0;
    if (taken > 0 && !korvastel::windows::SystemCalls().writeFile(file, data, taken, written)) return FALSE;
    left -= *written;
    if (*written == size) return TRUE;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  };
}

inline void RestoreWindowsFileCalls() { korvastel::windows::Calls() = korvastel::windows::SystemCalls(); }

// The peak working set in kB: Windows keeps one that cannot be reset.
inline qint64 PeakMemoryKb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<qint64>(counters.PeakWorkingSetSize / 1024);
}

// By how much this process's peak working set grows from this object's
// making to Kb(), in kB, measured from the peak so far.
class PeakMemoryGrowth {
 public:
  PeakMemoryGrowth() : before_(PeakMemoryKb()) {}
  qint64 Kb() const { return PeakMemoryKb() - before_; }

 private:
  qint64 before_;
};

// A file whose first opening keeps the window waiting, as a file on a slow
// network share does: the file layer's open waits inside the system call
// until the test lets it go. The open is the only call both an open and a
// save must make before anything else.
class SlowFileOpening {
 public:
  SlowFileOpening() {
    current_ = this;
    korvastel::windows::Calls().createFile = [](const wchar_t* path, unsigned long access,
                                                unsigned long share, unsigned long disposition,
                                                unsigned long flags) -> void* {
      current_->enterAndWait();
      return korvastel::windows::SystemCalls().createFile(path, access, share, disposition, flags);
    };
  }
  ~SlowFileOpening() {
    Release();
    RestoreWindowsFileCalls();
    current_ = nullptr;
  }
  SlowFileOpening(const SlowFileOpening&) = delete;
  SlowFileOpening& operator=(const SlowFileOpening&) = delete;

  // Waits (up to 10 s) until the window waits in the opening.
  bool WaitUntilBlocked() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return blocked_; });
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  void enterAndWait() {
    std::unique_lock lock(mutex_);
    blocked_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }

  static inline SlowFileOpening* current_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool blocked_ = false;
  bool released_ = false;
};

// A named pipe no program reads or writes; it is gone with the handle.
struct PipeNoProgramUses {
  QString path = QStringLiteral("\\\\.\\pipe\\korvastel-test-%1").arg(QRandomGenerator::global()->generate());
  HANDLE server =
      CreateNamedPipeW(reinterpret_cast<const wchar_t*>(path.utf16()), PIPE_ACCESS_DUPLEX,
                       PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ~PipeNoProgramUses() {
    if (server != INVALID_HANDLE_VALUE) CloseHandle(server);
  }
};

// Windows has no /proc: what is measured there is this program's own.
inline bool ProcDescribesAnEmulator() { return false; }

#endif  // defined(Q_OS_WIN)
