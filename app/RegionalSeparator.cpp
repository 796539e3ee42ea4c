#include "app/RegionalSeparator.h"

#include <QLocale>

char RegionalDecimalSeparator(const QLocale& locale) {
  const QString point = locale.decimalPoint();
  if (point.size() != 1 || point.front().unicode() >= 0x80) return '.';
  return static_cast<char>(point.front().unicode());
}
