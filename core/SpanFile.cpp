#include "core/SpanFile.h"

#include "core/SpanLineSplitter.h"
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/ExtendedArithmetic.h"
#include "core/file/FileStore.h"

namespace korvastel {

namespace {

// The rows ParseSpan accepts, as typed, each followed by CR LF.
std::string SpanFileContent(const SpanColumn& column) {
  detail::ExtendedArithmeticScope scope;
  std::string content;
  detail::Extended discarded;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    const std::string& text = column.Text(row);
    if (detail::TryParseSpanInScope(text, discarded)) content.append(text).append("\r\n");
  }
  return content;
}

}  // namespace

std::vector<std::string> ReadSpanFile(const std::string& path) {
  SpanLineSplitter splitter(SpanColumn::RowCount);
  detail::ReadFileInto(path, splitter);
  return splitter.TakeLines();
}

void WriteSpanFile(const std::string& path, const SpanColumn& column) {
  detail::SaveFileContent(path, SpanFileContent(column));
}

}  // namespace korvastel
