#include "core/arithmetic/SoftExtended.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "core/arithmetic/WideInteger.h"

namespace korvastel::detail {

namespace {

constexpr int kBias = 16383;
constexpr int kMaxExponentField = 0x7FFF;
constexpr std::uint16_t kSignBit = 0x8000;
constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 62;
constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;  // of the bits below the last place

// Shifts right by count, folding every bit shifted out into the lowest bit,
// which keeps "exactly" and "a little more" apart for the rounding.
void ShiftRightJamming(Wide& value, int count) {
  if (count <= 0) return;
  if (count < 64) {
    const bool lost = (value.low << (64 - count)) != 0;
    value.low = (value.low >> count) | (value.high << (64 - count)) | (lost ? 1u : 0u);
    value.high >>= count;
  } else if (count < 128) {
    const bool lost = value.low != 0 || (count > 64 && (value.high << (128 - count)) != 0);
    value.low = (count == 64 ? value.high : value.high >> (count - 64)) | (lost ? 1u : 0u);
    value.high = 0;
  } else {
    value.low = (value.high | value.low) != 0 ? 1u : 0u;
    value.high = 0;
  }
}

// A finite non-zero value as significand * 2^(exponent - kBias - 63) with the
// significand's top bit set; a denormal gets an exponent of 0 or below.
struct Unpacked {
  bool negative;
  int exponent;
  std::uint64_t significand;
};

bool IsNegative(std::uint16_t signExponent) { return (signExponent & kSignBit) != 0; }
int ExponentField(std::uint16_t signExponent) { return signExponent & kMaxExponentField; }

Unpacked Unpack(SoftExtended value) {
  const std::uint16_t signExponent = value.SignExponent();
  int exponent = ExponentField(signExponent);
  std::uint64_t significand = value.Significand();
  if (exponent == 0) {  // a denormal: value = significand * 2^(1 - kBias - 63)
    const int shift = std::countl_zero(significand);
    significand <<= shift;
    exponent = 1 - shift;
  }
  return {IsNegative(signExponent), exponent, significand};
}

std::uint16_t SignWord(bool negative) { return negative ? kSignBit : std::uint16_t{0}; }

SoftExtended Zero(bool negative) { return SoftExtended::FromBits(SignWord(negative), 0); }
SoftExtended Infinity(bool negative) {
  return SoftExtended::FromBits(static_cast<std::uint16_t>(SignWord(negative) | kMaxExponentField),
                                kIntegerBit);
}
// What the x87 unit writes for an invalid operation ("real indefinite").
SoftExtended DefaultNaN() {
  return SoftExtended::FromBits(kSignBit | kMaxExponentField, kIntegerBit | kQuietBit);
}

bool IsZero(SoftExtended value) {
  return ExponentField(value.SignExponent()) == 0 && value.Significand() == 0;
}

SoftExtended Quiet(SoftExtended nan) {
  return SoftExtended::FromBits(nan.SignExponent(), nan.Significand() | kQuietBit);
}

// The NaN an operation on a NaN gives: a quiet NaN before a signalling one,
// else the one with the larger significand, the positive one on a tie; quieted.
SoftExtended PropagateNaN(SoftExtended a, SoftExtended b) {
  if (!a.IsNaN()) return Quiet(b);
  if (!b.IsNaN()) return Quiet(a);
  const bool aQuiet = (a.Significand() & kQuietBit) != 0, bQuiet = (b.Significand() & kQuietBit) != 0;
  if (aQuiet != bQuiet) return aQuiet ? a : b;
  if (a.Significand() != b.Significand()) return Quiet(a.Significand() > b.Significand() ? a : b);
  return Quiet(IsNegative(a.SignExponent()) ? b : a);
}

// Rounds significand.rest (the bits below the last place in rest, anything
// further jammed into its lowest bit) to nearest even and packs it. An
// exponent of 0 or below is first shifted to the denormals' fixed last place;
// an exponent that reaches the field's top gives infinity.
SoftExtended RoundAndPack(bool negative, int exponent, std::uint64_t significand, std::uint64_t rest) {
  if (exponent <= 0) {
    Wide wide{significand, rest};
    ShiftRightJamming(wide, 1 - exponent);
    significand = wide.high;
    rest = wide.low;
    exponent = 0;
  }
  if (rest > kHalf || (rest == kHalf && (significand & 1) != 0)) {
    ++significand;
    if (significand == 0) {  // carried out of the top: one binade up
      significand = kIntegerBit;
      ++exponent;
    } else if (exponent == 0 && (significand & kIntegerBit) != 0) {
      exponent = 1;  // the largest denormal rounded up to the smallest normal
    }
  }
  if (exponent >= kMaxExponentField) return Infinity(negative);
  return SoftExtended::FromBits(static_cast<std::uint16_t>(SignWord(negative) | exponent), significand);
}

// value / 2^count rounded to nearest even, for count >= 1.
std::uint64_t ShiftRightRounding(std::uint64_t value, int count) {
  Wide wide{value, 0};
  ShiftRightJamming(wide, count);
  const bool up = wide.low > kHalf || (wide.low == kHalf && (wide.high & 1) != 0);
  return wide.high + (up ? 1u : 0u);
}

// Adds or subtracts magnitudes: the result takes the sign of the larger.
SoftExtended AddFinite(Unpacked a, Unpacked b) {
  if (a.exponent < b.exponent || (a.exponent == b.exponent && a.significand < b.significand)) std::swap(a, b);
  Wide larger{a.significand, 0};
  Wide smaller{b.significand, 0};
  ShiftRightJamming(smaller, a.exponent - b.exponent);
  int exponent = a.exponent;
  if (a.negative == b.negative) {
    const std::uint64_t low = larger.low + smaller.low;
    const std::uint64_t carryIn = low < larger.low ? 1u : 0u;
    const std::uint64_t high = larger.high + smaller.high + carryIn;
    Wide sum{high, low};
    if (high < larger.high || (high == larger.high && carryIn != 0)) {  // carried past bit 127
      ShiftRightJamming(sum, 1);
      sum.high |= kIntegerBit;
      ++exponent;
    }
    return RoundAndPack(a.negative, exponent, sum.high, sum.low);
  }
  Wide difference{larger.high - smaller.high - (larger.low < smaller.low ? 1u : 0u),
                  larger.low - smaller.low};
  if (difference.high == 0 && difference.low == 0) return Zero(false);  // x - x is +0
  // Only an alignment of 0 or 1 can cancel more than one bit, and then
  // nothing was jammed: the shift below moves in exact zeros.
  const int shift =
      difference.high != 0 ? std::countl_zero(difference.high) : 64 + std::countl_zero(difference.low);
  if (shift >= 64) {
    difference = {difference.low << (shift - 64), 0};
  } else if (shift > 0) {
    difference = {(difference.high << shift) | (difference.low >> (64 - shift)), difference.low << shift};
  }
  return RoundAndPack(a.negative, exponent - shift, difference.high, difference.low);
}

// The integer square root of a 128-bit number and its remainder, a bit at a time.
std::uint64_t SquareRootWide(Wide radicand, Wide& remainder) {
  Wide root{0, 0};
  Wide bit{std::uint64_t{1} << 62, 0};  // the largest power of four below 2^128
  for (int step = 0; step < 64; ++step) {
    // trial = root + bit; no carry as the bits of root and bit never overlap
    const Wide trial{root.high | bit.high, root.low | bit.low};
    // root = root / 2, then + bit when the trial fits
    root = {root.high >> 1, (root.low >> 1) | (root.high << 63)};
    if (radicand.high > trial.high || (radicand.high == trial.high && radicand.low >= trial.low)) {
      radicand = {radicand.high - trial.high - (radicand.low < trial.low ? 1u : 0u),
                  radicand.low - trial.low};
      root = {root.high | bit.high, root.low | bit.low};
    }
    bit = {bit.high >> 2, (bit.low >> 2) | (bit.high << 62)};
  }
  remainder = radicand;
  return root.low;
}

}  // namespace

SoftExtended SoftExtended::FromDouble(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (exponent == 0x7FF) {
    if (fraction == 0) return Infinity(negative);
    return FromBits(static_cast<std::uint16_t>(SignWord(negative) | kMaxExponentField),
                    kIntegerBit | kQuietBit | (fraction << 11));
  }
  if (exponent == 0) {
    if (fraction == 0) return Zero(negative);
    // a denormal double, fraction * 2^-1074, is a normal extended value
    const int shift = std::countl_zero(fraction);
    return FromBits(static_cast<std::uint16_t>(SignWord(negative) | (kBias - 1074 + 63 - shift)),
                    fraction << shift);
  }
  return FromBits(static_cast<std::uint16_t>(SignWord(negative) | (exponent - 1023 + kBias)),
                  kIntegerBit | (fraction << 11));
}

bool SoftExtended::IsNaN() const {
  return ExponentField(signExponent_) == kMaxExponentField && (significand_ & ~kIntegerBit) != 0;
}

bool SoftExtended::IsInfinite() const {
  return ExponentField(signExponent_) == kMaxExponentField && (significand_ & ~kIntegerBit) == 0;
}

double SoftExtended::ToDouble() const {
  const bool negative = IsNegative(signExponent_);
  const std::uint64_t sign = negative ? std::uint64_t{1} << 63 : 0;
  constexpr std::uint64_t kInfinityBits = std::uint64_t{0x7FF} << 52;
  if (IsNaN())
    return std::bit_cast<double>(sign | kInfinityBits | (((significand_ | kQuietBit) & ~kIntegerBit) >> 11));
  if (IsInfinite()) return std::bit_cast<double>(sign | kInfinityBits);
  if (IsZero(*this)) return std::bit_cast<double>(sign);
  const Unpacked value = Unpack(*this);
  const int exponent = value.exponent - kBias;  // value = significand * 2^(exponent - 63)
  if (exponent >= -1022) {
    std::uint64_t significand = ShiftRightRounding(value.significand, 11);
    int biased = exponent + 1023;
    if (significand == std::uint64_t{1} << 53) {  // rounded up to the next binade
      significand >>= 1;
      ++biased;
    }
    if (biased >= 0x7FF) return std::bit_cast<double>(sign | kInfinityBits);
    return std::bit_cast<double>(sign | (static_cast<std::uint64_t>(biased) << 52) |
                                 (significand & ((std::uint64_t{1} << 52) - 1)));
  }
  // a denormal double keeps the last place 2^-1074; rounding up into the
  // smallest normal carries into the exponent field by itself
  return std::bit_cast<double>(sign | ShiftRightRounding(value.significand, 11 + (-1022 - exponent)));
}

long double SoftExtended::ToLongDouble() const {
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && (defined(__x86_64__) || defined(__i386__))
  // the x87 format itself, little-endian: the same bits, and no arithmetic
  // that the caller's precision setting could round
  static_assert(sizeof(long double) >= sizeof(std::uint64_t) + sizeof(std::uint16_t));
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand_, sizeof significand_);
  std::memcpy(bytes + sizeof significand_, &signExponent_, sizeof signExponent_);
  return std::bit_cast<long double>(bytes);
#elif LDBL_MANT_DIG >= 64 && LDBL_MAX_EXP >= 16384 && LDBL_MIN_EXP - LDBL_MANT_DIG <= -16445
  // wider (IEEE binary128): every step below is exact, so it neither rounds
  // nor raises a flag
  const bool negative = IsNegative(signExponent_);
  if (IsNaN())
    return negative ? -std::numeric_limits<long double>::quiet_NaN()
                    : std::numeric_limits<long double>::quiet_NaN();
  if (IsInfinite())
    return negative ? -std::numeric_limits<long double>::infinity()
                    : std::numeric_limits<long double>::infinity();
  const int exponent = ExponentField(signExponent_) == 0 ? 1 : ExponentField(signExponent_);
  const long double magnitude = std::ldexp(static_cast<long double>(significand_), exponent - kBias - 63);
  return negative ? -magnitude : magnitude;
#else
  // long double is double (Microsoft's compiler): the nearest double
  return ToDouble();
#endif
}

