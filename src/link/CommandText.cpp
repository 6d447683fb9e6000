#include "link/CommandText.h"

namespace halvorn {

std::string ZeroPadded(int value, int digits) {
  // Widen first: the magnitude of the most negative int does not fit an int.
  const long long wide = value;
  const std::string magnitude = std::to_string(wide < 0 ? -wide : wide);
  const std::size_t width = digits > 0 ? static_cast<std::size_t>(digits) : 0;
  const std::string zeros(magnitude.size() < width ? width - magnitude.size() : 0, '0');
  return (wide < 0 ? "-" : "") + zeros + magnitude;
}

std::string CommandText(int operationCode, std::string_view argument) {
  std::string text = ZeroPadded(operationCode, 3) + "_";
  text += argument;
  return text;
}

}  // namespace halvorn
