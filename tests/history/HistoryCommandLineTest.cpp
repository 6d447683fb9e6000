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
      {{"run.halvorn", "--csv", "out.csv", "--from", "90"}, Outcome::Run, "run.halvorn", 0, "out.csv", "90", ""},
      {{"--session=2", "run.halvorn", "--csv=o.csv"}, Outcome::Run, "run.halvorn", 2, "o.csv", "", ""},
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

TEST(HistoryCommandLineTest, HelpSaysHowTimesAreWritten) {
  const std::string help = HistoryHelpText();
  for (const char* part : {"--csv OUT", "--png OUT", "--from T", "seconds from the session's start", "ISO 8601",
                           "Exit status 2"})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace halvorn::history
