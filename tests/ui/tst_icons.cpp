// The pictures of the program and its seven actions: each is in the
// resources under its agreed name and draws a visible, square picture at the
// sizes a 16-pixel toolbar button takes at screen scales of 100 to 200 %,
// whether drawn from SVG or from the PNGs rendered for a Qt without SVG.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include "ui/ProgramIcons.h"

class TestIcons : public QObject {
  Q_OBJECT

 private slots:
  void pictureDrawsAtEveryScale_data();
  void pictureDrawsAtEveryScale();
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

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
