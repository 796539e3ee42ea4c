#include "core/ParseSpan.h"

#include <cmath>
#include <cstdint>

#include "core/DecimalSeparator.h"
#include "core/Errors.h"
#include "core/ExtendedArithmetic.h"
#include "core/PowersOfTen.h"
#include "core/SpanValue.h"

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
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  // the text ends at its end or at its first NUL character
  bool AtEnd() const { return pos_ == text_.size() || text_[pos_] == '\0'; }
  bool Next(char c) const { return !AtEnd() && text_[pos_] == c; }
  bool NextIsDigit() const { return !AtEnd() && IsDigit(text_[pos_]); }
  char Take() { return text_[pos_++]; }
  void SkipSpaces() {
    while (Next(' ')) ++pos_;
  }
  std::string_view TakeDigits() {
    const std::size_t begin = pos_;
    while (NextIsDigit()) ++pos_;
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
  syntax.integerDigits = scanner.TakeDigits();
  bool hasSeparator = false;
  if (scanner.Next(DecimalSeparator())) {
    scanner.Take();
    hasSeparator = true;
    syntax.fractionDigits = scanner.TakeDigits();
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
bool AccumulateDigits(std::string_view digits, long double& mantissa) {
  for (const char c : digits) {
    const int digit = c - '0';
    if (mantissa == 0.0L && digit == 0) continue;  // 0 * 10 + 0 is 0 exactly: leading zeros cost nothing
    mantissa = mantissa * 10.0L;
    mantissa = mantissa + static_cast<long double>(digit);
    if (std::isinf(mantissa)) return false;
  }
  return true;
}

// Up to 19 digits every step above stays an integer below 2^64, which the
// 64-bit mantissa holds exactly, so integer arithmetic gives the same bits.
constexpr std::size_t kExactDigits = 19;

long double SmallMantissa(std::string_view integerDigits, std::string_view fractionDigits) {
  std::uint64_t mantissa = 0;
  for (const char c : integerDigits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
  for (const char c : fractionDigits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
  return static_cast<long double>(mantissa);
}

long double SpanValue(const SpanSyntax& syntax, bool& overflowed) {
  long double mantissa = 0.0L;
  if (syntax.integerDigits.size() + syntax.fractionDigits.size() <= kExactDigits) {
    mantissa = SmallMantissa(syntax.integerDigits, syntax.fractionDigits);
  } else {
    overflowed = !AccumulateDigits(syntax.integerDigits, mantissa) ||
                 !AccumulateDigits(syntax.fractionDigits, mantissa);
    if (overflowed) return mantissa;
  }
  // The written exponent is at most 4999, so only a negative exponent can
  // leave the tables; it leaves zero.
  const std::int64_t exponent =
      static_cast<std::int64_t>(syntax.exponent) - static_cast<std::int64_t>(syntax.fractionDigits.size());
  long double value = mantissa;
  if (exponent <= -kPowerOfTenLimit)
    value = 0.0L;
  else if (exponent != 0)
    value = ScaleByPowerOfTen(mantissa, static_cast<int>(exponent));
  if (syntax.negative) value = -value;  // negation last: "-0" is negative zero
  return value;
}

// In this arithmetic no invalid operation can arise (the mantissa stays
// finite, every factor is finite and non-zero) and an overflow leaves an
// infinite value behind, so the value tells what the invalid and overflow
// flags would. Underflow is accepted: "1e-4999" is zero.
bool ValueInScope(const SpanSyntax& syntax, long double& value) {
  bool overflowed = false;
  value = SpanValue(syntax, overflowed);
  return !overflowed && !std::isinf(value);
}

}  // namespace

bool TryParseSpanInScope(std::string_view text, long double& value) {
  SpanSyntax syntax;
  return ScanSpan(text, syntax) && ValueInScope(syntax, value);
}

}  // namespace detail

long double ParseSpan(std::string_view text) {
  detail::SpanSyntax syntax;
  // most texts that fail, fail on their shape: no arithmetic is needed for them
  if (!detail::ScanSpan(text, syntax)) throw EConvertError(text);
  long double value = 0.0L;
  bool valid;
  {
    detail::ExtendedArithmeticScope scope;
    valid = detail::ValueInScope(syntax, value);
  }
  if (!valid) throw EConvertError(text);
  return value;
}

}  // namespace korvastel
