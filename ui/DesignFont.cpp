#include "ui/DesignFont.h"

#include <QString>
#include <QStringList>

namespace {

QStringList Families(DesignFace face) {
  switch (face) {
    case DesignFace::Arial:
      return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
              QStringLiteral("DejaVu Sans")};
    case DesignFace::ArialBlack:
      return {QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
              QStringLiteral("DejaVu Sans")};
    case DesignFace::MsSansSerif:
      return {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
              QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
  }
  return {};
}

}  // namespace

QFont DesignFont(DesignFace face, int pixelSize, QFont::Weight weight, bool italic) {
  QFont font;
  font.setFamilies(Families(face));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  font.setItalic(italic);
  return font;
}
