#include "core/NumberFormat.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/DecimalSeparator.h"
#include "core/ExtendedArithmetic.h"
#include "core/PowersOfTen.h"

namespace korvastel {

namespace {

constexpr int kSignificantDigits = 18;

// A positive finite value as its first 18 significant decimal digits and the
// position of the decimal point: value ~ 0.d1d2...d18 * 10^pointPosition.
struct DecimalDigits {
  std::string digits;
  int pointPosition = 0;
};

// Scales the value in extended precision so that 18 digits stand before the
// point and rounds that to the nearest integer.
DecimalDigits EighteenDigits(long double value) {
  detail::ExtendedArithmeticScope scope;
  constexpr long double kLow = 1e17L;   // the smallest 18-digit integer
  constexpr long double kHigh = 1e18L;  // the smallest 19-digit integer
  int exponent = static_cast<int>(std::floor(std::log10(value)));
  long double scaled = 0.0L;
  for (int attempt = 0; attempt < 3; ++attempt) {
    scaled = std::rint(detail::ScaleByPowerOfTen(value, kSignificantDigits - 1 - exponent));
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
    result.digits = std::to_string(static_cast<std::uint64_t>(scaled));
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

std::string FormatFixed2(double value) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (value == 0.0) return std::string("0") + DecimalSeparator() + "00";  // either sign of zero
  const std::string sign = value < 0 ? "-" : "";  // kept even when the value rounds to zero
  const DecimalDigits decimal = EighteenDigits(std::fabs(static_cast<long double>(value)));
  if (decimal.pointPosition > kSignificantDigits) return sign + Scientific(decimal);
  return sign + Fixed2(decimal);
}

}  // namespace korvastel