std::uint64_t SoftExtended::ToUnsigned() const {
  if (IsZero(*this)) return 0;
  const Unpacked value = Unpack(*this);
  return value.significand >> (63 - (value.exponent - kBias));
}

SoftExtended operator+(SoftExtended a, SoftExtended b) {
  if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
  const bool aNegative = IsNegative(a.SignExponent()), bNegative = IsNegative(b.SignExponent());
  if (a.IsInfinite()) return b.IsInfinite() && aNegative != bNegative ? DefaultNaN() : a;
  if (b.IsInfinite()) return b;
  if (IsZero(a)) return IsZero(b) ? Zero(aNegative && bNegative) : b;
  if (IsZero(b)) return a;
  return AddFinite(Unpack(a), Unpack(b));
}

SoftExtended operator-(SoftExtended a, SoftExtended b) {
  if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
  return a + -b;
}

SoftExtended operator*(SoftExtended a, SoftExtended b) {
  if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
  const bool negative = IsNegative(a.SignExponent()) != IsNegative(b.SignExponent());
  if (a.IsInfinite() || b.IsInfinite()) return IsZero(a) || IsZero(b) ? DefaultNaN() : Infinity(negative);
  if (IsZero(a) || IsZero(b)) return Zero(negative);
  const Unpacked x = Unpack(a), y = Unpack(b);
  Wide product = MultiplyWide(x.significand, y.significand);  // in [2^126, 2^128)
  int exponent = x.exponent + y.exponent - kBias + 1;
  if ((product.high & kIntegerBit) == 0) {
    product = {(product.high << 1) | (product.low >> 63), product.low << 1};
    --exponent;
  }
  return RoundAndPack(negative, exponent, product.high, product.low);
}

