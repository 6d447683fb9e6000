#include "publish/LineBytes.h"

#include <array>
#include <cstdint>

namespace halvorn::publish {
namespace {

constexpr char32_t kUnassigned = 0xFFFD;

// Code page 1252 at 0x80 to 0x9F.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC,      kUnassigned, 0x201A, 0x0192, 0x201E, 0x2026,      0x2020, 0x2021,
    0x02C6,      0x2030,      0x0160, 0x2039, 0x0152, kUnassigned, 0x017D, kUnassigned,
    kUnassigned, 0x2018,      0x2019, 0x201C, 0x201D, 0x2022,      0x2013, 0x2014,
    0x02DC,      0x2122,      0x0161, 0x203A, 0x0153, kUnassigned, 0x017E, 0x0178};

char32_t CharacterOf(unsigned char byte) {
  if (byte < 0x20) return 0x2400 + byte;
  if (byte == 0x7F) return 0x2421;
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {  // everything the table holds is in the first plane
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string Utf8FromLineBytes(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) AppendUtf8(text, CharacterOf(static_cast<unsigned char>(byte)));
  return text;
}

}  // namespace halvorn::publish
