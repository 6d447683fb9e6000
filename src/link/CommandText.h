// Command texts for the controller, for the poll requests and the operator's
// commands alike: a three-digit operation code with leading zeros, "_", and
// the operation's argument. The frame around it (checksum digits and
// carriage return) is added by SendMessage.
#pragma once

#include <string>
#include <string_view>

namespace halvorn {

// `value` in decimal with at least `digits` digits, zeros in front; a
// negative value keeps its minus sign in front of the zeros ("-01").
[[nodiscard]] std::string ZeroPadded(int value, int digits);

// The operation code in three digits, "_", then `argument`: "020_05".
[[nodiscard]] std::string CommandText(int operationCode, std::string_view argument);

}  // namespace halvorn
