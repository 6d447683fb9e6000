// The viewer on a day-long record (five polls a second for 24 hours, with
// its minute and hour summaries as the panel writes them): it opens and
// draws the whole day within a second, zooms and pans without a stall,
// each step read at the resolution it needs, and stays under 200 MB.
// Wall-clock figures: label `timing`.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ChildProcess.h"
#include "HistoryWindow.h"
#include "app/QtApplication.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::history {
namespace {

// HALVORN_DAY_RECORD names a day already made, to save the minute of
// writing one.
std::string DayRecord(const testing::TemporaryDirectory& dir) {
  if (const char* given = std::getenv("HALVORN_DAY_RECORD");
      given && std::filesystem::exists(given))
    return given;
  const std::string path = dir / "day.halvorn";
  process::ChildProcess maker(
      {HALVORN_MAKE_RECORD_PROGRAM, {path, "--days", "1"}, {}, dir / "make-record.err"});
  if (!maker.Wait(std::chrono::minutes(5)) || maker.exitStatus() != 0) return {};
  return path;
}

double CpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

TEST(HistoryTimingTest, ADayOpensAndDrawsWithinASecondAndZoomsWithoutAStall) {
  testing::TemporaryDirectory dir;
  const std::string path = DayRecord(dir);
  ASSERT_FALSE(path.empty());

  QElapsedTimer clock;
  clock.start();
  const double cpuAtStart = CpuMilliseconds();
  RecordReader reader(path);
  SessionData data;
  data.session = *ChooseSession(reader.sessions(), 0);
  reader.loadMore(data, RecordReader::Rows::WithoutReadings);
  const qint64 read = clock.elapsed();
  HistoryWindow window(reader, std::move(data));
  window.setAttribute(Qt::WA_DontShowOnScreen);
  window.resize(1600, 1000);
  window.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(window.waitForRanges());
  const QPixmap first = window.charts().grab();
  const qint64 drawn = clock.elapsed();
  ASSERT_FALSE(first.isNull());
  std::printf(
      "open and read: %lld ms; first draw of the whole day: %lld ms in all (%.0f ms of CPU)\n",
      static_cast<long long>(read), static_cast<long long>(drawn), CpuMilliseconds() - cpuAtStart);
  EXPECT_LE(drawn, 1000);

  // What following the end costs the window's thread each half second when
  // the panel has added nothing, and the panel's writer never waits for it.
  QElapsedTimer follow;
  follow.start();
  for (int i = 0; i < 20; ++i) window.followEnd();
  std::printf("following the end: %.2f ms a look\n",
              static_cast<double>(follow.nsecsElapsed()) / 20e6);

  // Zoom in on the middle in steps to a minute, then pan across an hour.
  // Each step is redrawn and painted at once from what was read before (the
  // window's thread never waits for the record), then read at its own
  // resolution beside the window and painted again before the next step.
  TimeAxis& axis = window.timeAxis();
  qint64 slowest = 0;
  qint64 slowestRead = 0;
  auto step = [&](auto change) {
    QElapsedTimer one;
    one.start();
    change();
    window.charts().grab();
    slowest = std::max(slowest, one.elapsed());
    EXPECT_TRUE(window.waitForRanges());
    window.charts().grab();
    slowestRead = std::max(slowestRead, one.elapsed());
  };
  const Nanoseconds middle = (axis.from() + axis.to()) / 2;
  while (axis.to() - axis.from() > 60 * kNanosecondsPerSecond)
    step([&] { axis.zoom(0.5, middle); });
  for (int i = 0; i < 60; ++i) step([&] { axis.pan(60 * kNanosecondsPerSecond); });
  step([&] { window.showQuickRange(HistoryWindow::QuickRange::Session); });
  std::printf(
      "slowest zoom or pan step, drawn: %lld ms, read at its resolution and drawn again: %lld ms; "
      "peak memory %ld MB\n",
      static_cast<long long>(slowest), static_cast<long long>(slowestRead), PeakMegabytes());
  EXPECT_LE(slowest, 100);
  EXPECT_LE(slowestRead, 500);
  EXPECT_LE(PeakMegabytes(), 200);
}

}  // namespace
}  // namespace halvorn::history
