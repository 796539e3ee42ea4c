// TEMPORARY placeholder until the exact calculation lands (same interface).
#include "core/RulingSpan.h"

#include <cmath>

#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/ParseSpan.h"

namespace korvastel {
std::string RulingSpanResult::RulingSpanText() const { return FormatFixed2(rulingSpan); }
std::string RulingSpanResult::SumText() const { return FormatFixed2(sum); }
std::string RulingSpanResult::CountText() const { return std::to_string(count); }

RulingSpanResult CalculateRulingSpan(const SpanColumn& column) {
  RulingSpanResult r;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    double x;
    try { x = static_cast<double>(ParseSpan(column.Text(row))); } catch (const Exception&) { continue; }
    r.sum += x; r.sumOfCubes += x * x * x; ++r.count;
  }
  if (r.sum == 0) { if (r.sumOfCubes == 0) throw EInvalidOp(); throw EZeroDivide(); }
  double ratio = r.sumOfCubes / r.sum;
  if (ratio < 0) throw EInvalidOp();
  r.rulingSpan = std::sqrt(ratio);
  return r;
}

std::int32_t CountValidSpans(const SpanColumn& column) {
  std::int32_t n = 0;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    try { ParseSpan(column.Text(row)); ++n; } catch (const Exception&) {}
  }
  return n;
}
}  // namespace korvastel
