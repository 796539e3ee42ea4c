#include "core/file/windows/File.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "core/file/windows/FileCalls.h"

namespace korvastel::windows {

namespace {

// ReadFile and WriteFile take a DWORD count; span files are read in blocks
// far smaller, but a long content is written in parts of this size.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

}  // namespace

File::File() noexcept : handle_(INVALID_HANDLE_VALUE), error_(0) {}

File::File(const std::wstring& path, unsigned long access, unsigned long share, unsigned long disposition,
           unsigned long flags) noexcept
    : handle_(Calls().createFile(path.c_str(), access, share, disposition, flags)),
      error_(handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)), error_(other.error_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    error_ = other.error_;
  }
  return *this;
}

File::~File() { Close(); }

bool File::IsOpen() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

unsigned long File::Error() const noexcept { return error_; }

void* File::Get() const noexcept { return handle_; }

unsigned long File::ReadSome(char* buffer, std::size_t size, std::size_t& got) noexcept {
  DWORD read = 0;
  got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min(size, kMaxTransfer)), &read, nullptr))
    return GetLastError();
  got = read;
  return 0;
}

unsigned long File::WriteAll(std::string_view data) noexcept {
  while (!data.empty()) {
    DWORD written = 0;
    if (!Calls().writeFile(handle_, data.data(), static_cast<DWORD>(std::min(data.size(), kMaxTransfer)),
                           &written))
      return GetLastError();
    // a write that takes nothing would loop forever; the disk is full
    if (written == 0) return ERROR_DISK_FULL;
    data.remove_prefix(written);
  }
  return 0;
}

unsigned long File::SeekTo(std::uint64_t position) noexcept {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) ? 0 : GetLastError();
}

unsigned long File::SetLength(std::uint64_t length) noexcept {
  if (const unsigned long error = SeekTo(length); error != 0) return error;
  return Calls().setEndOfFile(handle_) ? 0 : GetLastError();
}

unsigned long File::Flush() noexcept { return Calls().flushFileBuffers(handle_) ? 0 : GetLastError(); }

void File::Close() noexcept {
  // CloseHandle reports no write errors; those came from WriteFile and FlushFileBuffers
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
}

}  // namespace korvastel::windows
