#pragma once

#include <QIcon>
#include <QString>

// The picture of the program ("korvastel") or of one of its actions ("calc",
// "open", ...), from the resources. Each is drawn as SVG and, beside it, the
// build renders it into one PNG for each size that screen scales of 100 to
// 200 % ask for. The SVG is used where Qt can draw it; where it cannot (a Qt
// without SVG, such as the static Qt of the Windows build, or a system whose
// SVG plugins are missing) the icon is made of the PNGs and picks the size
// it is shown at.
QIcon ProgramIcon(const QString& name);
