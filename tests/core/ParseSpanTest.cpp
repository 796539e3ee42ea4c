#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/Core.h"
#include "tests/core/TestSupport.h"

using korvastel::EConvertError;
using korvastel::ParseSpan;

namespace {

// The same number, sign of zero included. Every value the parse returns is
// an x87 extended value, which long double holds exactly on the targets
// tested; the expected values below are written as such (64-bit hexadecimal
// literals where they are not short).
bool SameValue(long double a, long double b) { return a == b && std::signbit(a) == std::signbit(b); }

::testing::AssertionResult Parses(const std::string& text, long double expected) {
  try {
    const long double value = ParseSpan(text);
    if (SameValue(value, expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "'" << text << "' parsed as " << value << ", expected " << expected;
  } catch (const EConvertError& e) {
    return ::testing::AssertionFailure() << "'" << text << "' was rejected: " << e.what();
  }
}

::testing::AssertionResult Rejects(const std::string& text) {
  try {
    const long double value = ParseSpan(text);
    return ::testing::AssertionFailure() << "'" << text << "' parsed as " << value;
  } catch (const EConvertError& e) {
    const std::string expected =
        "'" + text.substr(0, text.find('\0')) + "' is not a valid floating point value";
    if (e.what() != expected) return ::testing::AssertionFailure() << "message: " << e.what();
    return ::testing::AssertionSuccess();
  }
}

#define EXPECT_PARSE(text, value) EXPECT_TRUE(Parses(text, value))
#define EXPECT_NO_PARSE(text) EXPECT_TRUE(Rejects(text))

using korvastel::test::SeparatorScope;

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

// strtold's correctly rounded value cut to the extended 64-bit mantissa,
// where long double is wider (binary128).
long double RoundedToExtended(long double value) {
  if (LDBL_MANT_DIG <= 64 || value == 0) return value;
  int exponent = 0;
  const long double fraction = std::frexp(value, &exponent);
  return std::ldexp(std::nearbyint(std::ldexp(fraction, 64)), exponent - 64);
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
  // "\xC2\xA0\x35" is a no-break space (UTF-8) before a 5
  for (const char* text :
       {"",      "   ",   "\t12",         "12\t",   "+-5", "- 5",        "--5",    "1.2.3",   "e5",   "1,5",
        "1 000", "5 e3",  "12 m",         "abc",    "+",   "-",          "1e5000", "1e0500x", "0x10", "inf",
        "nan",   "1e3.5", "\xC2\xA0\x35", "%s%n%x", "&&&", "  %s%d%n  ", "100%",   "'quoted'"})
    EXPECT_NO_PARSE(text);  // and the message holds the text verbatim, never formatted
}

TEST(ParseSpanTest, TextEndsAtItsFirstNul) {
  EXPECT_PARSE(std::string("12\0abc", 6), 12.0L);
  EXPECT_NO_PARSE(std::string(1, '\0') + "12");
  EXPECT_NO_PARSE("x" + std::string(1, '\0') + "1");
  try {  // the message too
    ParseSpan(std::string("ab\0cd", 5));
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'ab' is not a valid floating point value");
  }
}

TEST(ParseSpanTest, ExponentDigitsStopAtFiveHundred) {
  OwnArithmeticScope own;
  EXPECT_PARSE("1e500", 0xf.9b2ff649b8695d7p+1657L);  // 10^500 to 64 bits
  EXPECT_PARSE("1e0500", 0xf.9b2ff649b8695d7p+1657L);
  EXPECT_NEAR(static_cast<double>(ParseSpan("1e-0499") / 1e-499L), 1.0, 1e-15);
  EXPECT_NEAR(static_cast<double>(ParseSpan("1e4931") / 1e4931L), 1.0, 1e-15);
  EXPECT_NO_PARSE("1e4999");      // overflow
  EXPECT_NO_PARSE("1e4933");      // overflow
  EXPECT_PARSE("1e-4999", 0.0L);  // underflow is no failure
  EXPECT_PARSE("-1e-4999", -0.0L);
  // the extended range's ends: its largest value; the smallest denormal,
  // 2^-16445, and half of it, which ties to zero
  EXPECT_PARSE("1.1897314953572317651e4932", 0xf.fffffffffffffffp+16380L);
  EXPECT_NO_PARSE("1.1897314953572317652e4932");
  EXPECT_PARSE("3.6451995318824746025e-4951", 0x8p-16448L);
  EXPECT_PARSE("1.8e-4951", 0.0L);
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
  // is the digit-by-digit result (as the x87 unit computes it, m * 10 then
  // + digit, each rounded) rather than the nearest extended number, which
  // ends in ...1ef2
  EXPECT_PARSE("1234567890123456789012345", 0x8.2b7079b53221ef1p+77L);
  EXPECT_PARSE("12345678901234567890.12345e-5", 0xe.0910c1bbef35b98p+43L);  // then / 10^10
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
    const long double expected = RoundedToExtended(std::strtold(text.c_str(), nullptr));
    ASSERT_TRUE(Parses(text, expected)) << "case " << i;
  }
}

#if defined(__x86_64__) || defined(__i386__)
TEST(ParseSpanTest, RunsInExtendedPrecisionWhateverTheCallersPrecision) {
  const auto controlWord = [] {
    std::uint16_t cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return cw;
  };
  const auto setControlWord = [](std::uint16_t cw) { __asm__ volatile("fldcw %0" ::"m"(cw)); };
  const std::uint16_t saved = controlWord();
  setControlWord(static_cast<std::uint16_t>((saved & ~0x0300) | 0x0200));  // 53-bit precision
  // one rounding, and the digit-by-digit arithmetic of a long mantissa
  const long double value = ParseSpan("1.1");
  const long double longValue = ParseSpan("1234567890123456789012345");
  const std::uint16_t during = controlWord();
  setControlWord(saved);
  EXPECT_TRUE(SameValue(value, 0x8.ccccccccccccccdp-3L))
      << "the 53-bit result would differ in the last 11 bits";
  EXPECT_TRUE(SameValue(longValue, 0x8.2b7079b53221ef1p+77L));
  EXPECT_EQ(during & 0x0300, 0x0200) << "the caller's control word must be put back";
}
#endif

TEST(ParseSpanTest, LeavesTheCallersPendingFlagsAsTheyWere) {
  // texts that round once, round digit by digit, underflow to a denormal, overflow
  const auto parseAll = [] {
    for (const char* text : {"1.1", "1234567890123456789012345", "1e-4940"}) EXPECT_NO_THROW(ParseSpan(text));
    EXPECT_THROW(ParseSpan("1e4999"), EConvertError);
  };
  std::fenv_t saved;
  std::fegetenv(&saved);
  volatile long double three = 3.0L;
  volatile long double third =
      1.0L / three;  // raises inexact in long double arithmetic (the x87 unit on x86)
  (void)third;
  const int before = std::fetestexcept(FE_ALL_EXCEPT);
  ASSERT_NE(before & FE_INEXACT, 0);
  parseAll();
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), before);
  std::fesetenv(&saved);

  parseAll();
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << "a parse must not leave a flag pending";
}
