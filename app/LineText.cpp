#include "LineText.h"

#include <array>

namespace halvorn::shell {

namespace {

constexpr char16_t kUnassigned = 0xFFFD;

// Code page 1252 at 0x80 to 0x9F.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, kUnassigned, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,      0x0160, 0x2039, 0x0152, kUnassigned, 0x017D, kUnassigned,
    kUnassigned, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,      0x0161, 0x203A, 0x0153, kUnassigned, 0x017E, 0x0178};

char16_t CharacterOf(unsigned char byte) {
  if (byte < 0x20) return static_cast<char16_t>(0x2400 + byte);
  if (byte == 0x7F) return 0x2421;
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

}  // namespace

QString FromLineBytes(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char c : bytes) text.append(QChar(CharacterOf(static_cast<unsigned char>(c))));
  return text;
}

std::string ToLineBytes(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar ch : text) {
    char byte = '?';
    for (int value = 0; value < 256; ++value) {
      if (CharacterOf(static_cast<unsigned char>(value)) == ch.unicode() &&
          ch.unicode() != kUnassigned) {
        byte = static_cast<char>(value);
        break;
      }
    }
    bytes += byte;
  }
  return bytes;
}

}  // namespace halvorn::shell
