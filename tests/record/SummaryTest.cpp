// What a gauge's or a flow's reading did over a minute and an hour, as the
// summariser tells it live and as it is made again from a record's rows.
#include "record/Summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "record/Schema.h"
#include "support/StoredSummaries.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using testing::TemporaryDirectory;

constexpr std::int64_t kS = 1'000'000'000;
constexpr std::int64_t kWallAtStart = 1'780'000'000 * kS;

std::string Seconds(std::int64_t ns) {
  return ns % kS == 0 ? std::to_string(ns / kS) + "s" : std::to_string(ns) + "ns";
}

std::string Value(const std::optional<double>& value) {
  if (!value) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%g", *value);
  return text;
}

// A row as the cases below expect it: durations that are not zero, values
// to six digits.
std::string Describe(const SummaryRow& row) {
  static constexpr const char* kQualities[] = {"valid", "below", "over", "fault", "nodata"};
  std::string text = std::string(row.device) +
                     (row.period_ns == kMinuteNs ? " minute@" : " hour@") + Seconds(row.t_ns);
  for (std::size_t q = 0; q < row.durations.size(); ++q) {
    if (row.durations[q] != 0)
      text += std::string(" ") + kQualities[q] + "=" + Seconds(row.durations[q]);
  }
  text += " min=" + Value(row.min) + " max=" + Value(row.max) + " mean=" + Value(row.mean) +
          " last=" + Value(row.last) + " changes=" + std::to_string(row.changes);
  return text;
}

// Every field to the last bit, for rows that must be equal.
std::string Exact(const SummaryRow& row) {
  char text[512];
  const auto bits = [](const std::optional<double>& v) {
    char out[40];
    if (!v) return std::string("-");
    std::snprintf(out, sizeof out, "%a", *v);
    return std::string(out);
  };
  std::snprintf(
      text, sizeof text, "%s %lld@%lld wall=%lld %s %s %s %s %lld/%lld/%lld/%lld/%lld %lld",
      std::string(row.device).c_str(), static_cast<long long>(row.period_ns),
      static_cast<long long>(row.t_ns), static_cast<long long>(row.wall_ns), bits(row.min).c_str(),
      bits(row.max).c_str(), bits(row.mean).c_str(), bits(row.last).c_str(),
      static_cast<long long>(row.durations[0]), static_cast<long long>(row.durations[1]),
      static_cast<long long>(row.durations[2]), static_cast<long long>(row.durations[3]),
      static_cast<long long>(row.durations[4]), static_cast<long long>(row.changes));
  return text;
}

struct Step {
  enum Kind { Read, Lost, Advance, Finish } kind;
  std::int64_t t;
  std::string_view device = "";
  Quality quality = Quality::Valid;
  std::optional<double> value = std::nullopt;
};

Step ReadAt(std::int64_t t, std::string_view device, double value) {
  return {Step::Read, t, device, Quality::Valid, value};
}
Step ReadAt(std::int64_t t, std::string_view device, Quality quality) {
  return {Step::Read, t, device, quality};
}

