// TEMPORARY placeholder until the exact parser lands (same interface).
#include "core/ParseSpan.h"

#include <cstdlib>
#include <string>

#include "core/DecimalSeparator.h"
#include "core/Errors.h"

namespace korvastel {
long double ParseSpan(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c == DecimalSeparator()) c = '.';
  std::size_t b = s.find_first_not_of(' ');
  std::size_t e = s.find_last_not_of(' ');
  if (b == std::string::npos) throw EConvertError(text);
  std::string t = s.substr(b, e - b + 1);
  char* end = nullptr;
  long double v = std::strtold(t.c_str(), &end);
  if (end != t.c_str() + t.size()) throw EConvertError(text);
  return v;
}
}  // namespace korvastel
