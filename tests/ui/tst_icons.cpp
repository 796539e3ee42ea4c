// The pictures of the program and its seven actions: each is in the
// resources under its agreed name and draws a visible picture at toolbar
// size, square and within its frame.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

class TestIcons : public QObject {
  Q_OBJECT

 private slots:
  void pictureDrawsAt16Pixels_data();
  void pictureDrawsAt16Pixels();
};

void TestIcons::pictureDrawsAt16Pixels_data() {
  QTest::addColumn<QString>("name");
  for (const char* name : {"korvastel", "clear", "open", "save", "exit", "about", "calc", "help"})
    QTest::newRow(name) << QString::fromLatin1(name);
}

void TestIcons::pictureDrawsAt16Pixels() {
  QFETCH(QString, name);

  QSvgRenderer picture(QStringLiteral(":/icons/%1.svg").arg(name));
  QVERIFY(picture.isValid());
  const QRectF box = picture.viewBoxF();
  QCOMPARE(box.width(), box.height());
  QVERIFY(box.width() == 16 || box.width() == 24);

  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  picture.render(&painter);
  painter.end();

  // a picture that reads at 16 px covers a fair share of its square
  int covered = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (qAlpha(image.pixel(x, y)) > 128) ++covered;
  QVERIFY2(covered >= 16 * 16 / 4, qPrintable(QString::number(covered)));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