std::vector<std::string> Summarise(const std::vector<Step>& steps) {
  Summariser summariser;
  std::vector<std::string> rows;
  const Summariser::Sink sink = [&](const SummaryRow& row) { rows.push_back(Describe(row)); };
  for (const Step& step : steps) {
    const std::int64_t wall = kWallAtStart + step.t;
    switch (step.kind) {
      case Step::Read:
        summariser.Reading(step.device, step.t, wall, step.quality, step.value, sink);
        break;
      case Step::Lost: summariser.Gap(step.t, wall, sink); break;
      case Step::Advance: summariser.Advance(step.t, wall, sink); break;
      case Step::Finish: summariser.Finish(step.t, wall, sink); break;
    }
  }
  return rows;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(SummaryTest, WhatAReadingDidInEachInterval) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a steady reading holds across minutes and is cut at the end",
       {ReadAt(30 * kS, "G1", 2.0), {Step::Advance, 100 * kS}, {Step::Finish, 150 * kS}},
       {"G1 minute@0s valid=30s min=2 max=2 mean=2 last=2 changes=1",
        "G1 minute@60s valid=60s min=2 max=2 mean=2 last=2 changes=0",
        "G1 minute@120s valid=30s min=2 max=2 mean=2 last=2 changes=0",
        "G1 hour@0s valid=120s min=2 max=2 mean=2 last=2 changes=1"}},
      {"a spike of no duration counts for the minimum and maximum, not the mean",
       {ReadAt(10 * kS, "G2", 5.0),
        ReadAt(20 * kS, "G2", 9.0),
        ReadAt(20 * kS, "G2", 5.0),
        {Step::Finish, 60 * kS}},
       {"G2 minute@0s valid=50s min=5 max=9 mean=5 last=5 changes=3",
        "G2 hour@0s valid=50s min=5 max=9 mean=5 last=5 changes=3"}},
      {"time below, over, in fault and without data; values of the valid readings only",
       {ReadAt(0, "G3", Quality::BelowRange),
        ReadAt(10 * kS, "G3", Quality::OverRange),
        ReadAt(20 * kS, "G3", Quality::Fault),
        ReadAt(30 * kS, "G3", Quality::NoData),
        ReadAt(45 * kS, "G3", 1.5),
        ReadAt(50 * kS, "G3", 3.5),
        {Step::Finish, 60 * kS}},
       {"G3 minute@0s valid=15s below=10s over=10s fault=10s nodata=15s min=1.5 max=3.5 "
        "mean=2.83333 "
        "last=3.5 changes=6",
        "G3 hour@0s valid=15s below=10s over=10s fault=10s nodata=15s min=1.5 max=3.5 mean=2.83333 "
        "last=3.5 changes=6"}},
      {"a gap leaves nothing known until each device's next reading",
       {ReadAt(0, "G4", 3.0),
        ReadAt(0, "MFC1", 50.0),
        {Step::Lost, 20 * kS},
        ReadAt(40 * kS, "G4", 4.0),
        {Step::Finish, 60 * kS}},
       {"G4 minute@0s valid=40s min=3 max=4 mean=3.5 last=4 changes=2",
        "MFC1 minute@0s valid=20s min=50 max=50 mean=50 last=50 changes=1",
        "G4 hour@0s valid=40s min=3 max=4 mean=3.5 last=4 changes=2",
        "MFC1 hour@0s valid=20s min=50 max=50 mean=50 last=50 changes=1"}},
      {"a minute with nothing known has no row; a fault is no valid reading",
       {ReadAt(0, "G1", 1.0),
        {Step::Lost, 30 * kS},
        ReadAt(150 * kS, "G1", 2.0),
        ReadAt(160 * kS, "G1", Quality::Fault),
        {Step::Finish, 170 * kS}},
       {"G1 minute@0s valid=30s min=1 max=1 mean=1 last=1 changes=1",
        "G1 minute@120s valid=10s fault=10s min=2 max=2 mean=2 last=2 changes=2",
        "G1 hour@0s valid=40s fault=10s min=1 max=2 mean=1.25 last=2 changes=3"}},
      {"devices not summarised are ignored; a state is no reading",
       {ReadAt(0, "V1", 1.0),
        ReadAt(0, "G5", 1.0),
        ReadAt(30 * kS, "G5", Quality::NotANumber),
        {Step::Finish, 60 * kS}},
       {"G5 minute@0s valid=30s min=1 max=1 mean=1 last=1 changes=2",
        "G5 hour@0s valid=30s min=1 max=1 mean=1 last=1 changes=2"}},
      {"rows that cross by a few ns are taken at the newest time",
       {ReadAt(10 * kS, "G6", 1.0), ReadAt(10 * kS - 5, "G7", 2.0), {Step::Finish, 60 * kS}},
       {"G6 minute@0s valid=50s min=1 max=1 mean=1 last=1 changes=1",
        "G7 minute@0s valid=50s min=2 max=2 mean=2 last=2 changes=1",
        "G6 hour@0s valid=50s min=1 max=1 mean=1 last=1 changes=1",
        "G7 hour@0s valid=50s min=2 max=2 mean=2 last=2 changes=1"}},
      {"an end on a boundary hands out the row that came at that instant only",
       {ReadAt(0, "G8", 1.0),
        ReadAt(kHourNs - 30 * kS, "G8", 3.0),
        ReadAt(kHourNs, "G8", 2.0),
        {Step::Finish, kHourNs}},
       {"G8 minute@0s valid=60s min=1 max=1 mean=1 last=1 changes=1",
        // minutes 1 to 58 alike, then:
        "G8 minute@3540s valid=60s min=1 max=3 mean=2 last=3 changes=1",
        "G8 hour@0s valid=3600s min=1 max=3 mean=1.01667 last=3 changes=2",
        "G8 minute@3600s min=2 max=2 mean=- last=2 changes=1",
        "G8 hour@3600s min=2 max=2 mean=- last=2 changes=1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> rows = Summarise(c.steps);
    // The steady minutes of the last case are told by their first.
    std::erase_if(rows, [](const std::string& row) {
      return row.starts_with("G8 minute@") &&
             row.ends_with(" valid=60s min=1 max=1 mean=1 last=1 changes=0");
    });
    EXPECT_EQ(Lines(rows), Lines(c.expected));
  }
}

