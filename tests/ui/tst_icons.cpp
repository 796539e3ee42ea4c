// The pictures of the program and its seven actions: each is in the
// resources under its agreed name and draws a visible, square picture at the
// sizes a 16-pixel toolbar button takes at screen scales of 100 to 200 %,
// whether drawn from SVG or from the PNGs rendered for a Qt without SVG.
// Run with --without-svg-plugins, the program finds none of Qt's plugins but
// the platforms, as on a system whose SVG plugins are missing, and must still
// draw every picture.

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLibraryInfo>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <algorithm>
#include <string_view>
#include <vector>

#include "ui/ProgramIcons.h"

class TestIcons : public QObject {
  Q_OBJECT

 private slots:
  void pictureDrawsAtEveryScale_data();
  void pictureDrawsAtEveryScale();
  void svgPluginsAreHiddenWhenAsked();

 public:
  static inline bool withoutSvgPlugins = false;
};

void TestIcons::pictureDrawsAtEveryScale_data() {
  QTest::addColumn<QString>("name");
  for (const char* name : {"korvastel", "clear", "open", "save", "exit", "about", "calc", "help"})
    QTest::newRow(name) << QString::fromLatin1(name);
}

void TestIcons::pictureDrawsAtEveryScale() {
  QFETCH(QString, name);

  const QIcon icon = ProgramIcon(name);
  QVERIFY(!icon.isNull());
  for (const int size : {16, 20, 24, 28, 32}) {
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    QCOMPARE(image.size(), QSize(size, size));
    // a picture that reads at this size covers a fair share of its square
    int covered = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        if (qAlpha(image.pixel(x, y)) > 128) ++covered;
    QVERIFY2(covered >= size * size / 4, qPrintable(QStringLiteral("%1 px: %2").arg(size).arg(covered)));
  }
}

void TestIcons::svgPluginsAreHiddenWhenAsked() {
  // otherwise the run without plugins would prove nothing
  const bool svgReadable = QImageReader::supportedImageFormats().contains("svg");
  QCOMPARE(svgReadable, !withoutSvgPlugins && QFileInfo::exists(QStringLiteral(":/icons/calc.svg")));
}

int main(int argc, char* argv[]) {
  std::vector<char*> arguments(argv, argv + argc);
  const auto hide = std::find(arguments.begin(), arguments.end(), std::string_view("--without-svg-plugins"));
  if (hide != arguments.end()) {
    arguments.erase(hide);
    TestIcons::withoutSvgPlugins = true;
    // the platform plugins stay reachable through their own path; every other
    // plugin folder, image formats and icon engines among them, is gone
    qputenv("QT_QPA_PLATFORM_PLUGIN_PATH",
            (QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms")).toLocal8Bit());
    QCoreApplication::setLibraryPaths({});
  }
  int count = static_cast<int>(arguments.size());
  QGuiApplication app(count, arguments.data());
  TestIcons test;
  return QTest::qExec(&test, count, arguments.data());
}
#include "tst_icons.moc"
