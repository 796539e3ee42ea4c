// Part of the Windows file layer (see FileStoreWin32.cpp).
#if defined(_WIN32)

#include "core/WindowsFile.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "core/WindowsFileCalls.h"

namespace korvastel {

namespace {

// ReadFile and WriteFile take a DWORD count; span files are read in blocks
// far smaller, but a long content is written in parts of this size.
constexpr std::size_t MaxTransfer = std::size_t{1} << 30;

}  // namespace

WindowsFile::WindowsFile() noexcept : handle_(INVALID_HANDLE_VALUE), error_(0) {}

WindowsFile::WindowsFile(const std::wstring& path, unsigned long access, unsigned long share,
                         unsigned long disposition, unsigned long flags) noexcept
    : handle_(detail::WindowsCalls().createFile(path.c_str(), access, share, disposition, flags)),
      error_(handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}

WindowsFile::WindowsFile(WindowsFile&& other) noexcept
    : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)), error_(other.error_) {}

WindowsFile& WindowsFile::operator=(WindowsFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    error_ = other.error_;
  }
  return *this;
}

WindowsFile::~WindowsFile() { Close(); }

bool WindowsFile::IsOpen() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

unsigned long WindowsFile::Error() const noexcept { return error_; }

void* WindowsFile::Get() const noexcept { return handle_; }

unsigned long WindowsFile::ReadSome(char* buffer, std::size_t size, std::size_t& got) noexcept {
  DWORD read = 0;
  got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min(size, MaxTransfer)), &read, nullptr))
    return GetLastError();
  got = read;
  return 0;
}

unsigned long WindowsFile::WriteAll(std::string_view data) noexcept {
  while (!data.empty()) {
    DWORD written = 0;
    if (!detail::WindowsCalls().writeFile(handle_, data.data(),
                                          static_cast<DWORD>(std::min(data.size(), MaxTransfer)), &written))
      return GetLastError();
    // a write that takes nothing would loop forever; the disk is full
    if (written == 0) return ERROR_DISK_FULL;
    data.remove_prefix(written);
  }
  return 0;
}

unsigned long WindowsFile::SeekTo(std::uint64_t position) noexcept {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) ? 0 : GetLastError();
}

unsigned long WindowsFile::SetLength(std::uint64_t length) noexcept {
  if (const unsigned long error = SeekTo(length); error != 0) return error;
  return detail::WindowsCalls().setEndOfFile(handle_) ? 0 : GetLastError();
}

unsigned long WindowsFile::Flush() noexcept {
  return detail::WindowsCalls().flushFileBuffers(handle_) ? 0 : GetLastError();
}

void WindowsFile::Close() noexcept {
  // CloseHandle reports no write errors; those came from WriteFile and FlushFileBuffers
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
}

}  // namespace korvastel

#endif  // defined(_WIN32)
