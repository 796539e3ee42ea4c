#include "ui/GridCellText.h"

#include <QByteArray>
#include <QFontMetrics>
#include <QString>

namespace {
// Texts up to this many bytes are drawn whole: exact for any script and
// still far below the cost of a frame.
constexpr std::size_t kWholeTextLimit = 4096;
// The tail grows from this many bytes...
constexpr std::size_t kFirstTailBytes = 256;
// ...up to this many; a wider tail of zero-width marks would be as invisible.
constexpr std::size_t kLongestTailBytes = 64 * 1024;

bool IsUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The last `count` bytes, moved forward past at most three continuation bytes
// so the slice starts on a character rather than on the middle of one.
QString DecodeTail(const std::string& bytes, std::size_t count) {
  std::size_t start = bytes.size() - count;
  for (int skipped = 0; skipped < 3 && start < bytes.size() && IsUtf8Continuation(bytes[start]); ++skipped)
    ++start;
  return QString::fromUtf8(bytes.data() + start, static_cast<qsizetype>(bytes.size() - start));
}
}  // namespace

QString GridCellText::Decode(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string GridCellText::Encode(QStringView text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

bool GridCellText::DecodesTo(const std::string& bytes, QStringView text) {
  // every UTF-8 sequence of 1 to 4 bytes, and every invalid byte, becomes 1
  // or 2 UTF-16 units, except a leading byte order mark, which is dropped:
  // n bytes are at most n units and at least (n - 3) / 3
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