SoftExtended operator/(SoftExtended a, SoftExtended b) {
  if (a.IsNaN() || b.IsNaN()) return PropagateNaN(a, b);
  const bool negative = IsNegative(a.SignExponent()) != IsNegative(b.SignExponent());
  if (a.IsInfinite()) return b.IsInfinite() ? DefaultNaN() : Infinity(negative);
  if (b.IsInfinite()) return Zero(negative);
  if (IsZero(b)) return IsZero(a) ? DefaultNaN() : Infinity(negative);
  if (IsZero(a)) return Zero(negative);
  const Unpacked x = Unpack(a), y = Unpack(b);
  // a 64-bit quotient with its top bit set: x.significand * 2^63 or * 2^64
  // over y.significand; the remainder alone decides the rounding
  const bool shifted = x.significand >= y.significand;
  const std::uint64_t high = shifted ? x.significand >> 1 : x.significand;
  const std::uint64_t low = shifted ? x.significand << 63 : 0;
  std::uint64_t remainder = 0;
  const std::uint64_t quotient = DivideWide(high, low, y.significand, remainder);
  const std::uint64_t complement = y.significand - remainder;  // remainder vs half the divisor
  const std::uint64_t rest = remainder == 0            ? 0
                             : remainder > complement  ? kHalf | 1
                             : remainder == complement ? kHalf
                                                       : 1;
  return RoundAndPack(negative, x.exponent - y.exponent + kBias - (shifted ? 0 : 1), quotient, rest);
}

