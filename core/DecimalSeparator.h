#pragma once

namespace korvastel {

// The one decimal separator of the process, shared by ParseSpan and the
// number formatting so that what is shown can be typed back. It starts as
// "."; the application sets the regional separator at start-up and after a
// change of regional settings, and the main window sets "." when shown.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

}  // namespace korvastel
