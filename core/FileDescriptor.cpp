// Part of the POSIX file layer (see FileStorePosix.cpp).
#if !defined(_WIN32)

#include "core/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/FileSystemCalls.h"

namespace korvastel {

FileDescriptor::FileDescriptor(int descriptor) noexcept : descriptor_(descriptor) {}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

FileDescriptor::~FileDescriptor() { Close(); }

bool FileDescriptor::IsOpen() const noexcept { return descriptor_ >= 0; }

int FileDescriptor::Get() const noexcept { return descriptor_; }

ssize_t FileDescriptor::ReadSome(char* buffer, std::size_t size) noexcept {
  ssize_t got;
  do {
    got = ::read(descriptor_, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

int FileDescriptor::WriteAll(std::string_view data) noexcept {
  while (!data.empty()) {
    const ssize_t written = detail::Calls().write(descriptor_, data.data(), data.size());
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

int FileDescriptor::Close() noexcept {
  if (descriptor_ < 0) return 0;
  // never retried: on Linux the descriptor is released even when close() fails
  const int result = detail::Calls().close(std::exchange(descriptor_, -1));
  return result == 0 ? 0 : errno;
}

}  // namespace korvastel

#endif  // !defined(_WIN32)
