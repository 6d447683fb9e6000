// How the fuzz targets of the programs' texts read one input, and how they
// report a broken invariant.
//
// A command line is its arguments separated by NUL bytes, as the kernel
// hands them to a program; an empty input is no argument at all. The
// panel's target reads a settings file after the first pair of NULs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::fuzz {

inline std::string_view InputText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline std::vector<std::string_view> SplitArguments(std::string_view text) {
  std::vector<std::string_view> arguments;
  if (text.empty()) return arguments;
  for (;;) {
    const std::size_t nul = text.find('\0');
    arguments.push_back(text.substr(0, nul));
    if (nul == std::string_view::npos) return arguments;
    text.remove_prefix(nul + 1);
  }
}

// The arguments as NUL-separated text, the inverse of SplitArguments.
inline std::string JoinArguments(const std::vector<std::string>& arguments) {
  std::string text;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) text += '\0';
    text += arguments[i];
  }
  return text;
}

[[noreturn]] inline void Broken(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "broken invariant: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline void Check(bool holds, const char* what, std::string_view detail = {}) {
  if (!holds) Broken(what, detail);
}

}  // namespace halvorn::fuzz
