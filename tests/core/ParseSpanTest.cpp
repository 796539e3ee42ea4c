#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/Core.h"

using korvastel::EConvertError;
using korvastel::ParseSpan;

namespace {

// Bit-for-bit equality of two extended values (sign of zero included).
bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

::testing::AssertionResult Parses(const std::string& text, long double expected) {
  try {
    const long double value = ParseSpan(text);
    if (SameBits(value, expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "'" << text << "' parsed as " << value << ", expected " << expected;
  } catch (const EConvertError& e) {
    return ::testing::AssertionFailure() << "'" << text << "' was rejected: " << e.what();
  }
}

::testing::AssertionResult Rejects(const std::string& text) {
  try {
    const long double value = ParseSpan(text);
    return ::testing::AssertionFailure() << "'" << text << "' parsed as " << value;
  } catch (const EConvertError& e) {
    const std::string expected = "'" + text + "' is not a valid floating point value";
    if (e.what() != expected) return ::testing::AssertionFailure() << "message: " << e.what();
    return ::testing::AssertionSuccess();
  }
}

#define EXPECT_PARSE(text, value) EXPECT_TRUE(Parses(text, value))
#define EXPECT_NO_PARSE(text) EXPECT_TRUE(Rejects(text))

class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) : saved_(korvastel::DecimalSeparator()) {
    korvastel::SetDecimalSeparator(separator);
  }
  ~SeparatorScope() { korvastel::SetDecimalSeparator(saved_); }

 private:
  char saved_;
};

// For tests that do extended arithmetic of their own: puts the environment
// back so that only the parser's effect on it is checked.
class OwnArithmeticScope {
 public:
  OwnArithmeticScope() : flags_(std::fetestexcept(FE_ALL_EXCEPT)) { std::fegetenv(&saved_); }
  ~OwnArithmeticScope() {
    // the flags raised meanwhile go too: MinGW's fesetenv leaves the SSE unit's
    // as they are (and its strtold raises inexact there)
    const int raised = std::fetestexcept(FE_ALL_EXCEPT) & ~flags_;
    std::fesetenv(&saved_);
    std::feclearexcept(raised);
  }

 private:
  int flags_;
  std::fenv_t saved_;
};

std::uint16_t X87ControlWord() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}
void SetX87ControlWord(std::uint16_t cw) { __asm__ volatile("fldcw %0" ::"m"(cw)); }
std::uint16_t X87StatusWord() {
  std::uint16_t sw;
  __asm__ volatile("fnstsw %0" : "=am"(sw));
  return sw;
}

}  // namespace

TEST(ParseSpanTest, AcceptsNumbersInTheirWrittenForms) {
  EXPECT_PARSE("100", 100.0L);
  EXPECT_PARSE(" 12.5 ", 12.5L);
  EXPECT_PARSE("   70.5", 70.5L);
  EXPECT_PARSE("+5", 5.0L);
  EXPECT_PARSE("-5", -5.0L);
  EXPECT_PARSE("-0", -0.0L);
  EXPECT_PARSE("0", 0.0L);
  EXPECT_PARSE("007", 7.0L);
  EXPECT_PARSE("1e3", 1000.0L);
  EXPECT_PARSE("1E3", 1000.0L);
  EXPECT_PARSE("1e+3", 1000.0L);
  EXPECT_PARSE("2.5e-1", 0.25L);
  EXPECT_PARSE("1.25e2", 125.0L);
  EXPECT_PARSE("5e", 5.0L);
  EXPECT_PARSE("5e+", 5.0L);
  EXPECT_PARSE("5E-", 5.0L);
  EXPECT_PARSE("1e0003", 1000.0L);
}

TEST(ParseSpanTest, LoneSeparatorIsZero) {
  EXPECT_PARSE(".", 0.0L);
  EXPECT_PARSE("-.", -0.0L);
  EXPECT_PARSE(".e5", 0.0L);
  EXPECT_PARSE("5.", 5.0L);
  EXPECT_PARSE(".25", 0.25L);
  EXPECT_PARSE(".5", 0.5L);
}

TEST(ParseSpanTest, RejectsWhatIsNotANumber) {
  for (const char* text : {"", "   ", "\t12", "12\t", "+-5", "- 5", "--5", "1.2.3", "e5", "1,5", "1 000", "5 e3",
                           "12 m", "abc", "+", "-", "1e5000", "1e0500x", "0x10", "inf", "nan", "1e3.5", "\xC2\xA0" "5",
                           "%s%n%x", "&&&"})
    EXPECT_NO_PARSE(text);
}

TEST(ParseSpanTest, TextEndsAtItsFirstNul) {
  EXPECT_PARSE(std::string("12\0abc", 6), 12.0L);
  EXPECT_THROW(ParseSpan(std::string("\0" "12", 3)), EConvertError);
  EXPECT_THROW(ParseSpan(std::string("x\0" "1", 3)), EConvertError);
}

TEST(ParseSpanTest, MessageInsertsTheTextVerbatimAndNeverFormatsIt) {
  EXPECT_NO_PARSE("  %s%d%n  ");
  EXPECT_NO_PARSE("100%");
  EXPECT_NO_PARSE("'quoted'");
}

