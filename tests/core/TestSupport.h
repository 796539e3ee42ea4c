#pragma once

// What several of the core's tests need.

#include <cstddef>
#include <string>
#include <vector>

#include "core/DecimalSeparator.h"
#include "core/SpanColumn.h"

namespace korvastel::test {

// Sets the process's decimal separator for as long as it lives, and puts the
// previous one back afterwards, also when a check fails.
class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) : saved_(DecimalSeparator()) { SetDecimalSeparator(separator); }
  ~SeparatorScope() { SetDecimalSeparator(saved_); }
  SeparatorScope(const SeparatorScope&) = delete;
  SeparatorScope& operator=(const SeparatorScope&) = delete;

 private:
  char saved_;
};

// A column whose first rows hold `texts`, in order; the rest are empty.
inline SpanColumn ColumnOf(const std::vector<std::string>& texts) {
  SpanColumn column;
  for (std::size_t row = 0; row < texts.size(); ++row) column.SetText(static_cast<int>(row), texts[row]);
  return column;
}

}  // namespace korvastel::test
