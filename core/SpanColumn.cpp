#include "core/SpanColumn.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace korvastel {

namespace {
std::size_t CheckedRow(int row) {
  if (row < 0 || row >= SpanColumn::RowCount)
    throw std::out_of_range("SpanColumn row " + std::to_string(row));
  return static_cast<std::size_t>(row);
}
}  // namespace

SpanColumn::SpanColumn() : texts_(RowCount), verdicts_(RowCount, Verdict::Unknown) {}

const std::string& SpanColumn::Text(int row) const { return texts_[CheckedRow(row)]; }

void SpanColumn::SetText(int row, std::string text) {
  const std::size_t index = CheckedRow(row);
  std::string& cell = texts_[index];
  if (text.empty())
    std::string().swap(cell);  // give the storage back: emptied rows cost nothing
  else
    cell = std::move(text);
  verdicts_[index] = Verdict::Unknown;
}

SpanColumn::Verdict SpanColumn::RememberedVerdict(int row, char separator) const {
  const std::size_t index = CheckedRow(row);
  return separator == verdictSeparator_ ? verdicts_[index] : Verdict::Unknown;
}

void SpanColumn::RememberVerdict(int row, char separator, bool span) const {
  const std::size_t index = CheckedRow(row);
  if (separator != verdictSeparator_) {
    std::fill(verdicts_.begin(), verdicts_.end(), Verdict::Unknown);
    verdictSeparator_ = separator;
  }
  verdicts_[index] = span ? Verdict::Span : Verdict::NoSpan;
}

}  // namespace korvastel
