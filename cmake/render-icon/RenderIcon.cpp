// Renders the program's SVG pictures into square PNGs, with the same SVG
// renderer that draws them in the windows, so the desktop's icon theme, a
// Windows build without SVG and the title bar show one picture; and into a
// Windows icon file holding several sizes.
//
//   render-icon korvastel.svg 16 out/16.png 32 out/32.png ...
//   render-icon --ico out/korvastel.ico korvastel.svg 16 24 32 48 256
//
// Fails, writing nothing further, on an unreadable SVG, a bad size, a picture
// that comes out fully transparent (the renderer drew nothing) or a file that
// cannot be written.
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

namespace {

bool IsFullyTransparent(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) != 0) return false;
    }
  }
  return true;
}

QImage Render(QSvgRenderer& renderer, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  renderer.render(&painter, QRectF(0, 0, size, size));
  return image;
}

bool Fail(const QString& message) {
  std::fprintf(stderr, "render-icon: %s\n", qPrintable(message));
  return false;
}

bool ParseSize(const QString& text, int& size) {
  bool isNumber = false;
  size = text.toInt(&isNumber);
  return isNumber && size >= 1 && size <= 4096;
}

bool RenderOne(QSvgRenderer& renderer, const QString& sizeText, const QString& output) {
  int size = 0;
  if (!ParseSize(sizeText, size)) return Fail("bad size \"" + sizeText + "\"");
  const QImage image = Render(renderer, size);
  if (IsFullyTransparent(image)) return Fail("the picture at " + sizeText + " px is empty");
  if (!image.save(output, "PNG")) return Fail("cannot write " + output);
  return true;
}

// One picture of an icon file as Windows reads it back to XP: a 32-bit
// bottom-up bitmap of twice the height (colour, then the transparency mask).
QByteArray IconBitmap(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  const int size = image.width();
  const int maskStride = ((size + 31) / 32) * 4;
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint32(40) << qint32(size) << qint32(2 * size) << quint16(1) << quint16(32) << quint32(0)
      << quint32(size * size * 4 + maskStride * size) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) out << quint32(image.pixel(x, y));
  for (int y = size - 1; y >= 0; --y) {
    QByteArray row(maskStride, '\0');
    for (int x = 0; x < size; ++x)
      if (qAlpha(image.pixel(x, y)) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    out.writeRawData(row.constData(), int(row.size()));
  }
  return bytes;
}

// 256 px is stored as PNG, as Windows Vista introduced; smaller sizes as bitmaps.
QByteArray IconPicture(const QImage& image) {
  if (image.width() < 256) return IconBitmap(image);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png;
}

bool WriteIcon(QSvgRenderer& renderer, const QStringList& sizeTexts, const QString& output) {
  QList<QByteArray> pictures;
  QList<int> sizes;
  for (const QString& text : sizeTexts) {
    int size = 0;
    if (!ParseSize(text, size) || size > 256) return Fail("bad icon size \"" + text + "\"");
    const QImage image = Render(renderer, size);
    if (IsFullyTransparent(image)) return Fail("the picture at " + text + " px is empty");
    sizes << size;
    pictures << IconPicture(image);
  }
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint16(0) << quint16(1) << quint16(pictures.size());
  quint32 offset = quint32(6 + 16 * pictures.size());
  for (qsizetype i = 0; i < pictures.size(); ++i) {
    const auto side = quint8(sizes[i] == 256 ? 0 : sizes[i]);  // 0 means 256
    out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32) << quint32(pictures[i].size())
        << offset;
    offset += quint32(pictures[i].size());
  }
  for (const QByteArray& picture : pictures) out.writeRawData(picture.constData(), int(picture.size()));
  QFile file(output);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
    return Fail("cannot write " + output);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // a build step has no screen; fonts for any text in the picture still work
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments();
  const bool icon = args.size() > 1 && args[1] == QLatin1String("--ico");
  const QString iconFile = icon && args.size() > 2 ? args[2] : QString();
  if (icon) args.remove(1, 2);
  if (args.size() < (icon ? 3 : 4) || (!icon && args.size() % 2 != 0)) {
    std::fprintf(stderr,
                 "usage: render-icon ICON.svg SIZE OUT.png [SIZE OUT.png ...]\n"
                 "       render-icon --ico OUT.ico ICON.svg SIZE [SIZE ...]\n");
    return 2;
  }
  QSvgRenderer renderer(args[1]);
  if (!renderer.isValid()) {
    Fail("cannot read " + args[1]);
    return 1;
  }
  // a picture that is not square keeps its proportions, centred
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);
  if (icon) return WriteIcon(renderer, args.mid(2), iconFile) ? 0 : 1;
  for (qsizetype i = 2; i < args.size(); i += 2) {
    if (!RenderOne(renderer, args[i], args[i + 1])) return 1;
  }
  return 0;
}
