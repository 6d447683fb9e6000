#include "RecordLayout.h"

#include "record/Schema.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <vector>

namespace halvorn::history {

namespace {

using record::DatabaseError;
using record::Statement;

struct TableLayout {
  const char* name;
  std::initializer_list<const char*> columns;
};

// What RecordReader's queries name, of record layout 1.
const TableLayout kReadTables[] = {
    {"session", {"id", "started_wall_ns", "last_t_ns", "ended", "version"}},
    {"device_state", {"session", "t_ns", "device", "text", "detail", "colour", "quality", "value"}},
    {"action", {"session", "t_ns", "procedure", "device", "argument"}},
    {"event", {"session", "t_ns", "kind", "number", "text"}},
};

// And what they name of layout 2 besides.
const TableLayout kReadTables2[] = {
    {"event", {"began_t_ns"}},
    {"command", {"session", "t_ns", "bytes"}},
};

// And layout 3's alarm journal.
const TableLayout kReadTables3[] = {
    {"alarm", {"session", "t_ns", "point", "transition", "priority", "text", "reason", "until_t_ns", "user"}},
};

// And layout 4's summaries, which the charts read by range.
const TableLayout kReadTables4[] = {
    {"session", {"summarised_t_ns", "raw_from_t_ns"}},
    {"summary",
     {"session", "device", "period_ns", "t_ns", "min", "max", "mean", "last", "valid_ns", "below_ns", "over_ns",
      "fault_ns", "nodata_ns", "changes"}},
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// A statement's first words in lower case, one space between them.
std::string Words(const std::string& sql) {
  std::string words;
  for (const unsigned char c : sql.substr(0, 64)) {
    if (std::isspace(c)) {
      if (!words.empty() && words.back() != ' ') words += ' ';
    } else {
      words += static_cast<char>(std::tolower(c));
    }
  }
  return words;
}

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw DatabaseError(SQLITE_MISMATCH, path + " is not a Halvorn record: " + why);
}

void CheckTable(record::Database& db, const std::string& path, const TableLayout& table) {
  const std::string name = table.name;
  // pragma_table_list says what SQLite made of the schema's statement,
  // whatever its text: "table", "view", "virtual" or "shadow".
  Statement kind = db.Prepare("SELECT type FROM pragma_table_list WHERE schema = 'main' AND name = ?1");
  kind.Bind(1, name);
  if (!kind.Step()) Refuse(path, "it has no table " + name);
  const std::string type = kind.Text(0);
  if (type != "table")
    Refuse(path, "its " + name + " is a " + (type == "view" ? type : type + " table") + ", not a plain table");
  Statement stored =
      db.Prepare("SELECT type, sql FROM sqlite_schema WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE");
  stored.Bind(1, name);
  while (stored.Step()) {
    if (stored.Text(0) != "table" || Words(stored.Text(1)).starts_with("create virtual table"))
      Refuse(path, "its " + name + " is not a plain table");
  }

  // hidden: 0 a stored column, 1 a virtual table's hidden column, 2 and 3
  // computed from other columns when read or written.
  Statement columns = db.Prepare("SELECT name, hidden FROM pragma_table_xinfo(?1)");
  columns.Bind(1, name);
  std::vector<std::string> storedColumns;
  while (columns.Step()) {
    const std::string column = Lower(columns.Text(0));
    // The viewer follows a growing table by its rowid: a column of that
    // name would stand in for it.
    if (column == "rowid" || column == "oid" || column == "_rowid_")
      Refuse(path, "its " + name + " has a column named " + column);
    if (columns.Integer(1) == 0) storedColumns.push_back(column);
  }
  for (const char* needed : table.columns) {
    if (std::find(storedColumns.begin(), storedColumns.end(), needed) == storedColumns.end())
      Refuse(path, "its " + name + " has no stored column " + needed);
  }
}

}  // namespace

void CheckRecordLayout(record::Database& db, const std::string& path) {
  for (const TableLayout& table : kReadTables) CheckTable(db, path, table);
  if (record::LayoutOf(db) >= 2)
    for (const TableLayout& table : kReadTables2) CheckTable(db, path, table);
  if (record::LayoutOf(db) >= 3)
    for (const TableLayout& table : kReadTables3) CheckTable(db, path, table);
  if (record::LayoutOf(db) >= 4)
    for (const TableLayout& table : kReadTables4) CheckTable(db, path, table);
}

}  // namespace halvorn::history
