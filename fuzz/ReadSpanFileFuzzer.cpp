// Arbitrary bytes as a span file: ReadSpanFile reads them from an in-memory
// file (nothing touches the disk), and the line splitter takes them in blocks
// cut where the input says, with a small line limit. Both must give exactly
// what a byte-by-byte reading of the file rules gives.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/Core.h"
#include "core/SpanLineSplitter.h"

namespace {

using Lines = std::vector<std::string>;

void Check(bool holds) {
  if (!holds) std::abort();
}

// The file rules, one byte at a time: LF ends a line, CR is dropped, Ctrl-Z
// ends the data, and a last line without an end counts if it held any byte.
Lines ReferenceLines(std::string_view bytes, std::size_t maxLines) {
  Lines lines;
  std::string text;
  bool started = false;
  for (const char byte : bytes) {
    if (byte == '\x1A') break;
    if (byte == '\n') {
      lines.push_back(text);
      text.clear();
      started = false;
    } else {
      started = true;
      if (byte != '\r') text += byte;
    }
  }
  if (started) lines.push_back(text);
  if (lines.size() > maxLines) lines.resize(maxLines);
  return lines;
}

Lines ReadThroughMemoryFile(std::string_view bytes) {
  static const int file = memfd_create("korvastel-fuzz", MFD_CLOEXEC);
  Check(file >= 0 && ftruncate(file, 0) == 0);
  for (std::size_t written = 0; written < bytes.size();) {
    const ssize_t n = pwrite(file, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
    Check(n > 0);
    written += static_cast<std::size_t>(n);
  }
  return korvastel::ReadSpanFile("/proc/self/fd/" + std::to_string(file));
}

// Block lengths of 1 to 16 bytes, each chosen by the byte where the block starts.
Lines SplitInBlocks(std::string_view bytes, std::size_t maxLines) {
  korvastel::SpanLineSplitter splitter(maxLines);
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t length = 1 + static_cast<unsigned char>(bytes[start]) % 16;
    if (!splitter.Feed(bytes.substr(start, length))) break;
    start += length;
  }
  return splitter.TakeLines();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(ReadThroughMemoryFile(bytes) == ReferenceLines(bytes, korvastel::SpanColumn::RowCount));
  const std::size_t maxLines = size == 0 ? 0 : data[size - 1] % 8;
  Check(SplitInBlocks(bytes, maxLines) == ReferenceLines(bytes, maxLines));
  return 0;
}