TEST(SummaryTest, AnIntervalsWallClockIsTheNewestStampBeforeItsEnd) {
  Summariser summariser;
  std::vector<SummaryRow> rows;
  const Summariser::Sink sink = [&](const SummaryRow& row) { rows.push_back(row); };
  summariser.Reading("G1", 10 * kS, kWallAtStart + 10 * kS, Quality::Valid, 1.0, sink);
  // The wall clock was set forward by 5 s during the second minute.
  summariser.Advance(70 * kS, kWallAtStart + 75 * kS, sink);
  summariser.Reading("G1", 90 * kS, kWallAtStart + 95 * kS, Quality::Valid, 2.0, sink);
  summariser.Finish(100 * kS, kWallAtStart + 105 * kS, sink);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].wall_ns, kWallAtStart);
  EXPECT_EQ(rows[1].wall_ns, kWallAtStart + 60 * kS + 5 * kS);
  EXPECT_EQ(rows[2].wall_ns, kWallAtStart + 5 * kS);
}

// A plant's readings as the recorder queues them: rows in time order,
// gaps with nothing kept during them and some devices' state stored again
// after, commits, and a device that is not summarised.
struct Entry {
  enum Kind { Row, GapEvent, Counters, Commit } kind;
  std::int64_t t = 0;
  std::int64_t wall = 0;
  std::string device = {};
  Quality quality = Quality::Valid;
  std::optional<double> value = {};
  std::int64_t began = 0;  // a gap's
};

