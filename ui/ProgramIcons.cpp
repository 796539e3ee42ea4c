#include "ui/ProgramIcons.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>

namespace {

QIcon RenderedIcon(const QString& name) {
  QIcon icon;
  const QDir sizes(QStringLiteral(":/icons/%1").arg(name));
  for (const QString& png : sizes.entryList({QStringLiteral("*.png")}, QDir::Files)) icon.addFile(sizes.filePath(png));
  return icon;
}

}  // namespace

QIcon ProgramIcon(const QString& name) {
  const QString svg = QStringLiteral(":/icons/%1.svg").arg(name);
  if (QFileInfo::exists(svg)) {
    // Qt draws SVG through plugins that a system may lack (Debian 13 keeps them
    // apart from the SVG library): an icon that cannot draw is left for the PNGs
    QIcon icon(svg);
    if (!icon.isNull() && !icon.pixmap(QSize(16, 16)).isNull()) return icon;
  }
  return RenderedIcon(name);
}
