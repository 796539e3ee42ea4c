#pragma once

// Part of the Windows file layer (see FileStoreWin32.cpp).
#if defined(_WIN32)

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvastel {

// Owns one open Windows file handle and closes it on every path. The
// operations report failures as the Windows error code (0 for success),
// leaving it to the caller to decide what the failure means.
class WindowsFile {
 public:
  // A handle that is not open.
  WindowsFile() noexcept;
  // Opens `path` (a path for the wide API) with CreateFileW; IsOpen() tells
  // whether that worked and Error() why not.
  WindowsFile(const std::wstring& path, unsigned long access, unsigned long share, unsigned long disposition,
              unsigned long flags) noexcept;
  WindowsFile(WindowsFile&& other) noexcept;
  WindowsFile& operator=(WindowsFile&& other) noexcept;
  WindowsFile(const WindowsFile&) = delete;
  WindowsFile& operator=(const WindowsFile&) = delete;
  ~WindowsFile();

  bool IsOpen() const noexcept;
  // The error of the failed open, 0 when the file is open.
  unsigned long Error() const noexcept;
  void* Get() const noexcept;

  // Up to `size` bytes into `buffer`, `got` 0 at the end of the file.
  unsigned long ReadSome(char* buffer, std::size_t size, std::size_t& got) noexcept;
  // From the current position on, every byte or an error.
  unsigned long WriteAll(std::string_view data) noexcept;
  unsigned long SeekTo(std::uint64_t position) noexcept;
  // Makes the file `length` bytes long, extending or truncating it.
  unsigned long SetLength(std::uint64_t length) noexcept;
  // The content on the disk, not only in the system's cache.
  unsigned long Flush() noexcept;
  void Close() noexcept;

 private:
  void* handle_;
  unsigned long error_;
};

}  // namespace korvastel

#endif  // defined(_WIN32)
