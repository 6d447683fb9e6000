// An export never writes over the record it reads, under any of its names,
// and one that fails half-way leaves what was there and no half file.
#include "ExportFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

using testing::TemporaryDirectory;
namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t FilesIn(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ExportFileTest, TheRecordAndTheFilesBesideItAreNeverAnExportsOutput) {
  TemporaryDirectory dir;
  const std::string record = dir / "run.halvorn";
  std::ofstream(record) << "record";
  std::ofstream(record + "-wal") << "log";
  fs::create_directory(dir / "sub");
  fs::create_symlink(record, dir / "link.halvorn");
  fs::create_hard_link(record, dir / "hard.halvorn");
  fs::create_directory_symlink(dir.path(), dir / "again");
  struct Case {
    std::string output;
    std::string record;
    const char* says;  // nullptr: may be written
  };
  const std::string folder = dir.path();
  const Case cases[] = {
      {record, record, "the record being read"},
      {folder + "/sub/../run.halvorn", record, "the record being read"},
      {folder + "/again/run.halvorn", record, "the record being read"},
      {folder + "/link.halvorn", record, "the record being read"},
      {folder + "/hard.halvorn", record, "the record being read"},
      {record + "-wal", record, "write-ahead log"},
      {record + "-shm", record, "shared-memory file"},
      {record + "-journal", record, "rollback journal"},
      {folder + "/again/run.halvorn-shm", record, "shared-memory file"},
      {record + "-shm", folder + "/link.halvorn", "shared-memory file"},
      {folder + "/link.halvorn-journal", folder + "/link.halvorn", "rollback journal"},
      {record + ".csv", record, nullptr},
      {folder + "/sub/run.halvorn", record, nullptr},
      {record + "-wal.png", record, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output + " reading " + c.record);
    const auto refused = RefusedOutput(c.output, c.record);
    if (!c.says) {
      EXPECT_FALSE(refused) << *refused;
      continue;
    }
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find(c.says), std::string::npos) << *refused;
  }
}

TEST(ExportFileTest, AnExportReplacesItsFileWholeOrNotAtAll) {
  TemporaryDirectory dir;
  const std::string out = dir / "out.csv";
  std::ofstream(out) << "yesterday's export\n";
  ::chmod(out.c_str(), 0640);
  const std::string rows(1 << 20, 'x');
  std::string error;

  // A file size limit stands in for a full disk: the writes fail half-way.
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{64 * 1024, 64 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string why;
    const bool written = WriteExport(
        out, [&](std::ostream& o) { o << rows; }, why);
    ::_exit(!written && why.find("File too large") != std::string::npos ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was reported";
  EXPECT_EQ(Contents(out), "yesterday's export\n");
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "no half file beside it";

  ASSERT_TRUE(WriteExport(
      out, [&](std::ostream& o) { o << rows; }, error))
      << error;
  EXPECT_EQ(Contents(out), rows);
  EXPECT_EQ(fs::status(out).permissions(), fs::perms(0640)) << "the mode it had";
  EXPECT_EQ(FilesIn(dir.path()), 1u);

  // Through a link, the file it names is replaced and the link stays.
  const std::string link = dir / "latest.csv";
  fs::create_symlink(out, link);
  ASSERT_TRUE(WriteExport(
      link, [](std::ostream& o) { o << "new\n"; }, error))
      << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Contents(out), "new\n");

  EXPECT_FALSE(WriteExport(
      "/dev/full", [&](std::ostream& o) { o << rows; }, error));
  EXPECT_NE(error.find("No space left"), std::string::npos) << error;
  EXPECT_FALSE(WriteExport(
      dir / "missing" / "out.csv", [](std::ostream& o) { o << "x"; }, error));
  EXPECT_FALSE(fs::exists(dir / "missing"));

  // A CSV of summaries reads the record as it writes: a read that fails
  // half-way is a failed export with the reader's words, and no half file,
  // to a file as to a pipe.
  const auto failing = [](std::ostream& o) {
    o << "time,G1 min 1m\n";
    throw std::runtime_error("run.halvorn: database disk image is malformed");
  };
  EXPECT_FALSE(WriteExport(out, failing, error));
  EXPECT_EQ(error, "cannot write " + out + ": run.halvorn: database disk image is malformed");
  EXPECT_EQ(Contents(out), "new\n");
  EXPECT_EQ(FilesIn(dir.path()), 2u) << "the file and its link, no half file";
  EXPECT_FALSE(WriteExport("/dev/null", failing, error));
  EXPECT_NE(error.find("malformed"), std::string::npos) << error;
}

}  // namespace
}  // namespace halvorn::history
