#pragma once

// Faults of the Windows file layer's calls, for the window tests: a disk
// that fills during a save. The calls are the system's again after
// RestoreWindowsFileCalls().
#include <QtGlobal>
#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

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
    if (taken > 0 && !korvastel::windows::SystemCalls().writeFile(file, data, taken, written))
      return FALSE;
    left -= *written;
    if (*written == size) return TRUE;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  };
}

inline void RestoreWindowsFileCalls() {
  korvastel::windows::Calls() = korvastel::windows::SystemCalls();
}

#endif  // defined(Q_OS_WIN)
