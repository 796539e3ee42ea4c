#pragma once

#include <QIcon>
#include <QString>

// The picture of the program ("korvastel") or of one of its actions ("calc",
// "open", ...), from the resources. Each is drawn as SVG; where Qt draws no
// SVG (the static Qt of the Windows build) the build renders it into one PNG
// for each size that screen scales of 100 to 200 % ask for, and the icon picks
// the size it is shown at.
QIcon ProgramIcon(const QString& name);
