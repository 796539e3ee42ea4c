// The differential check's engine: how operands are drawn and what is compared.
#include "tests/support/ExtendedDifferential.h"

#if KORVASTEL_HAS_X87_EXTENDED

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/SpanColumn.h"
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/PowersOfTen.h"
#include "core/arithmetic/SoftExtended.h"
#include "core/arithmetic/WideInteger.h"
#include "core/arithmetic/X87Extended.h"

namespace korvastel::differential {

using detail::SoftExtended;
using detail::X87Extended;

class ExtendedDifferential::Engine {
 public:
  Engine(std::uint64_t seed, ExtendedDifferential& results) : random_(seed), results_(results) {}

  void RunOperations(std::uint64_t rounds) {
    X87Extended::Scope scope;
    for (std::uint64_t round = 0; round < rounds; ++round) {
      const auto [a, b] = OperandPair();
      CheckBinary(a, b);
      CheckBinary(b, a);
      CheckUnary(a);
      CheckUnary(SqrtNearTie());
      CheckUnary(NearHalf());
      CheckToDouble(DoubleEdge());
      CheckFromDouble(std::bit_cast<double>(Next()));
      CheckFromDouble(std::bit_cast<double>(Next() & 0x800FFFFFFFFFFFFFu));  // a denormal double
      CheckIntegers();
      CheckWideDivision();
    }
  }

  void RunSpanWork(std::uint64_t rounds) {
    for (std::uint64_t round = 0; round < rounds; ++round) {
      CheckParse(SpanText());
      CheckFormat(round % 2 == 0 ? std::bit_cast<double>(Next()) : DecimalEdgeDouble());
      if (round % 64 == 0) CheckCalculation();
    }
  }

 private:
  struct Bits {
    std::uint16_t signExponent;
    std::uint64_t significand;
    bool operator==(const Bits&) const = default;
  };
  static constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
  static constexpr int kBias = 16383;

