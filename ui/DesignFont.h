#pragma once

#include <QFont>

// The faces the windows were designed with are Windows fonts. Where one is
// missing the first installed fallback stands in: Liberation Sans and Arimo
// have Arial's metrics, so the labels keep their designed widths; failing
// all of them Qt takes its default sans-serif face.
enum class DesignFace {
  Arial,
  // the heavy face of the program's name; without Arial Black the weight asks
  // for the heaviest cut of the stand-in, so the name stays heavy
  ArialBlack,
  MsSansSerif,
};

QFont DesignFont(DesignFace face, int pixelSize, QFont::Weight weight = QFont::Normal, bool italic = false);
