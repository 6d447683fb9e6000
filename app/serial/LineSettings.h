// The line settings of the controller link as the port applies them, and
// how the panel's settings text ("baud,parity,data,stop", e.g.
// "115200,n,8,1") updates them. A field that cannot be applied leaves its
// setting as it was, so the transient "115200,,8,1" of start-up changes the
// speed and keeps the parity.
#pragma once

#include <termios.h>

#include <string>
#include <string_view>

namespace halvorn::shell {

enum class Parity { None, Even, Odd, Mark, Space };

struct LineSettings {
  int baud = 9600;
  Parity parity = Parity::None;
  int dataBits = 8;
  int stopBits = 1;

  bool operator==(const LineSettings&) const = default;
};

// The settings after applying the text to `current`, field by field. Baud:
// 2400, 9600, 38400, 115200, 460800 or 921600. Parity: one of n, e, o, m, s
// in either case. Data bits 5 to 8. Stop bits 1 or 2. Anything else in a
// field, a missing field or a field beyond the fourth changes nothing.
LineSettings UpdateLineSettings(LineSettings current, std::string_view text);

// The settings written back as a settings text with a lower-case parity
// letter, e.g. "115200,n,8,1".
std::string ToText(const LineSettings& settings);

// Puts `attributes` into raw byte transfer at these settings: every byte
// passes unchanged both ways (no echo, no line editing, no character
// translation, no software or hardware flow control, parity not checked on
// input because the frame's checksum judges each message), the modem lines
// are ignored, and a read waits for at least one byte, so that a
// non-blocking read that returns 0 means the line hung up.
void ApplyLineSettings(const LineSettings& settings, termios& attributes);

}  // namespace halvorn::shell
