// Figures of the receive path: how many controller answers one core takes
// from the line to the panel model per second, and how many heap allocations
// each answer costs once the panel has settled (captions, lists and the
// receive buffer have grown to their working size).
//
// Each benchmark feeds one stream of framed answers again and again, in the
// chunks a serial driver might deliver, and reports
//   answers/s      answers processed per second of wall-clock time
//   allocs/answer  global operator new calls per answer, in the timed loop
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <chrono>

#include "AllocationCounter.h"
#include "link/Frame.h"
#include "link/FrontPanel.h"
#include "link/Receiver.h"
#include "panel/SerialPort.h"
#include "alarms/AlarmSettings.h"
#include "alarms/AlarmWatch.h"
#include "record/Recorder.h"

namespace halvorn::bench {
namespace {

// A port that hands the receiver the same batch of bytes on every read. The
// seam returns a std::string by value, so each read is a copy: that one
// allocation per read belongs to the port, not to the receiver.
class ReplayPort : public SerialPort {
 public:
  int Open() override { return open_error::None; }
  void Close() override {}
  bool PortOpen() const override { return true; }
  int CommPort() const override { return 1; }
  void SetCommPort(int) override {}
  std::string Settings() const override { return "115200,n,8,1"; }
  void SetSettings(const std::string&) override {}
  bool Output(const std::string&) override { return true; }
  std::string Input() override { return batch; }
  void Arrive() { RaiseOnComm(kCommEventReceive); }

