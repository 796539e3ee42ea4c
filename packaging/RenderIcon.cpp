// Renders the program's SVG icon into the square PNG pictures of the desktop's
// icon theme, with the same SVG renderer that draws the window icon, so the
// menu and the title bar show one picture.
//
//   render-icon korvastel.svg 16 out/16.png 32 out/32.png ...
//
// Fails, writing nothing further, on an unreadable SVG, a bad size, a picture
// that comes out fully transparent (the renderer drew nothing) or a file that
// cannot be written.
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

bool RenderOne(QSvgRenderer& renderer, const QString& sizeText, const QString& output) {
  bool isNumber = false;
  const int size = sizeText.toInt(&isNumber);
  if (!isNumber || size < 1 || size > 4096) return Fail("bad size \"" + sizeText + "\"");
  const QImage image = Render(renderer, size);
  if (IsFullyTransparent(image)) return Fail("the picture at " + sizeText + " px is empty");
  if (!image.save(output, "PNG")) return Fail("cannot write " + output);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // a build step has no screen; fonts for any text in the picture still work
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 4 || args.size() % 2 != 0) {
    std::fprintf(stderr, "usage: render-icon ICON.svg SIZE OUT.png [SIZE OUT.png ...]\n");
    return 2;
  }
  QSvgRenderer renderer(args[1]);
  if (!renderer.isValid()) {
    Fail("cannot read " + args[1]);
    return 1;
  }
  // a picture that is not square keeps its proportions, centred
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);
  for (qsizetype i = 2; i < args.size(); i += 2) {
    if (!RenderOne(renderer, args[i], args[i + 1])) return 1;
  }
  return 0;
}
