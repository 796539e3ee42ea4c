#include "core/RulingSpan.h"

#include <cmath>
#include <string>

#include "core/DecimalSeparator.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/ExtendedArithmetic.h"

namespace korvastel {

std::string RulingSpanResult::RulingSpanText() const { return FormatFixed2(rulingSpan); }

std::string RulingSpanResult::SumText() const { return FormatFixed2(sum); }

std::string RulingSpanResult::CountText() const { return std::to_string(count); }

namespace detail {

namespace {

// The protected step of one row: the span as a double, or false where the text
// is no span or its value lies beyond the double range ("1e500").
template <class Extended>
bool SpanAsDouble(const std::string& text, double& span) {
  Extended value;
  if (!TryParseSpanInScope(text, value)) return false;
  span = value.ToDouble();
  return !std::isinf(span);
}

// Rounds an extended running sum to double; leaving the double range is an
// overflow of the store.
template <class Extended>
double StoreToDouble(Extended value) {
  const double stored = value.ToDouble();
  if (std::isinf(stored)) throw EOverflow();
  return stored;
}

// sum of cubes / sum, then its square root, in extended precision.
template <class Extended>
double RulingSpanOf(double sum, double sumOfCubes) {
  if (sum == 0.0) {
    if (sumOfCubes == 0.0) throw EInvalidOp();  // 0 / 0
    throw EZeroDivide();
  }
  const Extended ratio = Extended::FromDouble(sumOfCubes) / Extended::FromDouble(sum);
  if (ratio < Extended()) throw EInvalidOp();  // the square root of a negative ratio
  return StoreToDouble(Sqrt(ratio));
}

}  // namespace

template <class Extended>
RulingSpanResult CalculateRulingSpanWith(const SpanColumn& column) {
  typename Extended::Scope scope;
  RulingSpanResult result;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    double span;
    if (!SpanAsDouble<Extended>(column.Text(row), span)) continue;
    // Each running sum is formed in extended precision and rounded to double,
    // so a sum may round twice; that is the defined result.
    const Extended x = Extended::FromDouble(span);
    result.sum = StoreToDouble(Extended::FromDouble(result.sum) + x);
    const Extended cube = (x * x) * x;
    result.sumOfCubes = StoreToDouble(cube + Extended::FromDouble(result.sumOfCubes));
    ++result.count;
  }
  result.rulingSpan = RulingSpanOf<Extended>(result.sum, result.sumOfCubes);
  return result;
}

template <class Extended>
std::int32_t CountValidSpansWith(const SpanColumn& column) {
  // The count runs on every move of the grid's selection: only the rows
  // written since the last count are parsed, the others keep their verdict
  // (which is the same in either arithmetic).
  const char separator = DecimalSeparator();
  typename Extended::Scope scope;
  std::int32_t count = 0;
  Extended discarded;
  for (int row = 0; row < SpanColumn::RowCount; ++row) {
    SpanColumn::Verdict verdict = column.RememberedVerdict(row, separator);
    if (verdict == SpanColumn::Verdict::Unknown) {
      const bool span = TryParseSpanInScope(column.Text(row), discarded);
      column.RememberVerdict(row, separator, span);
      verdict = span ? SpanColumn::Verdict::Span : SpanColumn::Verdict::NoSpan;
    }
    if (verdict == SpanColumn::Verdict::Span) ++count;
  }
  return count;
}

template RulingSpanResult CalculateRulingSpanWith<SoftExtended>(const SpanColumn&);
template std::int32_t CountValidSpansWith<SoftExtended>(const SpanColumn&);
#if KORVASTEL_HAS_X87_EXTENDED
template RulingSpanResult CalculateRulingSpanWith<X87Extended>(const SpanColumn&);
template std::int32_t CountValidSpansWith<X87Extended>(const SpanColumn&);
#endif

}  // namespace detail

RulingSpanResult CalculateRulingSpan(const SpanColumn& column) {
  return detail::CalculateRulingSpanWith<detail::Extended>(column);
}

std::int32_t CountValidSpans(const SpanColumn& column) {
  return detail::CountValidSpansWith<detail::Extended>(column);
}

}  // namespace korvastel
