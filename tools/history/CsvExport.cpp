#include "CsvExport.h"

#include <algorithm>
#include <charconv>

#include "Saturating.h"
#include "TimeText.h"

namespace halvorn::history {

namespace {

std::vector<const std::vector<Sample>*> Channels(const SessionData& data) {
  std::vector<const std::vector<Sample>*> channels;
  for (const auto& g : data.gauges) channels.push_back(&g);
  for (const auto& f : data.flows) channels.push_back(&f);
  return channels;
}

// The moments of [from, to] at which any channel has a row, and `from`
// itself so that the range opens with the state in force.
std::vector<Nanoseconds> RowTimes(const std::vector<const std::vector<Sample>*>& channels, Nanoseconds from,
                                  Nanoseconds to) {
  std::vector<Nanoseconds> times{from};
  for (const auto* samples : channels) {
    auto first = std::lower_bound(samples->begin(), samples->end(), from,
                                  [](const Sample& s, Nanoseconds t) { return s.t < t; });
    for (; first != samples->end() && first->t <= to; ++first) times.push_back(first->t);
  }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  return times;
}

void Number(std::ostream& out, double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.write(text, result.ptr - text);
}

}  // namespace

void WriteCsv(std::ostream& out, const SessionData& data, Nanoseconds from, Nanoseconds to) {
  out << "time";
  for (int g = 1; g <= kGaugeCount; ++g) out << ",G" << g;
  for (int f = 1; f <= kFlowCount; ++f) out << ",MFC" << f;
  out << '\n';
  const Nanoseconds end = data.end();
  to = std::min(to, end);
  if (to < from) return;
  const auto channels = Channels(data);
  for (const Nanoseconds t : RowTimes(channels, from, to)) {
    bool begun = false;
    for (const auto* samples : channels) begun = begun || (!samples->empty() && samples->front().t <= t);
    if (!begun) continue;  // before the first reading of the session
    out << FormatLocalIso(SaturatingAdd(data.session.startedWallNs, t));
    for (const auto* samples : channels) {
      out << ',';
      const Sample* state = StateAt(*samples, t);
      if (state && state->quality == record::Quality::Valid) Number(out, state->value);
    }
    out << '\n';
  }
}

void WriteSummaryCsv(std::ostream& out, RecordReader& reader, const Session& session, Detail detail, Nanoseconds from,
                     Nanoseconds to) {
  const std::string_view resolution = DetailName(detail);
  out << "time";
  for (int c = 0; c < kChannelCount; ++c)
    for (const char* what : {" min ", " mean ", " max "}) out << ',' << ChannelName(c) << what << resolution;
  out << '\n';
  const Nanoseconds period = PeriodOf(detail);
  if (period <= 0 || to < from) return;
  constexpr Nanoseconds kIntervalsPerRead = 1000;
  const auto cell = [&out](double value) {
    out << ',';
    if (value == value) Number(out, value);
  };
  // Intervals overlap [from, to] when they begin after from - period.
  Nanoseconds chunk = from - ((from % period) + period) % period;
  while (chunk <= to) {
    const Nanoseconds chunkEnd = SaturatingAdd(chunk, kIntervalsPerRead * period);
    const auto read = reader.readSummaries(session.id, period, chunk, std::min(chunkEnd, SaturatingAdd(to, 1)));
    std::array<std::size_t, kChannelCount> next{};
    while (true) {
      // The earliest interval any channel has next.
      Nanoseconds t = std::numeric_limits<Nanoseconds>::max();
      for (int c = 0; c < kChannelCount; ++c) {
        const auto& buckets = read[static_cast<std::size_t>(c)];
        if (next[static_cast<std::size_t>(c)] < buckets.size())
          t = std::min(t, buckets[next[static_cast<std::size_t>(c)]].t);
      }
      if (t == std::numeric_limits<Nanoseconds>::max()) break;
      out << FormatLocalIso(SaturatingAdd(session.startedWallNs, t));
      for (int c = 0; c < kChannelCount; ++c) {
        const auto& buckets = read[static_cast<std::size_t>(c)];
        std::size_t& k = next[static_cast<std::size_t>(c)];
        if (k < buckets.size() && buckets[k].t == t) {
          const Bucket& b = buckets[k++];
          cell(b.min);
          cell(b.mean);
          cell(b.max);
        } else {
          out << ",,,";
        }
      }
      out << '\n';
    }
    if (chunkEnd == std::numeric_limits<Nanoseconds>::max()) break;
    chunk = chunkEnd;
  }
}

}  // namespace halvorn::history
