// Numbers as they cross the line and as the panel writes them.
//
// The controller's numeric fields (answer type, uptime, gauge exponent) are
// read leniently rather than rejected: the panel shows what it can make of a
// field instead of refusing the whole answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace halvorn {

// Reads a decimal number from the front of `text`: blanks (space, tab, line
// feed) at the front are skipped, then one optional "+" or "-", then digits up
// to the first character that is not a digit. No digits read 0. A value
// beyond the 64-bit range stops at the range's end, so no input overflows.
[[nodiscard]] std::int64_t ReadLeadingNumber(std::string_view text);

// The signed conversion of the counters, warnings and gauge exponents: a
// space in place of the plus sign, so 3 is " 3" and -5 is "-5".
[[nodiscard]] std::string SignedNumberText(std::int64_t value);

// The same signed conversion, written at the end of `text`, so that a caption
// can be rebuilt in the storage it already holds.
void AppendSignedNumber(std::string& text, std::int64_t value);

// The plain conversion of the uptime: no leading space, a minus sign only
// when negative, written at the end of `text`.
void AppendPlainNumber(std::string& text, std::int64_t value);

}  // namespace halvorn
