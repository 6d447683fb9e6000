#include "Options.h"

#include <algorithm>
#include <charconv>

namespace halvorn::perf {
namespace {

// "1,10,20": each 1 to 20.
bool ParseSlices(std::string_view text, std::vector<int>& out) {
  out.clear();
  while (!text.empty()) {
    const std::string_view item = text.substr(0, text.find(','));
    int ms = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), ms);
    if (error != std::errc{} || end != item.data() + item.size() || ms < 1 || ms > 20) return false;
    out.push_back(ms);
    text.remove_prefix(std::min(text.size(), item.size() + 1));
  }
  return !out.empty();
}

// "offscreen,xvfb", either or both.
bool ParseDisplays(std::string_view text, std::vector<Display>& out) {
  out.clear();
  while (!text.empty()) {
    const std::string_view item = text.substr(0, text.find(','));
    if (item == "offscreen") {
      out.push_back(Display::Offscreen);
    } else if (item == "xvfb") {
      out.push_back(Display::Xvfb);
    } else {
      return false;
    }
    text.remove_prefix(std::min(text.size(), item.size() + 1));
  }
  return !out.empty();
}

}  // namespace

const char kUsage[] =
    "usage: halvorn-perf [--help] [--quick] [--seconds N] [--repeats N] [--starts N] [--answers N]\n"
    "                    [--slices 1,10,20] [--displays offscreen,xvfb] [--record FILE]\n"
    "                    [--panel-arg ARG]... [--sim-arg ARG]...\n"
    "  prints the panel's performance figures beside their targets;\n"
    "  with --record the panels measured record their runs into FILE;\n"
    "  --panel-arg and --sim-arg pass one more argument to the panel (--alarms)\n"
    "  or to the simulator (--fault=V3=160)\n";

const char* Name(Display display) { return display == Display::Offscreen ? "offscreen" : "Xvfb"; }

Options ParseOptions(const std::vector<std::string_view>& arguments) {
  Options options;
  const std::size_t count = arguments.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view name = arguments[i];
    const bool hasValue = i + 1 < count;
    const auto number = [&](int& out) {
      if (!hasValue) return false;
      const std::string_view text = arguments[++i];
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
      return error == std::errc{} && end == text.data() + text.size() && out > 0;
    };
    if (name == "--help") {
      options.help = true;
    } else if (name == "--quick") {
      options.seconds = 3;
      options.repeats = 1;
      options.starts = 2;
      options.answers = 300;
    } else if (name == "--record" && hasValue) {
      options.record = arguments[++i];
    } else if ((name == "--panel-arg" || name == "--sim-arg") && hasValue) {
      (name == "--panel-arg" ? options.panelArguments : options.simArguments).emplace_back(arguments[++i]);
    } else if (name == "--slices") {
      options.ok = options.ok && hasValue && ParseSlices(arguments[++i], options.slicesMs);
    } else if (name == "--displays") {
      options.ok = options.ok && hasValue && ParseDisplays(arguments[++i], options.displays);
    } else if (name == "--seconds") {
      options.ok = options.ok && number(options.seconds);
    } else if (name == "--repeats") {
      options.ok = options.ok && number(options.repeats);
    } else if (name == "--starts") {
      options.ok = options.ok && number(options.starts);
    } else if (name == "--answers") {
      options.ok = options.ok && number(options.answers);
    } else {
      options.ok = false;
    }
  }
  return options;
}

}  // namespace halvorn::perf
