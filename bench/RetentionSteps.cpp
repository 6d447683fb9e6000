// How long the writer's retention steps take on a real record: runs
// StepRetention on FILE (changed in place: give it a copy) until nothing is
// left to do, as the writer would between its commits, and prints the time
// of the removing steps and of the vacuuming steps (p50, p90, p99, max),
// the rows removed and the file's size before and after.
//   build/bench/halvorn_retention_steps COPY.halvorn --keep DAYS [--batch ROWS]
// "Now" is the newest session's end, so that a record made by
// halvorn-make-record --days D loses everything older than DAYS days.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "record/Database.h"
#include "record/Retention.h"

namespace {

using Clock = std::chrono::steady_clock;

long long FileBytes(const std::string& path) {
  struct stat file {};
  return ::stat(path.c_str(), &file) == 0 ? static_cast<long long>(file.st_size) : -1;
}

void PrintTimes(const char* what, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%-9s none\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double q) {
    return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))];
  };
  std::printf("%-9s %zu steps, ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n", what, ms.size(),
              at(0.5), at(0.9), at(0.99), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  halvorn::record::RetentionLimits limits;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--keep" && i + 1 < argc) {
      limits.keepDays = std::atoll(argv[++i]);
    } else if (arg == "--batch" && i + 1 < argc) {
      limits.batchRows = std::atoll(argv[++i]);
    } else if (path.empty() && !arg.starts_with("-")) {
      path = arg;
    } else {
      path.clear();
      break;
    }
  }
  if (path.empty() || limits.keepDays < 1) {
    std::fprintf(stderr,
                 "usage: halvorn_retention_steps COPY.halvorn --keep DAYS [--batch ROWS]\n");
    return 2;
  }
  const long long before = FileBytes(path);
  std::vector<double> removing, vacuuming;
  long long traffic = 0, readings = 0, pages = 0;
  try {
    // Closed before the size is taken: the last connection's checkpoint
    // writes the log back and truncates the file.
    halvorn::record::Database db(path, halvorn::record::Database::Mode::ReadWrite);
    halvorn::record::Statement newest =
        db.Prepare("SELECT started_wall_ns + last_t_ns FROM session ORDER BY id DESC LIMIT 1");
    if (!newest.Step())
      throw halvorn::record::DatabaseError(SQLITE_NOTFOUND, "the record holds no session");
    const std::int64_t now = newest.Integer(0);
    for (;;) {
      const Clock::time_point start = Clock::now();
      const halvorn::record::RetentionStep step = halvorn::record::StepRetention(db, limits, now);
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      if (step.session != 0) removing.push_back(ms);
      if (step.pagesVacuumed > 0) vacuuming.push_back(ms);
      traffic += step.trafficRemoved;
      readings += step.readingsRemoved;
      pages += step.pagesVacuumed;
      if (!step.more) break;
    }
  } catch (const halvorn::record::DatabaseError& e) {
    std::fprintf(stderr, "halvorn_retention_steps: %s\n", e.what());
    return 1;
  }
  PrintTimes("removing", removing);
  PrintTimes("vacuuming", vacuuming);
  std::printf(
      "removed %lld traffic rows, %lld readings; %lld pages given back; file %lld -> %lld bytes\n",
      traffic, readings, pages, before, FileBytes(path));
  return 0;
}