std::vector<Entry> PlantRun(std::uint64_t seed, std::int64_t length) {
  std::mt19937_64 random(seed);
  const auto below = [&](std::int64_t n) {
    return static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(n));
  };
  std::vector<Entry> entries;
  std::int64_t t = 0;
  std::int64_t offset = kWallAtStart;
  std::int64_t nextCounters = 60 * kS;
  const auto row = [&](std::int64_t at, std::string device) {
    Entry e{Entry::Row, at, at + offset, std::move(device)};
    const std::int64_t q = below(20);
    e.quality = q < 15 ? Quality::Valid : static_cast<Quality>(q - 14);
    if (e.quality == Quality::Valid) e.value = static_cast<double>(below(100'000)) / 1000.0;
    entries.push_back(e);
  };
  const auto device = [&] {
    const std::int64_t i = below(static_cast<std::int64_t>(kSummarisedDevices.size()) + 1);
    return i == static_cast<std::int64_t>(kSummarisedDevices.size())
               ? std::string("V3")
               : std::string(kSummarisedDevices[i]);
  };
  bool gapAcrossHour = false;
  bool gapBeforeHour = false;
  while (t < length) {
    const std::int64_t roll = below(1000);
    // One gap goes on past the second hour; one ends just before the
    // third, after which most devices are not known when it begins.
    const bool acrossHour = !gapAcrossHour && t > 2 * kHourNs - 20 * kS && t < 2 * kHourNs - 2 * kS;
    const bool beforeHour = !gapBeforeHour && t > 3 * kHourNs - 10 * kS && t < 3 * kHourNs - 8 * kS;
    if ((roll < 3 && below(8) == 0) || acrossHour || beforeHour) {
      // The queue ran full: nothing is kept for a while.
      gapAcrossHour = gapAcrossHour || acrossHour;
      gapBeforeHour = gapBeforeHour || beforeHour;
      const std::int64_t began = t + 1 + below(kS);
      t = began + kS + below(90 * kS);
      if (acrossHour) t = std::max(t, 2 * kHourNs + 5 * kS);
      if (beforeHour) t = 3 * kHourNs - kS / 2;
      while (nextCounters <= t) nextCounters += 60 * kS;
      entries.push_back(
          {Entry::GapEvent, t, t + offset, "gap", Quality::Valid, std::nullopt, began});
      for (const std::string_view name : kSummarisedDevices) {
        if (beforeHour ? name == "G1" : below(3) != 0) row(t, std::string(name));
      }
      continue;
    }
    if (roll < 60) row(t, device());              // a second row at the same instant
    if (roll < 70) offset += below(2000) - 1000;  // the wall clock slews
    if (roll < 200) entries.push_back({Entry::Commit, t, t + offset});
    const std::int64_t previous = t;
    t += 1 + below(kS / 2);
    if (previous < kHourNs && t > kHourNs) t = kHourNs;
    if (t >= nextCounters) {
      entries.push_back({Entry::Counters, nextCounters, nextCounters + offset});
      nextCounters += 60 * kS;
    }
    row(t, device());
  }
  return entries;
}

std::vector<SummaryRow> FeedLive(const std::vector<Entry>& entries, std::int64_t end,
                                 bool advance) {
  Summariser summariser;
  std::vector<SummaryRow> rows;
  const Summariser::Sink sink = [&](const SummaryRow& row) { rows.push_back(row); };
  for (const Entry& e : entries) {
    switch (e.kind) {
      case Entry::Row: summariser.Reading(e.device, e.t, e.wall, e.quality, e.value, sink); break;
      case Entry::GapEvent: summariser.Gap(e.began, e.wall - (e.t - e.began), sink); break;
      case Entry::Counters:
      case Entry::Commit:
        if (advance) summariser.Advance(e.t, e.wall, sink);
        break;
    }
  }
  summariser.Finish(end, 0, sink);
  return rows;
}

TEST(SummaryTest, AnHourSaysWhatItsMinutesSayInTheOrderTheyEnd) {
  const std::vector<Entry> entries = PlantRun(7, 3 * kHourNs + 17 * kMinuteNs);
  const std::vector<SummaryRow> rows = FeedLive(entries, entries.back().t, true);
  ASSERT_GT(rows.size(), 1000u);
  struct Sum {
    std::optional<double> min, max, last;
    double weighted = 0;
    std::array<std::int64_t, 5> durations{};
    std::int64_t changes = 0;
  };
  std::array<Sum, kSummarisedDevices.size()> minutes{};
  std::int64_t hours = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SummaryRow& row = rows[i];
    if (i > 0) {
      const SummaryRow& before = rows[i - 1];
      const auto order = [](const SummaryRow& r) {
        return std::tuple(r.t_ns + r.period_ns, r.period_ns, SummarisedIndex(r.device));
      };
      // The last, cut intervals end before their period does.
      if (i + 2 * kSummarisedDevices.size() < rows.size()) {
        EXPECT_LT(order(before), order(row)) << Exact(before) << "\n" << Exact(row);
      }
    }
    Sum& sum = minutes[static_cast<std::size_t>(SummarisedIndex(row.device))];
    if (row.period_ns == kMinuteNs) {
      EXPECT_EQ(row.t_ns % kMinuteNs, 0);
      if (row.min) sum.min = std::min(sum.min.value_or(*row.min), *row.min);
      if (row.max) sum.max = std::max(sum.max.value_or(*row.max), *row.max);
      if (row.last) sum.last = row.last;
      if (row.mean) sum.weighted += *row.mean * static_cast<double>(row.durations[0]);
      for (std::size_t q = 0; q < 5; ++q) sum.durations[q] += row.durations[q];
      sum.changes += row.changes;
      continue;
    }
    SCOPED_TRACE(Exact(row));
    ++hours;
    EXPECT_EQ(row.t_ns % kHourNs, 0);
    EXPECT_EQ(row.min, sum.min);
    EXPECT_EQ(row.max, sum.max);
    EXPECT_EQ(row.last, sum.last);
    EXPECT_EQ(row.durations, sum.durations);
    EXPECT_EQ(row.changes, sum.changes);
    ASSERT_EQ(row.mean.has_value(), sum.durations[0] > 0);
    if (row.mean) {
      EXPECT_NEAR(*row.mean, sum.weighted / static_cast<double>(sum.durations[0]), 1e-7);
    }
    std::int64_t known = 0;
    for (const std::int64_t d : row.durations) known += d;
    EXPECT_LE(known, kHourNs);
    sum = Sum{};
  }
  EXPECT_EQ(hours, 4 * static_cast<std::int64_t>(kSummarisedDevices.size()));
}

