// State texts come from the line as bytes; Sparkplug's strings are UTF-8.
// The mapping is the one the window shows them with (app/LineText.h): code
// page 1252, the control bytes as Unicode's control pictures, so that every
// byte is one visible character and a subscriber reads what the operator
// reads.
#pragma once

#include <string>
#include <string_view>

namespace halvorn::publish {

[[nodiscard]] std::string Utf8FromLineBytes(std::string_view bytes);

}  // namespace halvorn::publish