SoftExtended Sqrt(SoftExtended a) {
  if (a.IsNaN()) return Quiet(a);
  if (IsZero(a)) return a;
  if (IsNegative(a.SignExponent())) return DefaultNaN();
  if (a.IsInfinite()) return a;
  const Unpacked x = Unpack(a);
  // value = significand * 2^power; the radicand takes 63 or 64 more bits so
  // that the power left over is even and the root has 64 bits
  const int power = x.exponent - kBias - 63;
  const bool odd = ((power - 64) & 1) != 0;
  const Wide radicand = odd ? Wide{x.significand >> 1, x.significand << 63} : Wide{x.significand, 0};
  Wide remainder;
  const std::uint64_t root = SquareRootWide(radicand, remainder);
  // sqrt(radicand) is never exactly root + 1/2; it lies above iff the
  // remainder, radicand - root^2, exceeds root
  const bool above = remainder.high != 0 || remainder.low > root;
  const std::uint64_t rest = above ? kHalf | 1 : (remainder.low != 0 ? 1 : 0);
  const int rootPower = (power - (odd ? 63 : 64)) / 2;
  return RoundAndPack(false, rootPower + kBias + 63, root, rest);
}

SoftExtended RoundToInteger(SoftExtended a) {
  if (a.IsNaN()) return Quiet(a);
  if (a.IsInfinite() || IsZero(a)) return a;
  const Unpacked x = Unpack(a);
  const int fractionBits = 63 - (x.exponent - kBias);
  if (fractionBits <= 0) return a;  // already whole
  const std::uint64_t integer = ShiftRightRounding(x.significand, fractionBits);
  if (integer == 0) return Zero(x.negative);
  const SoftExtended magnitude = SoftExtended::FromUnsigned(integer);
  return x.negative ? -magnitude : magnitude;
}

bool operator==(SoftExtended a, SoftExtended b) {
  if (a.IsNaN() || b.IsNaN()) return false;
  if (IsZero(a) && IsZero(b)) return true;
  return a.SignExponent() == b.SignExponent() && a.Significand() == b.Significand();
}

bool operator<(SoftExtended a, SoftExtended b) {
  if (a.IsNaN() || b.IsNaN()) return false;
  if (IsZero(a) && IsZero(b)) return false;
  const bool aNegative = IsNegative(a.SignExponent()), bNegative = IsNegative(b.SignExponent());
  if (aNegative != bNegative) return aNegative;
  // for the encodings the arithmetic makes, exponent field then significand
  // orders the magnitudes, denormals (field 0) below the normals
  const int aExponent = ExponentField(a.SignExponent()), bExponent = ExponentField(b.SignExponent());
  const bool smallerMagnitude =
      aExponent != bExponent ? aExponent < bExponent : a.Significand() < b.Significand();
  const bool sameMagnitude = aExponent == bExponent && a.Significand() == b.Significand();
  return !sameMagnitude && (aNegative ? !smallerMagnitude : smallerMagnitude);
}

}  // namespace korvastel::detail
