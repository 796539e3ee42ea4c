#pragma once

#include <cstdint>
#include <string>

#include "core/SpanColumn.h"

namespace korvastel {

// The result of one calculation over the span column.
struct RulingSpanResult {
  std::int32_t count = 0;
  double sum = 0;
  double sumOfCubes = 0;
  double rulingSpan = 0;

  std::string RulingSpanText() const;  // FormatFixed2(rulingSpan)
  std::string SumText() const;         // FormatFixed2(sum)
  std::string CountText() const;       // the count in decimal
};

// sqrt(sum of cubed spans / sum of spans) over the rows that parse and fit a
// double, accumulated in row order with each running sum rounded to double.
// Throws EInvalidOp (no spans, 0/0, a negative ratio), EZeroDivide (a zero sum
// with non-zero cubes) or EOverflow (a running sum or the result beyond the
// double range).
RulingSpanResult CalculateRulingSpan(const SpanColumn& column);

// The number of rows ParseSpan accepts; a text like "1e500" counts here even
// though the calculation skips it. Each row's verdict is remembered in the
// column until the row is written or the decimal separator changes, so a
// recount parses only the rows written since the last one.
std::int32_t CountValidSpans(const SpanColumn& column);

}  // namespace korvastel
