#include "core/RulingSpan.h"

#include <cmath>
#include <string>

#include "core/DecimalSeparator.h"
#include "core/Errors.h"
#include "core/ExtendedArithmetic.h"
#include "core/NumberFormat.h"
#include "core/SpanValue.h"

namespace korvastel {

std::string RulingSpanResult::RulingSpanText() const { return FormatFixed2(rulingSpan); }

std::string RulingSpanResult::SumText() const { return FormatFixed2(sum); }

std::string RulingSpanResult::CountText() const { return std::to_string(count); }

namespace {

// The protected step of one row: the span as a double, or false where the text
// is no span or its value lies beyond the double range ("1e500").
bool SpanAsDouble(const std::string& text, double& span) {
  long double value;
  if (!detail::TryParseSpanInScope(text, value)) return false;
  span = static_cast<double>(value);
  return !std::isinf(span);
}

// Rounds an extended running sum to double; leaving the double range is an
// overflow of the store.
double StoreToDouble(long double value) {
  const double stored = static_cast<double>(value);
  if (std::isinf(stored)) throw EOverflow();
  return stored;
}

// sum of cubes / sum, then its square root, in extended precision.
double RulingSpanOf(double sum, double sumOfCubes) {
  if (sum == 0.0) {
    if (sumOfCubes == 0.0) throw EInvalidOp();  // 0 / 0
    throw EZeroDivide();
  }
  const long double ratio = static_cast<long double>(sumOfCubes) / static_cast<long double>(sum);
  if (ratio < 0.0L) throw EInvalidOp();  // the square root of a negative ratio
  return StoreToDouble(std::sqrt(ratio));
}

}  // namespace

RulingSpanResult CalculateRulingSpan(const SpanColumn& column) {
  detail::ExtendedArithmeticScope scope;
  RulingSpanResult result;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    double span;
    if (!SpanAsDouble(column.Text(row), span)) continue;
    // Each running sum is formed in extended precision and rounded to double,
    // so a sum may round twice; that is the defined result.
    const long double x = span;
    result.sum = StoreToDouble(static_cast<long double>(result.sum) + x);
    const long double cube = (x * x) * x;
    result.sumOfCubes = StoreToDouble(cube + static_cast<long double>(result.sumOfCubes));
    ++result.count;
  }
  result.rulingSpan = RulingSpanOf(result.sum, result.sumOfCubes);
  return result;
}

std::int32_t CountValidSpans(const SpanColumn& column) {
  // The count runs on every move of the grid's selection: only the rows
  // written since the last count are parsed, the others keep their verdict.
  const char separator = DecimalSeparator();
  detail::ExtendedArithmeticScope scope;
  std::int32_t count = 0;
  long double discarded;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    SpanColumn::Verdict verdict = column.RememberedVerdict(row, separator);
    if (verdict == SpanColumn::Verdict::Unknown) {
      const bool span = detail::TryParseSpanInScope(column.Text(row), discarded);
      column.RememberVerdict(row, separator, span);
      verdict = span ? SpanColumn::Verdict::Span : SpanColumn::Verdict::NoSpan;
    }
    if (verdict == SpanColumn::Verdict::Span) ++count;
  }
  return count;
}

}  // namespace korvastel
