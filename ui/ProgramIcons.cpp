#include "ui/ProgramIcons.h"

#include <QDir>
#include <QFileInfo>

QIcon ProgramIcon(const QString& name) {
  const QString svg = QStringLiteral(":/icons/%1.svg").arg(name);
  if (QFileInfo::exists(svg)) return QIcon(svg);
  QIcon icon;
  const QDir sizes(QStringLiteral(":/icons/%1").arg(name));
  for (const QString& png : sizes.entryList({QStringLiteral("*.png")}, QDir::Files)) icon.addFile(sizes.filePath(png));
  return icon;
}
