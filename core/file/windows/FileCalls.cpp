#include "core/file/windows/FileCalls.h"

#include <windows.h>

namespace korvastel::windows {

namespace {

// Plain functions around the system's, which carry a calling convention of
// their own and take arguments the layer never passes.
constexpr FileCalls kSystemCalls{
    [](const wchar_t* path, unsigned long access, unsigned long share, unsigned long disposition,
       unsigned long flags) -> void* {
      return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
    },
    [](void* file, const void* data, unsigned long size, unsigned long* written) -> int {
      return WriteFile(file, data, size, written, nullptr);
    },
    [](void* file) -> int { return FlushFileBuffers(file); },
    [](void* file) -> int { return SetEndOfFile(file); },
    [](void* file, int infoClass, void* info, unsigned long size) -> int {
      return SetFileInformationByHandle(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(infoClass), info, size);
    },
    [](const wchar_t* replaced, const wchar_t* replacement, const wchar_t* backup) -> int {
      return ReplaceFileW(replaced, replacement, backup, 0, nullptr, nullptr);
    },
    [](const wchar_t* from, const wchar_t* to, unsigned long flags) -> int {
      return MoveFileExW(from, to, flags);
    },
};

FileCalls calls = kSystemCalls;

}  // namespace

FileCalls& Calls() noexcept { return calls; }

const FileCalls& SystemCalls() noexcept { return kSystemCalls; }

}  // namespace korvastel::windows
