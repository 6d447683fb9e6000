#include "publish/HostState.h"

#include <cstddef>

namespace halvorn::publish {
namespace {

// A cursor over the text; every step checks the end first.
struct Reader {
  std::string_view text;
  std::size_t at = 0;

  [[nodiscard]] bool End() const { return at >= text.size(); }
  [[nodiscard]] char Peek() const { return End() ? '\0' : text[at]; }
  void SkipBlanks() {
    while (!End() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
      ++at;
  }
  bool Take(char c) {
    SkipBlanks();
    if (Peek() != c) return false;
    ++at;
    return true;
  }
  bool TakeWord(std::string_view word) {
    SkipBlanks();
    if (text.substr(at, word.size()) != word) return false;
    at += word.size();
    return true;
  }
  // A string's contents, escapes kept as written (the members we read have
  // none); nullopt when it does not close.
  std::optional<std::string_view> String() {
    if (!Take('"')) return std::nullopt;
    const std::size_t start = at;
    while (!End() && text[at] != '"') at += text[at] == '\\' ? 2 : 1;
    if (End()) {
      at = text.size();
      return std::nullopt;
    }
    return text.substr(start, at++ - start);
  }
  // Skips one value of any kind; objects and arrays by counting brackets
  // outside strings, so no depth of nesting costs a stack.
  bool SkipValue() {
    SkipBlanks();
    if (Peek() == '"') return String().has_value();
    if (Peek() == '{' || Peek() == '[') {
      std::size_t depth = 0;
      while (!End()) {
        const char c = text[at];
        if (c == '"') {
          if (!String()) return false;
          continue;
        }
        ++at;
        if (c == '{' || c == '[') ++depth;
        if ((c == '}' || c == ']') && --depth == 0) return true;
      }
      return false;
    }
    const std::size_t start = at;
    while (!End() && text[at] != ',' && text[at] != '}' && text[at] != ' ' && text[at] != '\n')
      ++at;
    return at > start;
  }
  std::optional<std::int64_t> Whole() {
    SkipBlanks();
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (!End() && text[at] >= '0' && text[at] <= '9') {
      if (++digits > 18) return std::nullopt;
      value = value * 10 + (text[at++] - '0');
    }
    if (digits == 0) return std::nullopt;
    // A fraction or exponent makes it no whole number of milliseconds.
    if (Peek() == '.' || Peek() == 'e' || Peek() == 'E') return std::nullopt;
    return value;
  }
};

}  // namespace

std::optional<HostState> ParseHostState(std::string_view json) {
  if (json.size() > kMaxHostStateBytes) return std::nullopt;
  Reader reader{json};
  if (!reader.Take('{')) return std::nullopt;
  std::optional<bool> online;
  HostState state;
  if (!reader.Take('}')) {
    do {
      const std::optional<std::string_view> key = reader.String();
      if (!key || !reader.Take(':')) return std::nullopt;
      if (*key == "online") {
        if (reader.TakeWord("true")) {
          online = true;
        } else if (reader.TakeWord("false")) {
          online = false;
        } else {
          return std::nullopt;
        }
      } else if (*key == "timestamp") {
        const std::size_t start = reader.at;
        state.timestampMs = reader.Whole();
        if (!state.timestampMs) {
          reader.at = start;
          if (!reader.SkipValue()) return std::nullopt;
        }
      } else if (!reader.SkipValue()) {
        return std::nullopt;
      }
    } while (reader.Take(','));
    if (!reader.Take('}')) return std::nullopt;
  }
  reader.SkipBlanks();
  if (!reader.End() || !online) return std::nullopt;
  state.online = *online;
  return state;
}

}  // namespace halvorn::publish
