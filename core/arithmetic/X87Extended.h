#pragma once

// Internal to the core: the x87 unit's own 80-bit extended arithmetic, with
// the same face as SoftExtended, where the compiler's long double is the x87
// format (x86 with GCC or Clang, MinGW). KORVASTEL_HAS_X87_EXTENDED says
// whether it exists on this target.
//
// The unit computes as the program defines only in 64-bit precision with
// rounding to nearest and every exception masked: arithmetic runs inside a
// Scope, which sets that mode and afterwards puts the caller's control word
// and pending flags back exactly. Faults are read from the values, which is
// exact here: with every exception masked an overflow leaves an infinity and
// an invalid operation a NaN.

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && LDBL_MANT_DIG == 64
#define KORVASTEL_HAS_X87_EXTENDED 1
#else
#define KORVASTEL_HAS_X87_EXTENDED 0
#endif

#if KORVASTEL_HAS_X87_EXTENDED

namespace korvastel::detail {

class X87Extended {
 public:
  class Scope {
   public:
    // Every instruction here is slow next to the arithmetic it guards, so each
    // runs only when needed: the usual caller already has the wanted mode and
    // no pending flag.
    Scope() {
      const std::uint16_t status = StatusWord();
      // pending flags can only be put back through the whole environment
      restoreWholeEnvironment_ = (status & kExceptionFlags) != 0;
      if (restoreWholeEnvironment_) {
        std::fegetenv(&savedEnvironment_);
        ClearFlags();
      }
      savedControl_ = ControlWord();
      if (savedControl_ != kExtendedNearestMasked) SetControlWord(kExtendedNearestMasked);
    }
    ~Scope() {
      if (restoreWholeEnvironment_) {
        std::fesetenv(&savedEnvironment_);
        return;
      }
      if ((StatusWord() & kExceptionFlags) != 0) ClearFlags();
      if (savedControl_ != kExtendedNearestMasked) SetControlWord(savedControl_);
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    static constexpr std::uint16_t kExceptionFlags = 0x3F;  // IE DE ZE OE UE PE
    // Precision 64-bit (bits 8-9 = 11), round to nearest (bits 10-11 = 00), all masked.
    static constexpr std::uint16_t kExtendedNearestMasked = 0x037F;

    static std::uint16_t StatusWord() {
      std::uint16_t status;
      __asm__ volatile("fnstsw %0" : "=am"(status)::"memory");
      return status;
    }
    static std::uint16_t ControlWord() {
      std::uint16_t control;
      __asm__ volatile("fnstcw %0" : "=m"(control)::"memory");
      return control;
    }
    static void SetControlWord(std::uint16_t control) {
      __asm__ volatile("fldcw %0" ::"m"(control) : "memory");
    }
    static void ClearFlags() { __asm__ volatile("fnclex" ::: "memory"); }

    std::fenv_t savedEnvironment_{};
    std::uint16_t savedControl_ = 0;
    bool restoreWholeEnvironment_ = false;
  };

  constexpr X87Extended() = default;

  // The value with these x87 bits. In a constant expression only finite
  // values, which are built exactly from the significand and a power of two.
  static constexpr X87Extended FromBits(std::uint16_t signExponent, std::uint64_t significand) {
    if (std::is_constant_evaluated()) {
      const int field = signExponent & 0x7FFF;
      const long double magnitude =
          static_cast<long double>(significand) * TwoTo((field == 0 ? 1 : field) - 16383 - 63);
      return X87Extended((signExponent & 0x8000) != 0 ? -magnitude : magnitude);
    }
    long double value = 0;
    std::memcpy(&value, &significand, sizeof significand);
    std::memcpy(reinterpret_cast<unsigned char*>(&value) + sizeof significand, &signExponent,
                sizeof signExponent);
    return X87Extended(value);
  }
  // Exact, and without an arithmetic instruction, so outside a Scope too.
  static X87Extended FromUnsigned(std::uint64_t integer) {
    constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;
    if (integer < kTopBit) return X87Extended(static_cast<long double>(static_cast<std::int64_t>(integer)));
    return FromBits(16383 + 63,
                    integer);  // above 2^63 the conversion would add 2^64 in the caller's precision
  }
  static X87Extended FromDouble(double value) { return X87Extended(value); }

  std::uint16_t SignExponent() const {
    std::uint16_t signExponent;
    std::memcpy(&signExponent, reinterpret_cast<const unsigned char*>(&value_) + sizeof(std::uint64_t),
                sizeof signExponent);
    return signExponent;
  }
  std::uint64_t Significand() const {
    std::uint64_t significand;
    std::memcpy(&significand, &value_, sizeof significand);
    return significand;
  }

  bool IsNaN() const { return std::isnan(value_); }
  bool IsInfinite() const { return std::isinf(value_); }

  double ToDouble() const { return static_cast<double>(value_); }
  long double ToLongDouble() const { return value_; }
  std::uint64_t ToUnsigned() const { return static_cast<std::uint64_t>(value_); }

  X87Extended operator-() const { return X87Extended(-value_); }
  friend X87Extended operator+(X87Extended a, X87Extended b) { return X87Extended(a.value_ + b.value_); }
  friend X87Extended operator-(X87Extended a, X87Extended b) { return X87Extended(a.value_ - b.value_); }
  friend X87Extended operator*(X87Extended a, X87Extended b) { return X87Extended(a.value_ * b.value_); }
  friend X87Extended operator/(X87Extended a, X87Extended b) { return X87Extended(a.value_ / b.value_); }
  friend X87Extended Sqrt(X87Extended a) { return X87Extended(std::sqrt(a.value_)); }
  friend X87Extended RoundToInteger(X87Extended a) { return X87Extended(std::rint(a.value_)); }

  friend bool operator==(X87Extended a, X87Extended b) { return a.value_ == b.value_; }
  friend bool operator!=(X87Extended a, X87Extended b) { return a.value_ != b.value_; }
  friend bool operator<(X87Extended a, X87Extended b) { return a.value_ < b.value_; }
  friend bool operator>(X87Extended a, X87Extended b) { return a.value_ > b.value_; }
  friend bool operator<=(X87Extended a, X87Extended b) { return a.value_ <= b.value_; }
  friend bool operator>=(X87Extended a, X87Extended b) { return a.value_ >= b.value_; }

 private:
  constexpr explicit X87Extended(long double value) : value_(value) {}

  // 2^power, exactly, by squaring (for constant tables).
  static constexpr long double TwoTo(int power) {
    long double result = 1.0L;
    long double factor = power >= 0 ? 2.0L : 0.5L;
    for (unsigned left = static_cast<unsigned>(power >= 0 ? power : -power); left != 0; left >>= 1) {
      if ((left & 1) != 0) result *= factor;
      if (left > 1) factor *= factor;
    }
    return result;
  }

  long double value_ = 0.0L;
};

}  // namespace korvastel::detail

#endif
