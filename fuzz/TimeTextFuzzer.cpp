// Fuzz target for the history viewer's time arguments (--from, --to): any
// text is either refused or read as one time, whatever the session's start,
// without undefined behaviour (the sanitizers watch), and a time written as
// the CSV writes it reads back as itself to the millisecond.
//
// The input is the argument's text as typed. Local time is a fixed zone
// with summer time, given by its rule so that no zone files are needed.
#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "Saturating.h"
#include "TimeText.h"

namespace {

using halvorn::history::FormatLocalIso;
using halvorn::history::Nanoseconds;
using halvorn::history::ParseTimeArgument;
using halvorn::history::SaturatingSub;

constexpr Nanoseconds kMax = std::numeric_limits<Nanoseconds>::max();
constexpr Nanoseconds kMin = std::numeric_limits<Nanoseconds>::min();
constexpr Nanoseconds kMillisecond = 1'000'000;
// Session starts: the epoch, a morning in December 2026, and both ends.
constexpr Nanoseconds kStarts[] = {0, 1'796'634'000'000'000'000LL, kMin, kMax};

[[noreturn]] void Fail(const char* invariant, std::string_view text,
                       const std::string& detail = {}) {
  std::fprintf(stderr, "time text invariant broken: %s\n  text: \"%.*s\"\n  %s\n", invariant,
               static_cast<int>(text.size()), text.data(), detail.c_str());
  std::abort();
}

void Expect(bool holds, const char* invariant, std::string_view text,
            const std::string& detail = {}) {
  if (!holds) Fail(invariant, text, detail);
}

Nanoseconds FloorToMillisecond(Nanoseconds t) {
  return t - ((t % kMillisecond) + kMillisecond) % kMillisecond;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool zoneSet = [] {
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    return true;
  }();
  (void)zoneSet;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::optional<Nanoseconds> read[std::size(kStarts)];
  for (std::size_t i = 0; i < std::size(kStarts); ++i)
    read[i] = ParseTimeArgument(text, kStarts[i]);
  for (const auto& r : read)
    Expect(r.has_value() == read[0].has_value(), "refused for every start or none", text);
  if (!read[0]) return 0;

  if (text.find('-') == std::string_view::npos) {
    // Seconds from the start: the same whatever the start, 0 to 1e9 s.
    for (const auto& r : read) Expect(*r == *read[0], "seconds do not depend on the start", text);
    Expect(*read[0] >= 0 && *read[0] <= 1'000'000'000LL * 1'000'000'000LL,
           "seconds within 0 to 1e9 s", text, std::to_string(*read[0]));
    return 0;
  }
  // A wall-clock time: the same moment, whatever the start.
  const Nanoseconds wall = *read[0];
  for (std::size_t i = 0; i < std::size(kStarts); ++i)
    Expect(*read[i] == SaturatingSub(wall, kStarts[i]), "a local time is one moment", text,
           std::to_string(*read[i]) + " from start " + std::to_string(kStarts[i]));
  // Away from the ends of 64 bits, where the reading stops at the end:
  // what the CSV writes of that moment reads back as it.
  if (wall > kMin + 2'000'000'000LL && wall < kMax - 2'000'000'000LL) {
    const std::string iso = FormatLocalIso(wall);
    const auto again = ParseTimeArgument(iso, 0);
    Expect(again && *again == FloorToMillisecond(wall), "the CSV's time reads back", text,
           iso + " read as " + (again ? std::to_string(*again) : std::string("nothing")) +
               ", wrote " + std::to_string(wall));
  }
  return 0;
}