  std::uint64_t Next() { return random_(); }
  int Uniform(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool OneIn(int n) { return Next() % static_cast<std::uint64_t>(n) == 0; }

  // Significands that make exact results, ties and carries likely: short
  // ones, runs of ones, patterns around the rounding points of 64 and 53 bits.
  std::uint64_t Significand() {
    const std::uint64_t r = Next();
    switch (Next() % 6) {
      case 0:
        return r | kTop;
      case 1:
        return (r | kTop) & ~((std::uint64_t{1} << Uniform(0, 63)) - 1);  // few bits
      case 2:
        return (r | kTop) | ((std::uint64_t{1} << Uniform(0, 63)) - 1);  // trailing ones
      case 3:
        return ((r | kTop) & ~std::uint64_t{0x7FF}) + 0x400 + static_cast<std::uint64_t>(Uniform(-2, 2));
      case 4:
        return kTop | (r & 0xFF);  // just above a power of two
      default:
        return ~(r & 0xFF);  // just below one
    }
  }

  static X87Extended Hardware(Bits bits) {
    return X87Extended::FromBits(bits.signExponent, bits.significand);
  }
  static SoftExtended Soft(Bits bits) { return SoftExtended::FromBits(bits.signExponent, bits.significand); }
  template <class Extended>
  static Bits BitsOf(Extended value) {
    return {value.SignExponent(), value.Significand()};
  }

  Bits Finite(int field, bool negative) {
    const std::uint16_t sign = negative ? 0x8000 : 0;
    if (field <= 0) {  // a denormal of any length, or zero
      const int width = Uniform(0, 63);
      return {sign, width == 0 ? 0 : Significand() >> (64 - width)};
    }
    return {static_cast<std::uint16_t>(sign | field), Significand()};
  }

  Bits Special() {
    static constexpr Bits kSpecials[] = {
        {0x0000, 0},                   // +0
        {0x8000, 0},                   // -0
        {0x7FFF, kTop},                // +inf
        {0xFFFF, kTop},                // -inf
        {0xFFFF, 0xC000000000000000},  // the default NaN
        {0x7FFF, 0xC000000000000123},  // a quiet NaN
        {0x7FFF, 0x8000000000000456},  // a signalling NaN
        {0xFFFF, 0x8000000000000001},  // another
        {0x0000, 1},                   // the smallest denormal
        {0x0000, 0x7FFFFFFFFFFFFFFF},  // the largest denormal
        {0x0001, kTop},                // the smallest normal
        {0x7FFE, 0xFFFFFFFFFFFFFFFF},  // the largest finite
        {0x3FFF, kTop},                // 1
        {0x4002, 0xA000000000000000},  // 10
    };
    return kSpecials[Next() % std::size(kSpecials)];
  }

  Bits TablePowerOfTen() {
    const auto pick = [&](const auto& table) { return table[Next() % std::size(table)]; };
    const detail::ExtendedBits power = Next() % 3 == 0   ? pick(detail::kPowersOfTenUnits)
                                       : Next() % 2 == 0 ? pick(detail::kPowersOfTenThirtyTwos)
                                                         : pick(detail::kPowersOfTenFiveTwelves);
    // the power itself, or a neighbour a few units in the last place away
    const std::uint64_t nudge = OneIn(2) ? 0 : static_cast<std::uint64_t>(Uniform(-3, 3));
    const std::uint64_t significand = power.significand + nudge;
    return {power.signExponent, (significand & kTop) != 0 ? significand : power.significand};
  }

  Bits Operand() {
    const bool negative = OneIn(2);
    switch (Next() % 8) {
      case 0:
        return Finite(Uniform(0, 0x7FFE), negative);
      case 1:
        return Finite(Uniform(kBias - 80, kBias + 80), negative);  // everyday magnitudes
      case 2:
        return Finite(Uniform(0, 80), negative);  // denormals and just above
      case 3:
        return Finite(Uniform(0x7FFE - 80, 0x7FFE), negative);  // just below overflow
      case 4:
        return Special();
      case 5:
        return TablePowerOfTen();
      case 6: {
        const SoftExtended value = SoftExtended::FromDouble(std::bit_cast<double>(Next()));
        return BitsOf(value);
      }
      default:
        return BitsOf(SoftExtended::FromUnsigned(Next() >> Uniform(0, 63)));
    }
  }

  static int Field(Bits bits) { return bits.signExponent & 0x7FFF; }
  static std::uint16_t WithField(Bits bits, int field) {
    return static_cast<std::uint16_t>((bits.signExponent & 0x8000) | field);
  }

  std::pair<Bits, Bits> OperandPair() {
    Bits a = Operand();
    Bits b = Operand();
    const int fa = Field(a);
    if (fa == 0 || fa == 0x7FFF) return {a, b};
    switch (Next() % 9) {
      case 0:  // independent
        break;
      case 1:  // the same binade or the next: carries, and cancellation of many bits
        b = Finite(std::clamp(fa + Uniform(-1, 1), 1, 0x7FFE), OneIn(2));
        break;
      case 2: {  // a few units in the last place apart, of either sign
        b = a;
        b.significand += static_cast<std::uint64_t>(Uniform(-4, 4));
        if ((b.significand & kTop) == 0) b.significand = a.significand;
        if (OneIn(2)) b.signExponent ^= 0x8000;
        break;
      }
      case 3: {  // aligned so that b falls around a's rounding bits
        const int field = fa - Uniform(60, 70);
        if (field < 1) {
          b = Finite(0, OneIn(2));
        } else {
          // exactly half a unit (or a quarter...), or any significand
          b = {WithField(b, field), OneIn(2) ? kTop : b.significand | kTop};
        }
        break;
      }
      case 4: {  // products of 64 to 66 significant bits: exact ties and their neighbours
        const int width = Uniform(64, 66);
        const int widthA = Uniform(width - 34, 34);
        const std::uint64_t p = (Next() >> (64 - widthA)) | (std::uint64_t{1} << (widthA - 1)) | 1;
        const int widthB = width - widthA + Uniform(0, 1);
        const std::uint64_t q = (Next() >> (64 - widthB)) | (std::uint64_t{1} << (widthB - 1)) | 1;
        a = {WithField(a, fa), p << (64 - widthA)};
        b = {static_cast<std::uint16_t>((b.signExponent & 0x8000) | Uniform(kBias - 40, kBias + 40)),
             q << (64 - widthB)};
        break;
      }
      case 5:  // product or quotient at the edge of underflow
        b = {static_cast<std::uint16_t>((b.signExponent & 0x8000) |
                                        std::clamp(OneIn(2) ? kBias - fa + Uniform(-66, 2)   // a * b
                                                            : fa - kBias + Uniform(-2, 66),  // a / b
                                                   1, 0x7FFE)),
             b.significand | kTop};
        break;
      case 6:  // product or quotient at the edge of overflow
        b = {static_cast<std::uint16_t>((b.signExponent & 0x8000) |
                                        std::clamp(OneIn(2) ? 0x7FFE + kBias - fa + Uniform(-2, 2)
                                                            : fa - 0x7FFE + kBias + Uniform(-2, 2),
                                                   1, 0x7FFE)),
             b.significand | kTop};
        break;
      case 7:  // a power of two: exact scaling, ties where it lands among the denormals
        b = {static_cast<std::uint16_t>((b.signExponent & 0x8000) | Uniform(1, 0x7FFE)), kTop};
        break;
      default:  // a sum at the edge of overflow
        a = {WithField(a, 0x7FFE), a.significand | kTop};
        b = {WithField(b, Uniform(0x7FFE - 66, 0x7FFE)), b.significand | kTop};
        break;
    }
    return {a, b};
  }

  // A radicand whose root lies within a hair of a rounding midpoint: the
  // upper 64 bits of q^2 + q = (q + 1/2)^2 - 1/4 for a 64-bit q, times an
  // even power of two.
  Bits SqrtNearTie() {
    __extension__ using Unsigned128 = unsigned __int128;
    const std::uint64_t q = Next() | kTop;
    const Unsigned128 square = Unsigned128{q} * q + q;  // below 2^128
    const int shift = (static_cast<std::uint64_t>(square >> 64) & kTop) != 0 ? 64 : 63;
    std::uint64_t significand = static_cast<std::uint64_t>(square >> shift);
    if (OneIn(2)) significand += static_cast<std::uint64_t>(Uniform(-2, 2));
    significand |= kTop;
    // value = significand * 2^(field - kBias - 63) = (q^2 + q) * 2^(even)
    int field = Uniform(100, 0x7FFE - 100);
    if (((field - kBias - 63 + shift) & 1) != 0) ++field;
    return {static_cast<std::uint16_t>(field), significand};
  }

  // Whole numbers and halves for rounding to an integer: k/2, k/4 and their
  // neighbours at magnitudes up to 2^64.
  Bits NearHalf() {
    const int field = kBias + Uniform(-3, 64);
    const int fractionBits = std::max(0, 63 - (field - kBias));
    std::uint64_t significand = Next() | kTop;
    if (fractionBits > 0 && fractionBits < 64) {
      const std::uint64_t half = std::uint64_t{1} << (fractionBits - 1);
      significand = (significand & ~((half << 1) - 1)) | half;  // exactly .5
      significand += static_cast<std::uint64_t>(Uniform(-1, 1));
      significand |= kTop;
    }
    return {static_cast<std::uint16_t>((OneIn(2) ? 0x8000 : 0) | field), significand};
  }

  // Values whose rounding to double is close: ties of the 53-bit rounding,
  // and magnitudes at the double's overflow and underflow.
  Bits DoubleEdge() {
    int field;
    switch (Next() % 3) {
      case 0:
        field = kBias + Uniform(1020, 1025);
        break;  // overflow
      case 1:
        field = kBias + Uniform(-1076, -1020);
        break;  // denormal doubles
      default:
        field = kBias + Uniform(-1140, -1070);
        break;  // below the smallest double
    }
    std::uint64_t significand = Significand();
    // the tie of the denormal double's last place, wherever it falls
    if (OneIn(2) && field < kBias - 1022) {
      const int dropped = std::min(63, 11 + (kBias - 1022 - field));
      const std::uint64_t half = std::uint64_t{1} << (dropped - 1);
      significand = ((significand & ~((half << 1) - 1)) | half) + static_cast<std::uint64_t>(Uniform(-1, 1));
      significand |= kTop;
    }
    return {static_cast<std::uint16_t>((OneIn(2) ? 0x8000 : 0) | field), significand};
  }

  void Record(const char* operation, bool same, const std::string& detail) {
    ++results_.checks_[operation];
    if (same) return;
    ++results_.mismatches_;
    if (results_.examples_.size() < 20) results_.examples_.push_back(std::string(operation) + ": " + detail);
  }

  static std::string Describe(Bits bits) {
    std::ostringstream text;
    text << std::hex << bits.signExponent << ':' << bits.significand;
    return text.str();
  }

  template <class Operation>
  void CheckResult(const char* name, Bits a, Bits b, Operation operation) {
    const Bits soft = BitsOf(operation(Soft(a), Soft(b)));
    const Bits hard = BitsOf(operation(Hardware(a), Hardware(b)));
    const bool same = soft.signExponent == hard.signExponent && soft.significand == hard.significand;
    Record(
        name, same,
        same ? ""
             : Describe(a) + ", " + Describe(b) + " -> " + Describe(soft) + " instead of " + Describe(hard));
  }

  void CheckBinary(Bits a, Bits b) {
    CheckResult("add", a, b, [](auto x, auto y) { return x + y; });
    CheckResult("subtract", a, b, [](auto x, auto y) { return x - y; });
    CheckResult("multiply", a, b, [](auto x, auto y) { return x * y; });
    CheckResult("divide", a, b, [](auto x, auto y) { return x / y; });
    const auto order = [](auto x, auto y) {
      return (x == y) | (x != y) << 1 | (x < y) << 2 | (x > y) << 3 | (x <= y) << 4 | (x >= y) << 5;
    };
    const int soft = order(Soft(a), Soft(b)), hard = order(Hardware(a), Hardware(b));
    Record("compare", soft == hard, Describe(a) + " vs " + Describe(b));
  }

  void CheckUnary(Bits a) {
    CheckResult("square root", a, a, [](auto x, auto) { return Sqrt(x); });
    CheckResult("round to integer", a, a, [](auto x, auto) { return RoundToInteger(x); });
    CheckResult("negate", a, a, [](auto x, auto) { return -x; });
    CheckToDouble(a);
  }

  void CheckToDouble(Bits a) {
    const std::uint64_t soft = std::bit_cast<std::uint64_t>(Soft(a).ToDouble());
    const std::uint64_t hard = std::bit_cast<std::uint64_t>(Hardware(a).ToDouble());
    Record("to double", soft == hard, Describe(a));
  }

  void CheckFromDouble(double value) {
    const Bits soft = BitsOf(SoftExtended::FromDouble(value));
    const Bits hard = BitsOf(X87Extended::FromDouble(value));
    Record("from double", soft.signExponent == hard.signExponent && soft.significand == hard.significand,
           std::to_string(std::bit_cast<std::uint64_t>(value)));
  }

  void CheckIntegers() {
    const std::uint64_t integer = Next() >> Uniform(0, 63);
    const Bits soft = BitsOf(SoftExtended::FromUnsigned(integer));
    const Bits hard = BitsOf(X87Extended::FromUnsigned(integer));
    Record("from integer", soft.signExponent == hard.signExponent && soft.significand == hard.significand,
           std::to_string(integer));
    Record("to integer", SoftExtended::FromUnsigned(integer).ToUnsigned() == integer,
           std::to_string(integer));
  }

  // The portable long division against the processor's, where the software
  // arithmetic uses the latter: divisors of few bits, of all ones, and
  // dividends just below the divisor, where the digit estimates are off most.
  void CheckWideDivision() {
    std::uint64_t divisor = Significand();
    if (OneIn(4)) divisor = kTop | (OneIn(2) ? 0 : ~std::uint64_t{0} >> Uniform(1, 63));
    std::uint64_t high = Next() % divisor;
    if (OneIn(4)) high = divisor - 1 - static_cast<std::uint64_t>(Uniform(0, 2)) % divisor;
    const std::uint64_t low = OneIn(4) ? (OneIn(2) ? 0 : ~std::uint64_t{0}) : Next();
    std::uint64_t portableRemainder = 0, remainder = 0;
    const std::uint64_t portable = detail::DivideWidePortable(high, low, divisor, portableRemainder);
    const std::uint64_t quotient = detail::DivideWide(high, low, divisor, remainder);
    Record("wide division", portable == quotient && portableRemainder == remainder,
           Describe({0, high}) + Describe({0, low}) + " / " + Describe({0, divisor}));
  }

  // A span text and what it is made of.
  struct Span {
    std::string text;
    std::string digits;  // integer and fraction digits together
    int exponent = 0;    // E = X - F
    bool negative = false;
  };

  // Texts of every shape the parse takes, weighted to long mantissas and
  // exponents at the edges of the range and of the tables.
  Span SpanText() {
    Span span;
    span.negative = OneIn(4);
    if (span.negative) span.text = "-";
    const int integerDigits = Uniform(0, OneIn(4) ? 30 : 8);
    for (int i = 0; i < integerDigits; ++i) span.digits += static_cast<char>('0' + Next() % 10);
    span.text += span.digits;
    if (OneIn(2)) {
      span.text += '.';
      const int fractionDigits = Uniform(0, OneIn(4) ? 30 : 6);
      for (int i = 0; i < fractionDigits; ++i) span.digits += static_cast<char>('0' + Next() % 10);
      span.text += span.digits.substr(static_cast<std::size_t>(integerDigits));
      span.exponent = -fractionDigits;
    }
    int written = 0;
    switch (Next() % 4) {
      case 0:
        break;
      case 1:
        written = Uniform(-40, 40);
        break;
      case 2:
        written = Uniform(-4999, 4999);
        break;
      default:
        written = (OneIn(2) ? -1 : 1) * Uniform(4920, 4960);
        break;
    }
    if (written != 0 || OneIn(8)) span.text += "e" + std::to_string(written);
    span.exponent += written;
    return span;
  }

  // What a span column usually holds: "312", "70.5", "402.125".
  std::string TypicalSpan() {
    std::string text = std::to_string(Uniform(0, 999));
    if (OneIn(2)) text += "." + std::to_string(Uniform(0, 999));
    return text;
  }

  static std::string ParseResult(long double value) {
    unsigned char bytes[10];
    std::memcpy(bytes, &value, sizeof bytes);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }

  // Both arithmetics, on the single parse and on the one a column loop runs;
  // and where the parse rounds once (up to 19 digits, |E| up to 27), which it
  // does with integers in both, the x87 unit's own product or quotient.
  void CheckParse(const Span& span) {
    const auto parse = [&](auto arithmetic) -> std::string {
      try {
        return ParseResult(detail::ParseSpanWith<decltype(arithmetic)>(span.text));
      } catch (const EConvertError&) {
        return "fails";
      }
    };
    const std::string hard = parse(X87Extended());
    Record("parse", parse(SoftExtended()) == hard, span.text);

    X87Extended::Scope scope;
    SoftExtended soft;
    X87Extended x87;
    const bool softValid = detail::TryParseSpanInScope(span.text, soft);
    const bool x87Valid = detail::TryParseSpanInScope(span.text, x87);
    Record("parse in a loop", softValid == x87Valid && (!softValid || BitsOf(soft) == BitsOf(x87)),
           span.text);

    if (hard != "fails" && span.digits.size() <= 19 && span.exponent >= -27 && span.exponent <= 27) {
      const std::uint64_t mantissa = span.digits.empty() ? 0 : std::stoull(span.digits);
      X87Extended value = detail::ScaleByPowerOfTen(X87Extended::FromUnsigned(mantissa), span.exponent);
      if (span.negative) value = -value;
      Record("parse by the x87", hard == ParseResult(value.ToLongDouble()), span.text);
    }
  }

  // Doubles just around numbers with few decimals, where the 18-digit
  // rounding and the cut at two decimals are close calls.
  double DecimalEdgeDouble() {
    const double decimal =
        static_cast<double>(Next() % 100'000'000) / 1000.0 * std::pow(10.0, Uniform(-20, 20));
    const std::uint64_t bits =
        std::bit_cast<std::uint64_t>(decimal) + static_cast<std::uint64_t>(Uniform(-2, 2));
    return std::bit_cast<double>(bits);
  }

  void CheckFormat(double value) {
    const std::string soft = detail::FormatFixed2With<SoftExtended>(value);
    const std::string hard = detail::FormatFixed2With<X87Extended>(value);
    Record("format", soft == hard, soft + " instead of " + hard);
  }

  void CheckCalculation() {
    SpanColumn column;
    for (int row = 0; row < 40; ++row)
      column.SetText(Uniform(0, SpanColumn::RowCount - 1), OneIn(4) ? SpanText().text : TypicalSpan());
    const auto calculate = [&](auto arithmetic) -> std::string {
      try {
        const RulingSpanResult result = detail::CalculateRulingSpanWith<decltype(arithmetic)>(column);
        std::ostringstream text;
        text << result.count << ' ' << std::bit_cast<std::uint64_t>(result.sum) << ' '
             << std::bit_cast<std::uint64_t>(result.sumOfCubes) << ' '
             << std::bit_cast<std::uint64_t>(result.rulingSpan);
        return text.str();
      } catch (const Exception& e) {
        return e.what();
      }
    };
    Record("calculation", calculate(SoftExtended()) == calculate(X87Extended()), "a column");
    Record(
        "count",
        detail::CountValidSpansWith<SoftExtended>(column) == detail::CountValidSpansWith<X87Extended>(column),
        "a column");
  }

  std::mt19937_64 random_;
  ExtendedDifferential& results_;
};

ExtendedDifferential::ExtendedDifferential(std::uint64_t seed)
    : engine_(std::make_unique<Engine>(seed, *this)) {}
ExtendedDifferential::~ExtendedDifferential() = default;

void ExtendedDifferential::RunOperations(std::uint64_t rounds) { engine_->RunOperations(rounds); }
void ExtendedDifferential::RunSpanWork(std::uint64_t rounds) { engine_->RunSpanWork(rounds); }

const std::map<std::string, std::uint64_t>& ExtendedDifferential::Checks() const { return checks_; }

std::uint64_t ExtendedDifferential::TotalChecks() const {
  std::uint64_t total = 0;
  for (const auto& [name, count] : checks_) total += count;
  return total;
}

std::uint64_t ExtendedDifferential::Mismatches() const { return mismatches_; }
const std::vector<std::string>& ExtendedDifferential::Examples() const { return examples_; }

}  // namespace korvastel::differential

#endif
