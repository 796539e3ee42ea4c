#include "core/file/posix/File.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/file/posix/FileCalls.h"

namespace korvastel::posix {

File::File(int descriptor) noexcept : descriptor_(descriptor) {}

File::File(File&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

File::~File() { Close(); }

bool File::IsOpen() const noexcept { return descriptor_ >= 0; }

int File::Get() const noexcept { return descriptor_; }

ssize_t File::ReadSome(char* buffer, std::size_t size) noexcept {
  ssize_t got;
  do {
    got = ::read(descriptor_, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

int File::WriteAll(std::string_view data) noexcept {
  while (!data.empty()) {
    const ssize_t written = Calls().write(descriptor_, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // a write that takes nothing would loop forever; the device is full
    if (written == 0) return ENOSPC;
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int File::Close() noexcept {
  if (descriptor_ < 0) return 0;
  // never retried: on Linux the descriptor is released even when close() fails
  const int result = Calls().close(std::exchange(descriptor_, -1));
  return result == 0 ? 0 : errno;
}

}  // namespace korvastel::posix
