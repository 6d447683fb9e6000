#include "link/Frame.h"

namespace halvorn {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

int Checksum(std::string_view text) {
  unsigned sum = 0;
  for (const char c : text) sum = (sum + static_cast<unsigned char>(c)) & 0xFFu;
  return static_cast<int>(sum);
}

std::string ChecksumField(int checksum) {
  const int value = checksum & 0xFF;
  return {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
          static_cast<char>('0' + value % 10)};
}

std::string BuildFrame(std::string_view text) {
  std::string frame;
  frame.reserve(text.size() + 4);
  frame.append(text);
  frame += ChecksumField(Checksum(text));
  frame += kCarriageReturn;
  return frame;
}

bool CrcError(std::string_view message) {
  if (message.size() < 3) return true;
  const auto field = message.substr(message.size() - 3);
  if (!IsDigit(field[0]) || !IsDigit(field[1]) || !IsDigit(field[2])) return true;
  const int received = (field[0] - '0') * 100 + (field[1] - '0') * 10 + (field[2] - '0');
  return received != Checksum(message.substr(0, message.size() - 3));
}

}  // namespace halvorn
