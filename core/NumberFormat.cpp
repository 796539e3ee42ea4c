#include "core/NumberFormat.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/DecimalSeparator.h"
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/ExtendedArithmetic.h"
#include "core/arithmetic/PowersOfTen.h"

namespace korvastel {

namespace {

constexpr int kSignificantDigits = 18;

// A positive finite value as its first 18 significant decimal digits and the
// position of the decimal point: value ~ 0.d1d2...d18 * 10^pointPosition.
struct DecimalDigits {
  std::string digits;
  int pointPosition = 0;
};

// A whole number in 32-bit digits, least significant first: just enough to
// compare a double with a power of ten exactly.
using WholeNumber = std::vector<std::uint32_t>;

void MultiplyBy(WholeNumber& number, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint32_t& digit : number) {
    carry += static_cast<std::uint64_t>(digit) * factor;
    digit = static_cast<std::uint32_t>(carry);
    carry >>= 32;
  }
  if (carry != 0) number.push_back(static_cast<std::uint32_t>(carry));
}

void MultiplyByPowerOfTen(WholeNumber& number, int exponent) {
  for (; exponent >= 9; exponent -= 9) MultiplyBy(number, 1'000'000'000u);
  std::uint32_t rest = 1;
  for (; exponent > 0; --exponent) rest *= 10;
  MultiplyBy(number, rest);
}

void MultiplyByPowerOfTwo(WholeNumber& number, int exponent) {
  number.insert(number.begin(), static_cast<std::size_t>(exponent / 32), 0u);
  MultiplyBy(number, std::uint32_t{1} << (exponent % 32));
}

bool AtLeast(WholeNumber a, WholeNumber b) {
  while (!a.empty() && a.back() == 0) a.pop_back();
  while (!b.empty() && b.back() == 0) b.pop_back();
  if (a.size() != b.size()) return a.size() > b.size();
  return !std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

// significand * 2^binary >= 10^decimal, decided in whole numbers.
bool AtLeastPowerOfTen(std::uint64_t significand, int binary, int decimal) {
  WholeNumber left{static_cast<std::uint32_t>(significand), static_cast<std::uint32_t>(significand >> 32)};
  WholeNumber right{1};
  MultiplyByPowerOfTwo(binary >= 0 ? left : right, binary >= 0 ? binary : -binary);
  MultiplyByPowerOfTen(decimal >= 0 ? right : left, decimal >= 0 ? decimal : -decimal);
  return AtLeast(left, right);
}

// floor(log10(value)) for a positive finite double, exactly. The binary
// exponent b gives floor(b log10 2), which is the answer or one below it; one
// comparison with a power of ten settles which.
int DecimalExponentOf(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int field = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t significand = field == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int binary = (field == 0 ? 1 : field) - 1075;  // value = significand * 2^binary
  const int topBit = binary + static_cast<int>(std::bit_width(significand)) - 1;
  const int estimate = (topBit * 78913) >> 18;  // floor(topBit * log10 2) for |topBit| <= 1650
  return AtLeastPowerOfTen(significand, binary, estimate + 1) ? estimate + 1 : estimate;
}

// Scales the value in extended precision so that 18 digits stand before the
// point and rounds that to the nearest integer.
template <class Extended>
DecimalDigits EighteenDigits(double value) {
  typename Extended::Scope scope;
  const Extended kLow = Extended::FromUnsigned(100'000'000'000'000'000u);     // the smallest 18-digit integer
  const Extended kHigh = Extended::FromUnsigned(1'000'000'000'000'000'000u);  // the smallest 19-digit integer
  const Extended extended = Extended::FromDouble(value);
  int exponent = DecimalExponentOf(value);
  Extended scaled;
  // the table factors round, so the scaled value may still fall just outside
  for (int attempt = 0; attempt < 3; ++attempt) {
    scaled = RoundToInteger(detail::ScaleByPowerOfTen(extended, kSignificantDigits - 1 - exponent));
    if (scaled < kLow) {
      --exponent;
    } else if (scaled > kHigh) {
      ++exponent;
    } else {
      break;
    }
  }
  DecimalDigits result;
  if (scaled >= kHigh) {  // rounded up to a power of ten: one digit more before the point
    result.digits = "1" + std::string(kSignificantDigits - 1, '0');
    result.pointPosition = exponent + 2;
  } else {
    result.digits = std::to_string(scaled.ToUnsigned());
    result.pointPosition = exponent + 1;
  }
  return result;
}

// Adds one unit in the last place of a digit string; true when it carried out
// of the first digit ("99" -> "00").
bool IncrementDigits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return false;
    }
    *it = '0';
  }
  return true;
}

// 1e18 and above: d.dddE+NN with the 18 digits, trailing zeros dropped.
std::string Scientific(const DecimalDigits& decimal) {
  std::string mantissa = decimal.digits;
  mantissa.erase(mantissa.find_last_not_of('0') + 1);
  std::string text(1, mantissa[0]);
  if (mantissa.size() > 1) text += DecimalSeparator() + mantissa.substr(1);
  return text + "E+" + std::to_string(decimal.pointPosition - 1);
}

// Cuts at the second decimal, half away from zero on the digit string.
std::string Fixed2(DecimalDigits decimal) {
  const int kept = decimal.pointPosition + 2;  // digits up to the second decimal
  std::string digits;
  if (kept >= 0) {
    digits = decimal.digits.substr(0, static_cast<std::size_t>(std::min(kept, kSignificantDigits)));
    digits.resize(static_cast<std::size_t>(kept), '0');
    const bool roundUp = kept < kSignificantDigits && decimal.digits[static_cast<std::size_t>(kept)] >= '5';
    if (roundUp && IncrementDigits(digits)) digits.insert(digits.begin(), '1');
  }
  // at least one integer digit and exactly two decimals
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits.substr(0, digits.size() - 2) + DecimalSeparator() + digits.substr(digits.size() - 2);
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

namespace detail {

template <class Extended>
std::string FormatFixed2With(double value) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (value == 0.0) return std::string("0") + DecimalSeparator() + "00";  // either sign of zero
  const std::string sign = value < 0 ? "-" : "";  // kept even when the value rounds to zero
  const DecimalDigits decimal = EighteenDigits<Extended>(std::fabs(value));
  if (decimal.pointPosition > kSignificantDigits) return sign + Scientific(decimal);
  return sign + Fixed2(decimal);
}

template std::string FormatFixed2With<SoftExtended>(double);
#if KORVASTEL_HAS_X87_EXTENDED
template std::string FormatFixed2With<X87Extended>(double);
#endif

}  // namespace detail

std::string FormatFixed2(double value) { return detail::FormatFixed2With<detail::Extended>(value); }

}  // namespace korvastel
