// Arbitrary cell texts for ParseSpan: it either returns a value or throws
// EConvertError naming the text, leaves the floating-point control settings
// and the decimal separator as they were, and ignores spaces around a text.
#include <xmmintrin.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Core.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

struct Outcome {
  bool accepted = false;
  unsigned char bits[10] = {};  // the 80 bits of the value, without padding
};

Outcome Parse(const std::string& text) {
  Outcome outcome;
  try {
    const long double value = korvastel::ParseSpan(text);
    outcome.accepted = true;
    std::memcpy(outcome.bits, &value, sizeof outcome.bits);
  } catch (const korvastel::EConvertError& error) {
    // the text, and so the message, ends at its first NUL
    Check(error.what() == "'" + text.substr(0, text.find('\0')) + "' is not a valid floating point value");
  }
  return outcome;
}

// The x87 control word and the SSE control bits (masks and rounding).
std::uint32_t ControlSettings() {
  std::uint16_t x87 = 0;
  __asm__ volatile("fnstcw %0" : "=m"(x87));
  return (std::uint32_t{x87} << 16) | (_mm_getcsr() & 0xFFC0u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::uint32_t settings = ControlSettings();
  const char separator = korvastel::DecimalSeparator();
  const Outcome plain = Parse(text);
  Check(ControlSettings() == settings && korvastel::DecimalSeparator() == separator);
  const Outcome padded = Parse(" " + text + " ");
  Check(plain.accepted == padded.accepted);
  Check(std::memcmp(plain.bits, padded.bits, sizeof plain.bits) == 0);
  return 0;
}