TEST(SummaryTest, CommitsBetweenAndABatchTakenBackChangeNothing) {
  const std::vector<Entry> entries = PlantRun(11, kHourNs + 5 * kMinuteNs);
  const std::int64_t end = entries.back().t;
  std::vector<std::string> plain;
  for (const SummaryRow& row : FeedLive(entries, end, false)) plain.push_back(Exact(row));

  // Advanced at every commit, and every fourth batch rolled back once and
  // fed again from the copy kept before it.
  Summariser summariser;
  std::vector<std::string> rows;
  std::vector<std::string> pending;
  const Summariser::Sink sink = [&](const SummaryRow& row) { pending.push_back(Exact(row)); };
  std::size_t batchStart = 0;
  int batches = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].kind != Entry::Commit) continue;
    const Summariser kept = summariser;
    for (int attempt = 0; attempt < (batches % 4 == 0 ? 2 : 1); ++attempt) {
      summariser = kept;
      pending.clear();
      for (std::size_t j = batchStart; j <= i; ++j) {
        const Entry& e = entries[j];
        if (e.kind == Entry::Row)
          summariser.Reading(e.device, e.t, e.wall, e.quality, e.value, sink);
        if (e.kind == Entry::GapEvent) summariser.Gap(e.began, e.wall - (e.t - e.began), sink);
      }
      summariser.Advance(entries[i].t, entries[i].wall, sink);
    }
    rows.insert(rows.end(), pending.begin(), pending.end());
    pending.clear();
    ++batches;
    batchStart = i + 1;
  }
  for (std::size_t j = batchStart; j < entries.size(); ++j) {
    const Entry& e = entries[j];
    if (e.kind == Entry::Row) summariser.Reading(e.device, e.t, e.wall, e.quality, e.value, sink);
    if (e.kind == Entry::GapEvent) summariser.Gap(e.began, e.wall - (e.t - e.began), sink);
  }
  summariser.Finish(end, 0, sink);
  rows.insert(rows.end(), pending.begin(), pending.end());
  ASSERT_GT(batches, 100);
  EXPECT_EQ(Lines(rows), Lines(plain));
}

