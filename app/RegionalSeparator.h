#pragma once

class QLocale;

// The decimal separator of a locale as the one byte that parsing and
// formatting share; "." where the locale's separator is not a single ASCII
// character (Arabic's U+066B, for one):
//   RegionalDecimalSeparator(QLocale(QLocale::German))  -> ','
//   RegionalDecimalSeparator(QLocale(QLocale::English)) -> '.'
char RegionalDecimalSeparator(const QLocale& locale);
