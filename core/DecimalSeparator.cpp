#include "core/DecimalSeparator.h"

namespace korvastel {

namespace {
char decimalSeparator = '.';
}

char DecimalSeparator() { return decimalSeparator; }

void SetDecimalSeparator(char separator) { decimalSeparator = separator; }

}  // namespace korvastel