// Writes `entries` as session 1 of a new record at `path`.
void WriteRecord(const std::string& path, const std::vector<Entry>& entries) {
  Database db(path, Database::Mode::ReadWriteCreate);
  CreateSchema(db);
  Transaction write(db);
  db.Exec(
      "INSERT INTO session(started_wall_ns, version, command_line, port_map, last_t_ns, ended) "
      "VALUES(" +
      std::to_string(kWallAtStart) + ", 'test', '', '', " + std::to_string(entries.back().t) +
      ", 1)");
  Statement row =
      db.Prepare("INSERT INTO device_state VALUES(1, ?1, ?2, ?3, 'shown', NULL, NULL, ?4, ?5)");
  Statement event = db.Prepare("INSERT INTO event VALUES(1, ?1, ?2, ?3, 1, 'text', ?4)");
  for (const Entry& e : entries) {
    if (e.kind == Entry::Row) {
      row.Bind(1, e.t)
          .Bind(2, e.wall)
          .Bind(3, e.device)
          .Bind(4, static_cast<int>(e.quality))
          .Bind(5, e.value);
      row.Step();
      row.Reset();
    } else if (e.kind == Entry::GapEvent || e.kind == Entry::Counters) {
      event.Bind(1, e.t).Bind(2, e.wall).Bind(3, e.kind == Entry::GapEvent ? "gap" : "counters");
      event.Bind(4, e.kind == Entry::GapEvent ? std::optional(e.began) : std::nullopt);
      event.Step();
      event.Reset();
    }
  }
  write.Commit();
}

TEST(SummaryTest, ARecordsRowsSummariseAsTheLiveReadingsDid) {
  TemporaryDirectory dir;
  ASSERT_TRUE(dir.ok());
  // Past three hours, more rows than one batch, a row on the first hour's
  // boundary and a gap across the second's.
  const std::vector<Entry> entries = PlantRun(3, 3 * kHourNs + 10 * kMinuteNs);
  const std::int64_t end = entries.back().t;
  const std::string path = dir / "plant.halvorn";
  WriteRecord(path, entries);

  std::vector<std::string> live;
  for (const SummaryRow& row : FeedLive(entries, end, true)) live.push_back(Exact(row));
  Database db(path, Database::Mode::ReadOnly);
  // More rows in an hour than SummariseFromRaw reads at a time.
  Statement rows =
      db.Prepare("SELECT count(*) FROM device_state WHERE t_ns < 3600000000000 AND device <> 'V3'");
  ASSERT_TRUE(rows.Step());
  ASSERT_GT(rows.Integer(0), 10'000);

  std::vector<std::string> raw;
  const Summariser::Sink sink = [&](const SummaryRow& row) { raw.push_back(Exact(row)); };
  for (std::int64_t from = 0; from < end; from += kHourNs)
    SummariseFromRaw(db, 1, from, std::min(from + kHourNs, end), sink);
  EXPECT_EQ(Lines(raw), Lines(live));

  // Stored and read back, a row is what was handed out.
  Database rw(path, Database::Mode::ReadWrite);
  Statement insert = PrepareSummaryInsert(rw);
  std::vector<SummaryRow> some;
  SummariseFromRaw(rw, 1, kHourNs, 2 * kHourNs,
                   [&](const SummaryRow& row) { some.push_back(row); });
  for (const SummaryRow& row : some) StoreSummary(insert, 1, row);
  std::vector<std::string> handed;
  for (const SummaryRow& row : some) handed.push_back(testing::DescribeSummary(row));
  std::sort(handed.begin(), handed.end());
  EXPECT_EQ(Lines(testing::StoredSummaries(rw, 1)), Lines(handed));
}

}  // namespace
}  // namespace halvorn::record
