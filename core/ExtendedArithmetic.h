#pragma once

// Internal to the core: the floating-point environment of the span arithmetic.
//
// Parsing, counting and the calculation run in x87 extended precision (64-bit
// mantissa), rounding to nearest, with every exception masked. A scope saves
// the caller's control word and pending flags and puts them back exactly, so no
// caller ever sees a changed mode or a flag raised by this code. Faults are
// read from the values, which is exact here: with every exception masked an
// overflow leaves an infinity and an invalid operation a NaN.

#include <cfenv>
#include <cstdint>

namespace korvastel::detail {

#if defined(__x86_64__) || defined(__i386__)

inline constexpr std::uint16_t kX87ExceptionFlags = 0x3F;   // IE DE ZE OE UE PE
// Precision 64-bit (bits 8-9 = 11), round to nearest (bits 10-11 = 00), all masked.
inline constexpr std::uint16_t kX87ExtendedNearestMasked = 0x037F;

inline std::uint16_t X87StatusWord() {
  std::uint16_t status;
  __asm__ volatile("fnstsw %0" : "=am"(status)::"memory");
  return status;
}
inline std::uint16_t X87ControlWord() {
  std::uint16_t control;
  __asm__ volatile("fnstcw %0" : "=m"(control)::"memory");
  return control;
}
inline void X87SetControlWord(std::uint16_t control) { __asm__ volatile("fldcw %0" ::"m"(control) : "memory"); }
inline void X87ClearFlags() { __asm__ volatile("fnclex" ::: "memory"); }

class ExtendedArithmeticScope {
 public:
  // Every instruction here is slow next to the arithmetic it guards, so each
  // runs only when needed: the usual caller already has the wanted mode and
  // no pending flag.
  ExtendedArithmeticScope() {
    const std::uint16_t status = X87StatusWord();
    // pending flags can only be put back through the whole environment
    restoreWholeEnvironment_ = (status & kX87ExceptionFlags) != 0;
    if (restoreWholeEnvironment_) {
      std::fegetenv(&savedEnvironment_);
      X87ClearFlags();
    }
    savedControl_ = X87ControlWord();
    if (savedControl_ != kX87ExtendedNearestMasked) X87SetControlWord(kX87ExtendedNearestMasked);
  }
  ~ExtendedArithmeticScope() {
    if (restoreWholeEnvironment_) {
      std::fesetenv(&savedEnvironment_);
      return;
    }
    if ((X87StatusWord() & kX87ExceptionFlags) != 0) X87ClearFlags();
    if (savedControl_ != kX87ExtendedNearestMasked) X87SetControlWord(savedControl_);
  }
  ExtendedArithmeticScope(const ExtendedArithmeticScope&) = delete;
  ExtendedArithmeticScope& operator=(const ExtendedArithmeticScope&) = delete;

 private:
  std::fenv_t savedEnvironment_{};
  std::uint16_t savedControl_ = 0;
  bool restoreWholeEnvironment_ = false;
};

#else  // other processors: the same contract through <cfenv>

class ExtendedArithmeticScope {
 public:
  ExtendedArithmeticScope() {
    std::feholdexcept(&savedEnvironment_);
    std::fesetround(FE_TONEAREST);
  }
  ~ExtendedArithmeticScope() { std::fesetenv(&savedEnvironment_); }
  ExtendedArithmeticScope(const ExtendedArithmeticScope&) = delete;
  ExtendedArithmeticScope& operator=(const ExtendedArithmeticScope&) = delete;

 private:
  std::fenv_t savedEnvironment_{};
};

#endif

}  // namespace korvastel::detail
