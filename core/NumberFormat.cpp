// TEMPORARY placeholder until the exact formatting lands (same interface).
#include "core/NumberFormat.h"

#include <cstdio>

#include "core/DecimalSeparator.h"

namespace korvastel {
std::string FormatFixed2(double value) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  std::string s(buf);
  for (char& c : s) if (c == '.') c = DecimalSeparator();
  return s;
}
}  // namespace korvastel
