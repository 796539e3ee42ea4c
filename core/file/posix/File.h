#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace korvastel::posix {

// Owns one open POSIX file descriptor and closes it on every path. The
// operations retry after an interrupting signal and report failures as the
// system error number, leaving it to the caller to name the file.
class File {
 public:
  explicit File(int descriptor = -1) noexcept;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  // Closes without a report: this is the path of an operation that already failed.
  ~File();

  bool IsOpen() const noexcept;
  int Get() const noexcept;

  // Up to `size` bytes, 0 at the end of the file, or -1 with errno set.
  ssize_t ReadSome(char* buffer, std::size_t size) noexcept;
  // 0 once every byte is written, otherwise the error number.
  int WriteAll(std::string_view data) noexcept;
  // 0, or the error number of a failed close (the descriptor is gone either way).
  int Close() noexcept;

 private:
  int descriptor_;
};

}  // namespace korvastel::posix
