// Bytes from the line shown as text.
//
// Captions that come from the controller (listed messages, gauge mantissas,
// flow readings) are byte strings. They are shown with one mapping, the
// Western Windows code page 1252 that the panel's original platform used, so
// that every byte value is one visible character and none is dropped:
//   0x20-0x7E, 0xA0-0xFF  as in Latin-1;
//   0x80-0x9F             the code page's characters (euro sign, quotes ...);
//                         its five unassigned positions as U+FFFD;
//   0x00-0x1F, 0x7F       the Unicode control pictures (U+2400 ...), since a
//                         raw control character would show as nothing.
// Texts typed by the operator go back through the same table.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace halvorn::shell {

QString FromLineBytes(std::string_view bytes);

// The operator's text as bytes; a character the table cannot carry becomes
// "?", which every check of the panel rejects.
std::string ToLineBytes(const QString& text);

}  // namespace halvorn::shell
