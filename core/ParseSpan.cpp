#include "core/ParseSpan.h"

#include <cstdint>

#include "core/DecimalSeparator.h"
#include "core/Errors.h"
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/ExtendedArithmetic.h"
#include "core/arithmetic/PowersOfTen.h"

namespace korvastel {

namespace detail {

namespace {

// The pieces of a text that has the shape of a span; the value is built from
// them only once the whole text is known to be well formed.
struct SpanSyntax {
  bool negative = false;
  std::string_view integerDigits;
  std::string_view fractionDigits;
  int exponent = 0;  // the written exponent X, signed
  // all digits as one integer, read along: exact up to 19 digits (below
  // 10^19 < 2^64), meaningless beyond
  std::uint64_t smallMantissa = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  // the text ends at its end or at its first NUL character, which no test
  // below takes for anything (the separator is never NUL)
  bool AtEnd() const { return pos_ == text_.size() || text_[pos_] == '\0'; }
  bool Next(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool NextIsDigit() const { return pos_ < text_.size() && IsDigit(text_[pos_]); }
  char Take() { return text_[pos_++]; }
  void SkipSpaces() {
    while (Next(' ')) ++pos_;
  }
  // the digits, also added to `number` (number * 10 + digit, wrapping)
  std::string_view TakeDigits(std::uint64_t& number) {
    const std::size_t begin = pos_;
    for (; NextIsDigit(); ++pos_) number = number * 10 + static_cast<std::uint64_t>(text_[pos_] - '0');
    return text_.substr(begin, pos_ - begin);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Exponent digits are taken only while the value read so far is below 500;
// any digit left over then fails the end test, so "1e0500" reads but
// "1e5000" does not.
int TakeExponent(Scanner& scanner) {
  bool negative = false;
  if (scanner.Next('+') || scanner.Next('-')) negative = scanner.Take() == '-';
  int exponent = 0;
  while (exponent < 500 && scanner.NextIsDigit()) exponent = exponent * 10 + (scanner.Take() - '0');
  return negative ? -exponent : exponent;
}

bool ScanSpan(std::string_view text, SpanSyntax& syntax) {
  Scanner scanner(text);
  scanner.SkipSpaces();  // only the space is a blank: a tab is text
  if (scanner.Next('+') || scanner.Next('-')) syntax.negative = scanner.Take() == '-';
  syntax.integerDigits = scanner.TakeDigits(syntax.smallMantissa);
  bool hasSeparator = false;
  const char separator = DecimalSeparator();
  if (separator != '\0' && scanner.Next(separator)) {
    scanner.Take();
    hasSeparator = true;
    syntax.fractionDigits = scanner.TakeDigits(syntax.smallMantissa);
  }
  // a lone separator counts as a number: "." and "-." are zero
  if (syntax.integerDigits.empty() && !hasSeparator) return false;
  if (scanner.Next('E') || scanner.Next('e')) {
    scanner.Take();
    syntax.exponent = TakeExponent(scanner);
  }
  scanner.SkipSpaces();
  return scanner.AtEnd();
}

// mantissa * 10 + digit, rounding after the product and again after the sum:
// the extended unit has no fused multiply-add. Returns false once the
// mantissa has overflowed, which fails the parse whatever follows.
template <class Extended>
bool AccumulateDigits(std::string_view digits, Extended& mantissa) {
  const Extended ten = Extended::FromUnsigned(10);
  for (const char c : digits) {
    const int digit = c - '0';
    if (mantissa == Extended() && digit == 0)
      continue;  // 0 * 10 + 0 is 0 exactly: leading zeros cost nothing
    mantissa = mantissa * ten;
    mantissa = mantissa + Extended::FromUnsigned(static_cast<std::uint64_t>(digit));
    if (mantissa.IsInfinite()) return false;
  }
  return true;
}

// Up to 19 digits every step above stays an integer below 2^64, which the
// 64-bit mantissa holds exactly, so integer arithmetic (the scan's
// smallMantissa) gives the same bits.
constexpr std::size_t kExactDigits = 19;

// The decimal exponent E = X - F.
std::int64_t DecimalExponent(const SpanSyntax& syntax) {
  return static_cast<std::int64_t>(syntax.exponent) - static_cast<std::int64_t>(syntax.fractionDigits.size());
}

// Every table factor up to 10^27 is exact.
constexpr int kExactFactors = 27;

// A span of up to 19 digits with |E| up to 27 is an exact mantissa times or
// over one exact factor, rounded once. That one rounding is done with
// integers, by the software arithmetic, which gives the x87 unit's bits: on
// the x87 unit the same division raises its inexact flag, and clearing that
// again costs several times the arithmetic. So a single text of this kind
// needs no arithmetic scope.
bool RoundsOnce(const SpanSyntax& syntax) {
  if (syntax.integerDigits.size() + syntax.fractionDigits.size() > kExactDigits) return false;
  const std::int64_t exponent = DecimalExponent(syntax);
  return exponent >= -kExactFactors && exponent <= kExactFactors;
}

SoftExtended OneRoundingValue(const SpanSyntax& syntax) {
  const SoftExtended mantissa = SoftExtended::FromUnsigned(syntax.smallMantissa);
  const auto exponent = static_cast<int>(DecimalExponent(syntax));
  const SoftExtended value = exponent == 0 ? mantissa : ScaleByPowerOfTen(mantissa, exponent);
  return syntax.negative ? -value : value;  // "-0" is negative zero
}

// The defined arithmetic: the mantissa accumulated digit by digit, scaled by
// up to three table factors, each step rounded; then the sign. Returns false
// on overflow. Runs in an ExtendedArithmeticScope.
//
// In this arithmetic no invalid operation can arise (the mantissa stays
// finite, every factor is finite and non-zero) and an overflow leaves an
// infinite value behind, so the value tells what the invalid and overflow
// flags would. Underflow is accepted: "1e-4999" is zero.
template <class Extended>
bool RoundedSpanValue(const SpanSyntax& syntax, Extended& value) {
  Extended mantissa;
  if (syntax.integerDigits.size() + syntax.fractionDigits.size() <= kExactDigits) {
    mantissa = Extended::FromUnsigned(syntax.smallMantissa);
  } else if (!AccumulateDigits(syntax.integerDigits, mantissa) ||
             !AccumulateDigits(syntax.fractionDigits, mantissa)) {
    return false;
  }
  // The written exponent is at most 4999, so only a negative exponent can
  // leave the tables; it leaves zero.
  const std::int64_t exponent = DecimalExponent(syntax);
  value = mantissa;
  if (exponent <= -kPowerOfTenLimit)
    value = Extended();
  else if (exponent != 0)
    value = ScaleByPowerOfTen(mantissa, static_cast<int>(exponent));
  if (syntax.negative) value = -value;  // negation last: "-0" is negative zero
  return !value.IsInfinite();
}

}  // namespace

template <class Extended>
bool TryParseSpanInScope(std::string_view text, Extended& value) {
  SpanSyntax syntax;
  if (!ScanSpan(text, syntax)) return false;
  if (RoundsOnce(syntax)) {
    const SoftExtended once = OneRoundingValue(syntax);
    value = Extended::FromBits(once.SignExponent(), once.Significand());
    return true;
  }
  return RoundedSpanValue(syntax, value);
}

template <class Extended>
long double ParseSpanWith(std::string_view text) {
  SpanSyntax syntax;
  // most texts that fail, fail on their shape: no arithmetic is needed for them
  if (!ScanSpan(text, syntax)) throw EConvertError(text);
  if (RoundsOnce(syntax)) return OneRoundingValue(syntax).ToLongDouble();
  Extended value;
  bool valid;
  {
    typename Extended::Scope scope;
    valid = RoundedSpanValue(syntax, value);
  }
  if (!valid) throw EConvertError(text);
  return value.ToLongDouble();
}

template bool TryParseSpanInScope(std::string_view, SoftExtended&);
template long double ParseSpanWith<SoftExtended>(std::string_view);
#if KORVASTEL_HAS_X87_EXTENDED
template bool TryParseSpanInScope(std::string_view, X87Extended&);
template long double ParseSpanWith<X87Extended>(std::string_view);
#endif

}  // namespace detail

long double ParseSpan(std::string_view text) { return detail::ParseSpanWith<detail::Extended>(text); }

}  // namespace korvastel
