#include "core/SpanLineSplitter.h"

#include <cstring>
#include <utility>

namespace korvastel {

namespace {

constexpr char kEndOfData = '\x1A';  // Ctrl-Z

// The length of the bytes in front of `byte`, or the whole length without it.
std::size_t LengthBefore(std::string_view data, char byte) {
  const void* found = std::memchr(data.data(), byte, data.size());
  return found == nullptr ? data.size()
                          : static_cast<std::size_t>(static_cast<const char*>(found) - data.data());
}

}  // namespace

SpanLineSplitter::SpanLineSplitter(std::size_t maxLines) : maxLines_(maxLines) {}

bool SpanLineSplitter::Feed(std::string_view block) {
  if (dataEnded_) return false;
  // one memchr for the end of data keeps the blocks past the kept lines cheap
  const std::size_t dataLength = LengthBefore(block, kEndOfData);
  dataEnded_ = dataLength < block.size();
  if (!Full()) SplitLines(block.substr(0, dataLength));
  return !dataEnded_;
}

std::vector<std::string> SpanLineSplitter::TakeLines() {
  if (lineStarted_ && !Full()) EndLine();
  lineStarted_ = false;
  return std::move(lines_);
}

bool SpanLineSplitter::Full() const { return lines_.size() >= maxLines_; }

void SpanLineSplitter::SplitLines(std::string_view data) {
  while (!data.empty() && !Full()) {
    const std::size_t length = LengthBefore(data, '\n');
    AppendToLine(data.substr(0, length));
    if (length == data.size()) return;  // the line goes on in the next block
    EndLine();
    data.remove_prefix(length + 1);
  }
}

void SpanLineSplitter::AppendToLine(std::string_view part) {
  if (part.empty()) return;
  lineStarted_ = true;
  while (!part.empty()) {
    const std::size_t length = LengthBefore(part, '\r');
    line_.append(part.data(), length);
    part.remove_prefix(length < part.size() ? length + 1 : length);
  }
}

void SpanLineSplitter::EndLine() {
  lines_.push_back(std::move(line_));
  line_.clear();
  lineStarted_ = false;
}

}  // namespace korvastel
