#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvastel::windows {

// Owns one open Windows file handle and closes it on every path. The
// operations report failures as the Windows error code (0 for success),
// leaving it to the caller to decide what the failure means.
class File {
 public:
  // A handle that is not open.
  File() noexcept;
  // Opens `path` (a path for the wide API) with CreateFileW; IsOpen() tells
  // whether that worked and Error() why not.
  File(const std::wstring& path, unsigned long access, unsigned long share, unsigned long disposition,
       unsigned long flags) noexcept;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

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

}  // namespace korvastel::windows
