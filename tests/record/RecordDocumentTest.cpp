// docs/record.md shows the tables of a record as `.schema` prints them, and
// how a record is marked. Whoever reads a record with sqlite3 from that page
// must read what the panel really writes: the page's SQL is run in a new
// file and its tables compared, statement by statement, with the tables of
// a new record.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "record/Schema.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using testing::TemporaryDirectory;

std::string ReadPage() {
  std::ifstream in(HALVORN_RECORD_DOCUMENT);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct SqlBlock {
  int line = 0;  // of the page, where the block's first statement begins
  std::string sql;
};

// The page's ```sql blocks, in order.
std::vector<SqlBlock> SqlBlocks(const std::string& page) {
  std::vector<SqlBlock> blocks;
  std::istringstream in(page);
  std::string line;
  bool inside = false;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!inside && line == "```sql") {
      blocks.push_back({number + 1, {}});
      inside = true;
    } else if (inside && line.starts_with("```")) {
      inside = false;
    } else if (inside) {
      blocks.back().sql += line + '\n';
    }
  }
  return blocks;
}

// A table or index as SQLite keeps it, its lines stripped of indentation
// and runs of blanks, blank lines dropped: how `.schema` lays a statement
// out is not what a reader relies on, its columns, types and comments are.
struct SchemaObject {
  std::string what;  // "table session", "index traffic_by_time"
  std::vector<std::string> lines;
};

std::vector<std::string> NormalisedLines(const std::string& sql) {
  std::vector<std::string> lines;
  std::istringstream in(sql);
  std::string line;
  while (std::getline(in, line)) {
    std::string words;
    std::istringstream split(line);
    for (std::string word; split >> word;) words += (words.empty() ? "" : " ") + word;
    if (!words.empty()) lines.push_back(words);
  }
  return lines;
}

std::vector<SchemaObject> Objects(Database& db) {
  std::vector<SchemaObject> objects;
  // Indexes that SQLite makes itself have no statement.
  Statement rows =
      db.Prepare("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
  while (rows.Step())
    objects.push_back({rows.Text(0) + " " + rows.Text(1), NormalisedLines(rows.Text(2))});
  return objects;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "    " + line + '\n';
  return text;
}

// Empty when the page's SQL makes exactly the tables and indexes of a new
// record; else what the first statement that differs says on either side.
std::string PageAgainstPanel(const std::string& page, const TemporaryDirectory& dir) {
  const std::vector<SqlBlock> blocks = SqlBlocks(page);
  if (blocks.empty()) return "the page has no ```sql block";
  // The queries of the page run too, after the tables: a query that names
  // a column the record does not have fails here.
  Database onPage((dir / "page.halvorn").string(), Database::Mode::ReadWriteCreate);
  for (const SqlBlock& block : blocks) {
    try {
      onPage.Exec(block.sql);
    } catch (const DatabaseError& e) {
      return "the SQL block at line " + std::to_string(block.line) +
             " of the page fails: " + e.what();
    }
  }
  Database made((dir / "panel.halvorn").string(), Database::Mode::ReadWriteCreate);
  CreateSchema(made);

  const std::vector<SchemaObject> shown = Objects(onPage);
  const std::vector<SchemaObject> real = Objects(made);
  auto find = [](const std::vector<SchemaObject>& in, const std::string& what) {
    return std::find_if(in.begin(), in.end(),
                        [&](const SchemaObject& o) { return o.what == what; });
  };
  for (const SchemaObject& object : real) {
    const auto shownAs = find(shown, object.what);
    if (shownAs == shown.end())
      return "the page lacks " + object.what + ", which the panel makes as\n" +
             Joined(object.lines);
    const std::size_t common = std::min(object.lines.size(), shownAs->lines.size());
    for (std::size_t i = 0; i <= common; ++i) {
      const bool pageEnds = i == shownAs->lines.size();
      const bool panelEnds = i == object.lines.size();
      if (pageEnds && panelEnds) break;
      if (pageEnds || panelEnds || shownAs->lines[i] != object.lines[i])
        return object.what + " differs at its line " + std::to_string(i + 1) +
               ":\n  page:  " + (pageEnds ? "(ends)" : shownAs->lines[i]) +
               "\n  panel: " + (panelEnds ? "(ends)" : object.lines[i]);
    }
  }
  for (const SchemaObject& object : shown)
    if (find(real, object.what) == real.end())
      return "the page shows " + object.what + ", which the panel does not make";
  return {};
}

TEST(RecordDocumentTest, ThePageShowsTheTablesThePanelMakes) {
  TemporaryDirectory dir;
  const std::string difference = PageAgainstPanel(ReadPage(), dir);
  EXPECT_TRUE(difference.empty()) << HALVORN_RECORD_DOCUMENT << ": " << difference;
}

// The page's value of a pragma in its table of the record's marking.
std::string PragmaOnPage(const std::string& page, const std::string& name) {
  std::smatch match;
  const std::regex row("\\| `" + name + "` \\| ([0-9]+)");
  return std::regex_search(page, match, row) ? match[1].str() : "(not on the page)";
}

TEST(RecordDocumentTest, ThePageGivesTheMarkAndTheLayoutNumber) {
  const std::string page = ReadPage();
  EXPECT_EQ(PragmaOnPage(page, "application_id"), std::to_string(kApplicationId));
  EXPECT_EQ(PragmaOnPage(page, "user_version"), std::to_string(kSchemaVersion));
}

// The comparison catches a page that has fallen behind the panel: each
// change below, made to the real page, is named in the failure.
TEST(RecordDocumentTest, APageThatDiffersIsNamedAtItsFirstDifference) {
  const std::string page = ReadPage();
  struct Case {
    const char* change;
    std::regex from;
    const char* to;
    const char* says;
  };
  const Case cases[] = {
      {"the first column's type", std::regex("INTEGER PRIMARY KEY"), "TEXT PRIMARY KEY",
       "table session differs at its line 2"},
      {"a column's comment", std::regex("-- 0 received"), "-- 1 received",
       "table traffic differs at its line"},
      {"an index left out", std::regex("CREATE INDEX event_by_time[^\n]*\n"), "",
       "the page lacks index event_by_time"},
      {"a column too many", std::regex("\n\\);"), "\n,\n  spare TEXT\n);",
       "table session differs at its line 11"},
      {"a query of a column that is not there", std::regex("SELECT t_ns, hex\\(bytes\\)"),
       "SELECT t_ns, hex(data)", "no such column: data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    const std::string changed =
        std::regex_replace(page, c.from, c.to, std::regex_constants::format_first_only);
    ASSERT_NE(changed, page) << "the page no longer has what this case changes";
    TemporaryDirectory dir;
    const std::string difference = PageAgainstPanel(changed, dir);
    EXPECT_NE(difference.find(c.says), std::string::npos) << difference;
  }
}

}  // namespace
}  // namespace halvorn::record
