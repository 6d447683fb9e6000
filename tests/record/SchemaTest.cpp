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
  Statement mode = reopened.prepare("PRAGMA journal_mode");
  ASSERT_TRUE(mode.step());
  EXPECT_EQ(mode.text(0), "wal");
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
         other.exec("CREATE TABLE recipes (name TEXT)");
       },
       "another program's database"},
      {"a newer panel's record",
       [](const std::string& path) {
         Database newer(path, Database::Mode::ReadWriteCreate);
         CreateSchema(newer);
         newer.exec("PRAGMA user_version=" + std::to_string(kSchemaVersion + 1));
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
  db.exec("INSERT INTO session(id, started_wall_ns, version, command_line, port_map) VALUES (1, 0, 'x', '', '')");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  db.prepare("INSERT INTO traffic VALUES (1, 5, 6, 0, ?1)").bindBlob(1, all).step();
  db.prepare("INSERT INTO device_state(session, t_ns, wall_ns, device, text, quality) VALUES (1, 5, 6, 'V1', ?1, 3)")
      .bind(1, std::string_view(all))
      .step();
  Statement blob = db.prepare("SELECT bytes FROM traffic");
  ASSERT_TRUE(blob.step());
  EXPECT_EQ(blob.text(0), all);
  Statement text = db.prepare("SELECT text FROM device_state");
  ASSERT_TRUE(text.step());
  EXPECT_EQ(text.text(0), all);
}

TEST(SchemaTest, AMissingFileIsNotCreatedWhenOnlyRead) {
  TemporaryDirectory dir;
  const std::string path = dir / "absent.halvorn";
  EXPECT_THROW(Database(path, Database::Mode::ReadOnly), DatabaseError);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace halvorn::record