TEST(ParseSpanTest, ExponentDigitsStopAtFiveHundred) {
  OwnArithmeticScope own;
  EXPECT_PARSE("1e500", 1e500L);
  EXPECT_PARSE("1e0500", 1e500L);
  EXPECT_NEAR(static_cast<double>(ParseSpan("1e-0499") / 1e-499L), 1.0, 1e-15);
  EXPECT_NEAR(static_cast<double>(ParseSpan("1e4931") / 1e4931L), 1.0, 1e-15);
  EXPECT_NO_PARSE("1e5000");      // digits left over
  EXPECT_NO_PARSE("1e4999");      // overflow
  EXPECT_NO_PARSE("1e4933");      // overflow
  EXPECT_PARSE("1e-4999", 0.0L);  // underflow is no failure
  EXPECT_PARSE("-1e-4999", -0.0L);
}

TEST(ParseSpanTest, ExtremeFractionLengthsScaleToZero) {
  // 6000 fraction digits: the exponent passes -5120 and the value is zero
  EXPECT_PARSE("0." + std::string(5999, '0') + "1", 0.0L);
  // a mantissa beyond the extended range fails even when the exponent would shrink it
  EXPECT_NO_PARSE(std::string(5000, '9') + "e-4999");
  EXPECT_NO_PARSE("1" + std::string(4933, '0'));
  EXPECT_NO_THROW(ParseSpan("1" + std::string(4931, '0')));
}

TEST(ParseSpanTest, AccumulatesTheMantissaDigitByDigit) {
  // 25 digits: the mantissa is rounded at every step beyond 2^64, so the value
  // is the digit-by-digit result rather than the nearest extended number
  OwnArithmeticScope own;
  long double expected = 0.0L;
  for (char c : std::string("1234567890123456789012345")) {
    volatile long double product = expected * 10.0L;
    expected = product + static_cast<long double>(c - '0');
  }
  EXPECT_PARSE("1234567890123456789012345", expected);
  EXPECT_PARSE("12345678901234567890.12345e-5", expected / 1e10L);
}

TEST(ParseSpanTest, DecimalSeparatorChange) {
  {
    SeparatorScope comma(',');
    EXPECT_PARSE("12,5", 12.5L);
    EXPECT_PARSE(",", 0.0L);
    EXPECT_NO_PARSE("12.5");
  }
  EXPECT_PARSE("12.5", 12.5L);
  EXPECT_NO_PARSE("12,5");
}

TEST(ParseSpanTest, EqualsStrtoldWhereBothRoundOnce) {
  // Up to 19 significant digits and |E| <= 27 the mantissa is exact and one
  // table factor is exact, so the value is correctly rounded, like strtold's.
  OwnArithmeticScope own;
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 20000; ++i) {
    const int digitCount = 1 + static_cast<int>(random() % 19);
    std::string digits;
    for (int d = 0; d < digitCount; ++d) digits += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % static_cast<unsigned>(digitCount + 1));
    const int fraction = digitCount - point;
    const int written = static_cast<int>(random() % 55) - 27 + fraction;  // keeps |X - F| <= 27
    std::string text = digits.substr(0, static_cast<std::size_t>(point)) + "." +
                       digits.substr(static_cast<std::size_t>(point)) + "e" + std::to_string(written);
    if (random() % 2) text = "-" + text;
    const long double expected = std::strtold(text.c_str(), nullptr);
    ASSERT_TRUE(Parses(text, expected)) << "case " << i;
  }
}

TEST(ParseSpanTest, RunsInExtendedPrecisionWhateverTheCallersPrecision) {
  const std::uint16_t saved = X87ControlWord();
  SetX87ControlWord(static_cast<std::uint16_t>((saved & ~0x0300) | 0x0200));  // 53-bit precision
  const long double value = ParseSpan("1.1");
  const std::uint16_t during = X87ControlWord();
  SetX87ControlWord(saved);
  EXPECT_TRUE(SameBits(value, 1.1L)) << "the 53-bit result would differ in the last 11 bits";
  EXPECT_EQ(during & 0x0300, 0x0200) << "the caller's control word must be put back";
}

TEST(ParseSpanTest, LeavesTheCallersPendingFlagsAsTheyWere) {
  std::fenv_t saved;
  std::fegetenv(&saved);
  volatile long double three = 3.0L;
  volatile long double third = 1.0L / three;  // raises inexact on the x87 unit
  (void)third;
  const std::uint16_t before = X87StatusWord() & 0x3F;
  ASSERT_NE(before, 0);
  EXPECT_NO_THROW(ParseSpan("1.1"));
  EXPECT_THROW(ParseSpan("1e4999"), EConvertError);
  EXPECT_EQ(X87StatusWord() & 0x3F, before);
  std::fesetenv(&saved);

  EXPECT_THROW(ParseSpan("1e4999"), EConvertError);
  EXPECT_EQ(X87StatusWord() & 0x3F, 0) << "a failed parse must not leave the overflow flag pending";
}
