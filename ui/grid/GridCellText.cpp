#include "ui/grid/GridCellText.h"

#include <QByteArray>
#include <QFontMetrics>
#include <QString>
#include <QStringDecoder>
#include <array>

namespace {
// Texts up to this many bytes are drawn whole: exact for any script and
// still far below the cost of a frame.
constexpr std::size_t kWholeTextLimit = 4096;
// The tail grows from this many bytes...
constexpr std::size_t kFirstTailBytes = 256;
// ...up to this many; a wider tail of zero-width marks would be as invisible.
constexpr std::size_t kLongestTailBytes = 64 * 1024;

bool IsUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

#if !defined(Q_OS_WIN)
// Windows-1251 from 0x80 up; 0x98 is unassigned. Below 0x80 it is ASCII, and
// from 0xC0 the Cyrillic alphabet in Unicode's order.
constexpr std::array<char16_t, 0x40> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
#endif

// Text of a Windows system's ANSI code page.
QString DecodeCodePage(const char* bytes, qsizetype size) {
#if defined(Q_OS_WIN)
  return QString::fromLocal8Bit(bytes, size);
#else
  QString text(size, Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) out[i] = QChar(byte);
    else if (byte >= 0xC0) out[i] = QChar(char16_t(0x0410 + (byte - 0xC0)));
    else out[i] = QChar(kWindows1251High[byte - 0x80]);
  }
  return text;
#endif
}

// The last `count` bytes, moved forward past at most three continuation bytes
// so the slice starts on a character rather than on the middle of one.
QString DecodeTail(const std::string& bytes, std::size_t count) {
  std::size_t start = bytes.size() - count;
  for (int skipped = 0; skipped < 3 && start < bytes.size() && IsUtf8Continuation(bytes[start]); ++skipped)
    ++start;
  return GridCellText::Decode(bytes.data() + start, bytes.size() - start);
}
}  // namespace

QString GridCellText::Decode(const std::string& bytes) { return Decode(bytes.data(), bytes.size()); }

QString GridCellText::Decode(const char* bytes, std::size_t size) {
  const auto length = static_cast<qsizetype>(size);
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(QByteArrayView(bytes, length));
  if (!utf8.hasError()) return text;
  return DecodeCodePage(bytes, length);
}

std::string GridCellText::Encode(QStringView text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

bool GridCellText::DecodesTo(const std::string& bytes, QStringView text) {
  // every UTF-8 sequence of 1 to 4 bytes becomes 1 or 2 UTF-16 units, except
  // a leading byte order mark, which is dropped, and a code page gives at
  // most one unit a byte and at least one for two (the double-byte ones of
  // East Asian systems): n bytes are at most n units and at least (n - 3) / 3
  const auto units = static_cast<std::size_t>(text.size());
  if (units > bytes.size() || units * 3 + 3 < bytes.size()) return false;
  return Decode(bytes) == text;
}

QString GridCellText::VisibleTail(const std::string& bytes, const QFontMetrics& metrics, int width) {
  if (bytes.size() <= kWholeTextLimit) return Decode(bytes);
  for (std::size_t count = kFirstTailBytes;; count *= 8) {
    if (count >= bytes.size()) return Decode(bytes);
    QString tail = DecodeTail(bytes, count);
    if (count >= kLongestTailBytes || metrics.horizontalAdvance(tail) > width) return tail;
  }
}
