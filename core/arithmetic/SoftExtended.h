#pragma once

// Internal to the core: x87 80-bit extended arithmetic done with integers, for
// processors whose long double is another format.
//
// A value is laid out as the x87 unit stores it: a 64-bit significand with an
// explicit integer bit and a 16-bit word holding the sign (bit 15) and a
// 15-bit exponent biased by 16383. Every operation gives the bits the x87 unit
// gives with 64-bit precision, rounding to nearest even and every exception
// masked: the exact result rounded once at 64 bits; gradual underflow into
// denormals (exponent field 0, no integer bit) below 2^-16382; infinity on
// overflow; the x87 default NaN (negative, significand 0xC000000000000000)
// for an invalid operation, and a NaN operand passed on quieted. No operation
// touches the processor's floating-point environment.
//
// Operands are values made by these operations or by FromBits of an encoding
// the x87 unit produces (no unnormals, pseudo-denormals or pseudo-NaNs).

#include <bit>
#include <cstdint>

namespace korvastel::detail {

class SoftExtended {
 public:
  // The arithmetic has no modes and raises no flags: nothing to save.
  class Scope {
   public:
    Scope() {}
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
  };

  // +0.
  constexpr SoftExtended() = default;

  // The value with these x87 bits.
  static constexpr SoftExtended FromBits(std::uint16_t signExponent, std::uint64_t significand) {
    SoftExtended value;
    value.signExponent_ = signExponent;
    value.significand_ = significand;
    return value;
  }
  // Exact: every 64-bit integer is an extended value.
  static SoftExtended FromUnsigned(std::uint64_t integer) {
    if (integer == 0) return SoftExtended();
    const int shift = std::countl_zero(integer);
    return FromBits(static_cast<std::uint16_t>(16383 + 63 - shift), integer << shift);
  }
  // Exact, as loading a double onto the x87 stack (a signalling NaN comes back quiet).
  static SoftExtended FromDouble(double value);

  std::uint16_t SignExponent() const { return signExponent_; }
  std::uint64_t Significand() const { return significand_; }

  bool IsNaN() const;
  bool IsInfinite() const;

  // Rounded to nearest even as a store to double: denormal doubles below
  // 2^-1022, infinity beyond the double range, NaN payloads cut to 52 bits.
  double ToDouble() const;
  // The same number where long double holds every extended value (the x87
  // format itself, IEEE binary128); elsewhere ToDouble().
  long double ToLongDouble() const;
  // The integer for a value that is a whole number from 0 to 2^64 - 1.
  std::uint64_t ToUnsigned() const;

  // Sign flipped, NaN included (fchs).
  SoftExtended operator-() const {
    return FromBits(static_cast<std::uint16_t>(signExponent_ ^ 0x8000), significand_);
  }

  // Exact sum rounded once; an exact zero sum is +0 unless both are -0.
  // inf - inf is the default NaN.
  friend SoftExtended operator+(SoftExtended a, SoftExtended b);
  // a + (-b), except that a NaN b is passed on with its own sign.
  friend SoftExtended operator-(SoftExtended a, SoftExtended b);
  // Exact product rounded once; 0 * inf is the default NaN.
  friend SoftExtended operator*(SoftExtended a, SoftExtended b);
  // Exact quotient rounded once; x / 0 is a signed infinity for non-zero
  // finite x; 0 / 0 and inf / inf are the default NaN.
  friend SoftExtended operator/(SoftExtended a, SoftExtended b);
  // Exact square root rounded once; sqrt(-0) is -0; below zero the default NaN.
  friend SoftExtended Sqrt(SoftExtended a);
  // The nearest whole number, ties to even, keeping the sign (frndint).
  friend SoftExtended RoundToInteger(SoftExtended a);

  // IEEE comparisons: -0 equals +0; a NaN is unordered, so only != holds.
  friend bool operator==(SoftExtended a, SoftExtended b);
  friend bool operator<(SoftExtended a, SoftExtended b);
  friend bool operator!=(SoftExtended a, SoftExtended b) { return !(a == b); }
  friend bool operator>(SoftExtended a, SoftExtended b) { return b < a; }
  friend bool operator<=(SoftExtended a, SoftExtended b) { return a < b || a == b; }
  friend bool operator>=(SoftExtended a, SoftExtended b) { return b < a || a == b; }

 private:
  std::uint64_t significand_ = 0;
  std::uint16_t signExponent_ = 0;
};

}  // namespace korvastel::detail
