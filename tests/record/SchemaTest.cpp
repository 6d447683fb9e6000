// A record is recognised as one, and nothing else is taken for one.
#include "record/Schema.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TemporaryDirectory.h"

namespace halvorn::record {
namespace {

using testing::TemporaryDirectory;

TEST(SchemaTest, ANewRecordIsARecordInWriteAheadLogMode) {
  TemporaryDirectory dir;
  const std::string path = dir / "run.halvorn";
  {
    Database db(path, Database::Mode::ReadWriteCreate);
    ASSERT_TRUE(IsEmpty(db));
    CreateSchema(db);
    EXPECT_FALSE(IsEmpty(db));
  }
  Database reopened(path, Database::Mode::ReadOnly);
  EXPECT_NO_THROW(CheckIsRecord(reopened, path));
  Statement mode = reopened.Prepare("PRAGMA journal_mode");
  ASSERT_TRUE(mode.Step());
  EXPECT_EQ(mode.Text(0), "wal");
}

TEST(SchemaTest, WhatIsNotARecordIsRefusedWithItsName) {
  TemporaryDirectory dir;
  struct Case {
    const char* name;
    void (*make)(const std::string& path);
    const char* says;
  };
  const Case cases[] = {
      {"a text file",
       [](const std::string& path) { std::ofstream(path) << "pump-down notes, not a database\n"; },
       "is not a Halvorn record"},
      {"another program's database",
       [](const std::string& path) {
         Database other(path, Database::Mode::ReadWriteCreate);
         other.Exec("CREATE TABLE recipes (name TEXT)");
       },
       "another program's database"},
      {"a newer panel's record",
       [](const std::string& path) {
         Database newer(path, Database::Mode::ReadWriteCreate);
         CreateSchema(newer);
         newer.Exec("PRAGMA user_version=" + std::to_string(kSchemaVersion + 1));
       },
       "newer panel"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    c.make(path);
    Database db(path, Database::Mode::ReadOnly);
    try {
      CheckIsRecord(db, path);
      ADD_FAILURE() << "taken for a record";
    } catch (const DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

TEST(SchemaTest, BytesOfEveryValueComeBackUnchanged) {
  TemporaryDirectory dir;
  Database db(dir / "bytes.halvorn", Database::Mode::ReadWriteCreate);
  CreateSchema(db);
  db.Exec("INSERT INTO session(id, started_wall_ns, version, command_line, port_map) VALUES (1, 0, 'x', '', '')");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  db.Prepare("INSERT INTO traffic VALUES (1, 5, 6, 0, ?1)").BindBlob(1, all).Step();
  db.Prepare("INSERT INTO device_state(session, t_ns, wall_ns, device, text, quality) VALUES (1, 5, 6, 'V1', ?1, 3)")
      .Bind(1, std::string_view(all))
      .Step();
  Statement blob = db.Prepare("SELECT bytes FROM traffic");
  ASSERT_TRUE(blob.Step());
  EXPECT_EQ(blob.Text(0), all);
  Statement text = db.Prepare("SELECT text FROM device_state");
  ASSERT_TRUE(text.Step());
  EXPECT_EQ(text.Text(0), all);
}

TEST(SchemaTest, AMissingFileIsNotCreatedWhenOnlyRead) {
  TemporaryDirectory dir;
  const std::string path = dir / "absent.halvorn";
  EXPECT_THROW(Database(path, Database::Mode::ReadOnly), DatabaseError);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace halvorn::record
