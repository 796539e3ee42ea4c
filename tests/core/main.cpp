// The core's test program. Besides running the tests it checks that none of
// them leaves the floating-point environment or the decimal separator changed:
// the parser and the calculation promise to put both back.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <cstring>

#include "core/Core.h"

namespace {

// The rounding mode, and on x86 the whole x87 control word (precision too).
unsigned ControlWord() {
#if defined(__x86_64__) || defined(__i386__)
  std::uint16_t cw = 0;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
#else
  return static_cast<unsigned>(std::fegetround());
#endif
}

// The flags C names. MinGW's FE_ALL_EXCEPT also holds the denormal-operand
// flag, which glibc's leaves out and which comparing a denormal double raises.
constexpr int kCheckedFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW | FE_INEXACT;

class EnvironmentGuardListener : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    std::fegetenv(&env_);
    controlWord_ = ControlWord();
    flags_ = std::fetestexcept(kCheckedFlags);
    separator_ = korvastel::DecimalSeparator();
  }
  void OnTestEnd(const testing::TestInfo& info) override {
    EXPECT_EQ(ControlWord(), controlWord_) << info.name() << " changed the floating-point control word";
    EXPECT_EQ(std::fetestexcept(kCheckedFlags), flags_)
        << info.name() << " left floating-point flags changed";
    EXPECT_EQ(korvastel::DecimalSeparator(), separator_)
        << info.name() << " left the decimal separator changed";
    std::fesetenv(&env_);
    std::feclearexcept(FE_ALL_EXCEPT & ~flags_);  // MinGW's fesetenv leaves the SSE flags alone
    korvastel::SetDecimalSeparator(separator_);
  }

  std::fenv_t env_{};
  unsigned controlWord_ = 0;
  int flags_ = 0;
  char separator_ = '.';
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new EnvironmentGuardListener);
  return RUN_ALL_TESTS();
}
