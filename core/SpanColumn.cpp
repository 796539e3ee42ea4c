#include "core/SpanColumn.h"

#include <stdexcept>
#include <utility>

namespace korvastel {

namespace {
std::size_t CheckedRow(int row) {
  if (row < 0 || row >= SpanColumn::RowCount) throw std::out_of_range("SpanColumn row " + std::to_string(row));
  return static_cast<std::size_t>(row);
}
}  // namespace

SpanColumn::SpanColumn() : texts_(RowCount) {}

const std::string& SpanColumn::Text(int row) const { return texts_[CheckedRow(row)]; }

void SpanColumn::SetText(int row, std::string text) {
  std::string& cell = texts_[CheckedRow(row)];
  if (text.empty())
    std::string().swap(cell);  // give the storage back: emptied rows cost nothing
  else
    cell = std::move(text);
}

}  // namespace korvastel