  std::string batch;
};

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

const std::string kOk = Bytes({140});

// One poll cycle of a healthy installation: one answer of each type the
// panel polls for, each framed as on the line.
std::vector<std::string> HealthyCycle() {
  std::string valves;
  for (int n = 0; n < 16; ++n) valves += static_cast<char>(n % 3 == 0 ? 24 : 23);
  return {
      BuildFrame("061__" + valves),
      BuildFrame("060__" + kOk + "123415" + kOk + "500022" + kOk + "100020" + kOk + "250000" + kOk +
                 "000015" + kOk + "000000" + kOk + "999999" + kOk + "123415"),
      BuildFrame("062__" + Bytes({46, 44, 43})),
      BuildFrame("063__" + kOk + "12.5" + kOk + "50.0" + kOk + "99.9" + kOk + " 0.0"),
      BuildFrame("081_T"),
      BuildFrame("121_z"),
      BuildFrame("010__0000003600"),
  };
}

// The same cycle with the controller reporting faults on every device, so
// that every caption shows a status text.
std::vector<std::string> FaultCycle() {
  const std::string faults =
      Bytes({107, 108, 109, 110, 111, 112, 140, 151, 152, 154, 155, 156, 159, 160, 153, 25});
  std::string gauges;
  for (int n = 0; n < 8; ++n) gauges += faults.substr(static_cast<std::size_t>(n), 1) + "123415";
  std::string flows;
  for (int n = 0; n < 4; ++n) flows += faults.substr(static_cast<std::size_t>(12 + n), 1) + "12.5";
  return {
      BuildFrame("061__" + faults),
      BuildFrame("060__" + gauges),
      BuildFrame("062__" + Bytes({140, 159, 0})),
      BuildFrame("063__" + flows),
      BuildFrame("081_r"),
      BuildFrame("121_x"),
      BuildFrame("010__0000003600"),
  };
}

// The controller's warnings and replies to commands, which go to the two
// lists; the lists are full, so each new entry pushes the oldest out.
std::vector<std::string> ListCycle() {
  return {
      BuildFrame("105"),        BuildFrame("020_05"), BuildFrame("100"),
      BuildFrame("070_1_0500"), BuildFrame("106"),    BuildFrame("999_unhandled answer type"),
      BuildFrame("041_3"),
  };
}

// Cuts every answer into pieces of at most `piece` bytes.
std::vector<std::string> Cut(const std::vector<std::string>& lines, std::size_t piece) {
  std::vector<std::string> chunks;
  for (const std::string& line : lines)
    for (std::size_t at = 0; at < line.size(); at += piece)
      chunks.push_back(line.substr(at, piece));
  return chunks;
}

// Feeds `chunks` (holding `answers` answers) to ReceiveText until the
// benchmark has its figures.
void FeedReceiveText(benchmark::State& state, const std::vector<std::string>& chunks,
                     std::int64_t answers) {
  ReplayPort port;
  FrontPanel panel(port);
  // Let captions, lists and the buffer grow to their working size first.
  for (int i = 0; i < 16; ++i)
    for (const std::string& chunk : chunks) ReceiveText(panel, chunk);
  const std::int32_t correctBefore = panel.CorrectMessageCount;

  const std::uint64_t allocationsBefore = HeapAllocations();
  for (auto _ : state) {
    for (const std::string& chunk : chunks) ReceiveText(panel, chunk);
    benchmark::DoNotOptimize(panel.form.lblStatus2.caption.data());
  }
  const std::uint64_t allocations = HeapAllocations() - allocationsBefore;

  const auto total = static_cast<double>(state.iterations() * answers);
  if (panel.CrcErrorCount != 0 ||
      panel.CorrectMessageCount - correctBefore != static_cast<std::int64_t>(total))
    state.SkipWithError("an answer was not counted as correct");
  state.counters["answers/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
  state.counters["allocs/answer"] = static_cast<double>(allocations) / total;
}

void BM_HealthyAnswersOnePerChunk(benchmark::State& state) {
  const auto lines = HealthyCycle();
  FeedReceiveText(state, lines, static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_HealthyAnswersOnePerChunk);

// A driver that wakes up every few bytes, as at low baud rates.
void BM_HealthyAnswersInEightByteChunks(benchmark::State& state) {
  const auto lines = HealthyCycle();
  FeedReceiveText(state, Cut(lines, 8), static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_HealthyAnswersInEightByteChunks);

void BM_FaultAnswersOnePerChunk(benchmark::State& state) {
  const auto lines = FaultCycle();
  FeedReceiveText(state, lines, static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_FaultAnswersOnePerChunk);

void BM_WarningsAndOtherMessagesOnePerChunk(benchmark::State& state) {
  const auto lines = ListCycle();
  FeedReceiveText(state, lines, static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_WarningsAndOtherMessagesOnePerChunk);

// The whole way in: the port's receive event with a poll cycle's answers
// batched into one read. Includes the port's one copy per read.
void BM_HealthyCycleThroughTheReceiveEvent(benchmark::State& state) {
  const auto lines = HealthyCycle();
  ReplayPort port;
  for (const std::string& line : lines) port.batch += line;
  FrontPanel panel(port);
  for (int i = 0; i < 16; ++i) port.Arrive();
  const std::int32_t correctBefore = panel.CorrectMessageCount;

  const std::uint64_t allocationsBefore = HeapAllocations();
  for (auto _ : state) {
    port.Arrive();
    benchmark::DoNotOptimize(panel.form.lblStatus2.caption.data());
  }
  const std::uint64_t allocations = HeapAllocations() - allocationsBefore;

  const auto total = static_cast<double>(state.iterations() * std::ssize(lines));
  if (panel.CrcErrorCount != 0 ||
      panel.CorrectMessageCount - correctBefore != static_cast<std::int64_t>(total))
    state.SkipWithError("an answer was not counted as correct");
  state.counters["answers/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
  state.counters["allocs/answer"] = static_cast<double>(allocations) / total;
}
BENCHMARK(BM_HealthyCycleThroughTheReceiveEvent);

class SteadyClock : public record::Clock {
 public:
  record::Stamp Now() const override {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return {ns, ns};
  }
};

// Two healthy cycles that differ in every gauge and flow reading, so that
// each cycle tells a dozen device changes to the feed's listeners.
std::array<std::string, 2> AlternatingBatches(std::vector<std::string>& other) {
  other = HealthyCycle();
  other[1] = BuildFrame("060__" + kOk + "223415" + kOk + "600022" + kOk + "200020" + kOk + "350000" + kOk +
                        "100015" + kOk + "000000" + kOk + "999999" + kOk + "223415");
  other[3] = BuildFrame("063__" + kOk + "22.5" + kOk + "60.0" + kOk + "89.9" + kOk + " 1.0");
  std::array<std::string, 2> batches;
  for (const std::string& line : HealthyCycle()) batches[0] += line;
  for (const std::string& line : other) batches[1] += line;
  return batches;
}

// Feeds the alternating cycles through the receive event of `panel`, whose
// feed has its listeners; `drain` is the writer's side, outside the timing,
// as it runs on its own thread (its allocations are not counted).
void FeedAlternatingCycles(benchmark::State& state, ReplayPort& port, FrontPanel& panel,
                           const std::function<void()>& drain) {
  std::vector<std::string> other;
  const std::array<std::string, 2> batches = AlternatingBatches(other);
  for (int i = 0; i < 16; ++i) {
    port.batch = batches[static_cast<std::size_t>(i % 2)];
    port.Arrive();
  }
  drain();
  const std::int32_t correctBefore = panel.CorrectMessageCount;

  std::uint64_t allocations = 0;
  std::int64_t cycle = 0;
  for (auto _ : state) {
    port.batch.assign(batches[static_cast<std::size_t>(cycle++ % 2)]);  // within the batch's storage
    const std::uint64_t before = HeapAllocations();
    port.Arrive();
    allocations += HeapAllocations() - before - 1;  // the port's copy per read
    if (cycle % 256 == 0) {
      state.PauseTiming();
      drain();
      state.ResumeTiming();
    }
  }

  const auto total = static_cast<double>(state.iterations() * std::ssize(other));
  if (panel.CrcErrorCount != 0 ||
      panel.CorrectMessageCount - correctBefore != static_cast<std::int64_t>(total))
    state.SkipWithError("an answer was not counted as correct");
  state.counters["answers/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
  state.counters["allocs/answer"] = static_cast<double>(allocations) / total;
}

// A panel whose feed the session record listens to.
struct RecordedPanel {
  ReplayPort port;
  SteadyClock clock;
  record::ItemQueue queue{4 * 1024 * 1024};
  record::Recorder recorder{queue, clock};
  FrontPanel panel{port};

  RecordedPanel() { panel.feed.Listen(recorder); }
  void Run(benchmark::State& state) {
    FeedAlternatingCycles(state, port, panel, [this] {
      queue.TakeAll([](const record::Item& item) { benchmark::DoNotOptimize(item.t_ns); });
    });
    if (queue.Lost() != 0) state.SkipWithError("the record's queue overflowed");
  }
};

// The same with the session record listening: every answer's bytes are
// queued, and every reading's change.
void BM_HealthyCycleRecorded(benchmark::State& state) { RecordedPanel().Run(state); }
BENCHMARK(BM_HealthyCycleRecorded);

// And with the alarms on as well: every point watched, limit alarms on a
// gauge and on a flow's deviation from its setpoint, none of them raised.
void BM_HealthyCycleRecordedWithAlarms(benchmark::State& state) {
  RecordedPanel recorded;
  alarms::AlarmSettings settings;
  for (const auto& [key, value] : {std::pair{"alarm G1", "above 1000 mbar for 5 s"},
                                   std::pair{"alarm G2", "below 1e-9 mbar"},
                                   std::pair{"alarm MFC1", "deviation 90 for 30 s"}}) {
    if (alarms::TakeAlarmSetting(settings, key, value)) state.SkipWithError("a limit alarm line is refused");
  }
  alarms::AlarmBoard board;
  alarms::ApplyTo(settings, board);
  alarms::Milliseconds now = 0;
  alarms::AlarmWatch watch(board, [&now] { return now += 40; }, settings.limits);
  recorded.panel.feed.Listen(watch);
  watch.TellOn(recorded.panel.feed);
  recorded.Run(state);
  if (board.revision() != 0) state.SkipWithError("a healthy plant raised an alarm");
}
BENCHMARK(BM_HealthyCycleRecordedWithAlarms);

}  // namespace
}  // namespace halvorn::bench

BENCHMARK_MAIN();
