// The viewer's command line: what it accepts and how it refuses the rest.
#include "HistoryCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace halvorn::history {
namespace {

TEST(HistoryCommandLineTest, ReadsTheRecordAndItsOptions) {
  using Outcome = HistoryOptions::Outcome;
  struct Case {
    std::vector<std::string_view> args;
    Outcome outcome;
    const char* file;
    std::int64_t session;
    const char* csv;
    const char* from;
    const char* error;  // a part of the message
  };
  const Case cases[] = {
      {{"run.halvorn"}, Outcome::Run, "run.halvorn", 0, "", "", ""},
      {{"run.halvorn", "--csv", "out.csv", "--from", "90"},
       Outcome::Run,
       "run.halvorn",
       0,
       "out.csv",
       "90",
       ""},
      {{"--session=2", "run.halvorn", "--csv=o.csv"},
       Outcome::Run,
       "run.halvorn",
       2,
       "o.csv",
       "",
       ""},
      {{"run.halvorn", "--help"}, Outcome::ShowHelp, "", 0, "", "", ""},
      {{}, Outcome::Fail, "", 0, "", "", "no record given"},
      {{"a.halvorn", "b.halvorn"}, Outcome::Fail, "", 0, "", "", "more than one record"},
      {{"run.halvorn", "--csv"}, Outcome::Fail, "", 0, "", "", "--csv needs a value"},
      {{"run.halvorn", "--session", "0"}, Outcome::Fail, "", 0, "", "", "session number"},
      {{"run.halvorn", "--session", "two"}, Outcome::Fail, "", 0, "", "", "session number"},
      {{"run.halvorn", "--bogus"}, Outcome::Fail, "", 0, "", "", "unknown option --bogus"},
      {{"run.halvorn", "--from="}, Outcome::Fail, "", 0, "", "", "--from needs a value"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto a : c.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const HistoryOptions o = ParseHistoryCommandLine(c.args);
    EXPECT_EQ(o.outcome, c.outcome);
    if (c.outcome == Outcome::Fail) {
      EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
      continue;
    }
    if (c.outcome != Outcome::Run) continue;
    EXPECT_EQ(o.file, c.file);
    EXPECT_EQ(o.session, c.session);
    EXPECT_EQ(o.csv, c.csv);
    EXPECT_EQ(o.from, c.from);
  }
}

TEST(HistoryCommandLineTest, TheAlarmReportIsAFlagThatTakesTheRangeAndTheCsv) {
  struct Case {
    std::vector<std::string_view> args;
    bool ok;
    bool report;
    const char* csv;
    const char* error;  // a part of the message
  };
  const Case cases[] = {
      {{"run.halvorn", "--alarm-report"}, true, true, "", ""},
      {{"--alarm-report", "run.halvorn", "--session", "2", "--from", "60", "--to", "120", "--csv",
        "a.csv"},
       true,
       true,
       "a.csv",
       ""},
      {{"run.halvorn", "--csv", "r.csv"}, true, false, "r.csv", ""},
      {{"--alarm-report"}, false, false, "", "no record given"},
      {{"run.halvorn", "--alarm-report", "--png", "c.png"},
       false,
       false,
       "",
       "--png does not go with --alarm-report"},
      {{"run.halvorn", "--alarm-report=yes"},
       false,
       false,
       "",
       "unknown option --alarm-report=yes"},
      {{"run.halvorn", "--alarm-reports"}, false, false, "", "unknown option --alarm-reports"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto a : c.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const HistoryOptions o = ParseHistoryCommandLine(c.args);
    if (!c.ok) {
      EXPECT_EQ(o.outcome, HistoryOptions::Outcome::Fail);
      EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
      continue;
    }
    ASSERT_EQ(o.outcome, HistoryOptions::Outcome::Run) << o.error;
    EXPECT_EQ(o.alarmReport, c.report);
    EXPECT_EQ(o.csv, c.csv);
    EXPECT_TRUE(o.headless()) << "a report opens no window";
  }
}

TEST(HistoryCommandLineTest, TheCsvsResolutionIsAMinuteOrAnHour) {
  struct Case {
    std::vector<std::string_view> args;
    const char* resolution;  // nullptr: refused
    const char* error;       // a part of the message
  };
  const Case cases[] = {
      {{"run.halvorn", "--csv", "r.csv"}, "", ""},
      {{"run.halvorn", "--csv", "r.csv", "--resolution", "1m"}, "1m", ""},
      {{"--resolution=1h", "run.halvorn", "--csv=r.csv", "--from", "3600"}, "1h", ""},
      {{"run.halvorn", "--csv", "r.csv", "--resolution", "1s"},
       nullptr,
       "1m (per minute) or 1h (per hour), not 1s"},
      {{"run.halvorn", "--csv", "r.csv", "--resolution", "raw"}, nullptr, "not raw"},
      {{"run.halvorn", "--csv", "r.csv", "--resolution"}, nullptr, "--resolution needs a value"},
      {{"run.halvorn", "--resolution", "1m"}, nullptr, "--resolution goes with --csv"},
      {{"run.halvorn", "--png", "c.png", "--resolution", "1m"},
       nullptr,
       "--resolution goes with --csv"},
      {{"run.halvorn", "--alarm-report", "--csv", "a.csv", "--resolution", "1h"},
       nullptr,
       "--resolution goes with --csv"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto a : c.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const HistoryOptions o = ParseHistoryCommandLine(c.args);
    if (!c.resolution) {
      EXPECT_EQ(o.outcome, HistoryOptions::Outcome::Fail);
      EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
      continue;
    }
    ASSERT_EQ(o.outcome, HistoryOptions::Outcome::Run) << o.error;
    EXPECT_EQ(o.resolution, c.resolution);
  }
}

TEST(HistoryCommandLineTest, HelpSaysHowTimesAreWritten) {
  const std::string help = HistoryHelpText();
  for (const char* part :
       {"--csv OUT", "--png OUT", "--from T", "seconds from the session's start", "ISO 8601",
        "Exit status 2", "--alarm-report", "EEMUA 191", "--resolution R", "'G1 min 1m'"})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace halvorn::history
