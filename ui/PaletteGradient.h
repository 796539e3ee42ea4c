#pragma once

class QPainter;
class QPalette;
class QRect;

// Fills a rectangle with the left-to-right gradient of the toolbar and the
// caption panels. Its colours come from the palette, so the strips follow the
// desktop's colour scheme (light and dark alike) instead of fixed colours.
void PaintPaletteGradient(QPainter& painter, const QRect& rect, const QPalette& palette);
