// Figures of the plant's publisher on the loopback, printed by a plain
// program (not a test): run it by hand on a quiet machine,
//   build/bench/halvorn_publish_latency [--answers N]
//
// What is measured:
//  - latency: from the moment a gauge answer's bytes are handed to the core
//    (the port's receive event: "its last byte arrived") to the moment a
//    subscriber on the same broker receives the DDATA carrying that G1
//    pressure. The subscriber's receipt stands for "at the broker": it
//    includes the broker forwarding the message to the subscriber and the
//    subscriber's own network loop, so the figure is an upper bound. One
//    answer every 10 ms, each with a G1 pressure unlike the one before, so
//    every answer must bring one DDATA; a DDATA not seen within 1 s is lost
//    (the board keeps only the latest value, so an answer whose successor
//    came before the publisher took it is counted as lost, and told apart).
//  - the window's thread's processor time per answer (CLOCK_THREAD_CPUTIME_ID),
//    with the wiring of the panel's shell (PlantMetrics on the feed, the
//    board, a live Publisher) and, for comparison, of a panel without it:
//    20000 answers each way per round, alternating, 5 rounds, the median.
//    Both panels also carry the program's own small listener that reads G1.
//    It includes the copy of the answer into the fake port's buffer (the
//    same both ways). The publisher's and the network's threads are not in
//    it; they run beside it and compete for the processors.
//  - heap allocations per answer on the window's thread with publishing,
//    in the receive event only (the fake port's buffer is filled outside).
//  - the floor: the same pace, a plain client publishing a four-byte message
//    at QoS 0 from the main thread to the same subscriber; what the broker,
//    the subscriber and the machine's scheduling alone take.
//    Its answers alternate between two G1 pressures, so that every one
//    changes the board and wakes the publisher.
// What is not: the serial driver and the event loop (the answer, 64 bytes
// in one piece, is handed straight to the port's receive event; no poll
// requests are sent), TLS, a broker elsewhere, and the instant the broker
// itself took the DDATA (there is no hook for it): it lies somewhere
// between the publisher's send and the subscriber's receipt.
#include <mosquitto.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "door/Events.h"
#include "link/Feed.h"
#include "link/FrontPanel.h"
#include "mqtt/MosquittoLibrary.h"
#include "mqtt/Publisher.h"
#include "publish/MetricBoard.h"
#include "publish/MetricTable.h"
#include "publish/PlantMetrics.h"
#include "sparkplug_b.pb.h"
#include "support/Broker.h"
#include "support/FakeSerialPort.h"
#include "support/PlantAnswers.h"

namespace halvorn::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Payload = org::eclipse::tahu::protobuf::Payload;

std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

std::int64_t ThreadCpuNs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

class SystemWallClock : public publish::WallClock {
 public:
  std::int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

class StatusWatcher : public mqtt::PublisherWatcher {
 public:
  void StatusChanged(const std::string& status) override {
    const std::lock_guard lock(m_mutex);
    m_status = status;
  }
  void Refused(const std::string& text) override { std::fprintf(stderr, "refused: %s\n", text.c_str()); }
  std::string status() const {
    const std::lock_guard lock(m_mutex);
    return m_status;
  }

 private:
  mutable std::mutex m_mutex;
  std::string m_status;
};

// The G1 pressure as the core read it from the last answer, so that the
// subscriber's DDATA can be matched to its answer by value.
class G1Reading : public FeedListener {
 public:
  void DeviceChanged(const Device& device, const DeviceShown& shown) override {
    if (device.kind == DeviceKind::Gauge && device.name == "G1") value = shown.reading.value;
  }
  std::optional<double> value;
};

// A gauge answer whose G1 field is `g1` (four digits and the exponent's
// two), the other gauges steady.
std::string GaugeLine(const std::string& g1) {
  std::string fields = testing::kValid + g1;
  for (int g = 2; g <= 8; ++g) fields += testing::kValid + "123415";
  return testing::OnLine("060__" + fields);
}

// Under the subscriber's filter, and no Sparkplug topic.
constexpr const char* kFloorTopic = "spBv1.0/bench-floor";

// A subscriber that stamps the steady clock on each DDATA's arrival and
// keeps the G1 pressures it carries, each with its time.
class DataSubscriber {
 public:
  explicit DataSubscriber(std::uint16_t port) {
    mqtt::UseMosquittoLibrary();
    m_client.reset(mosquitto_new(nullptr, true, this));
    if (!m_client) return;
    mosquitto_connect_callback_set(m_client.get(), [](mosquitto* client, void*, int code) {
      if (code == 0) mosquitto_subscribe(client, nullptr, "spBv1.0/#", 1);
    });
    mosquitto_subscribe_callback_set(m_client.get(), [](mosquitto*, void* self, int, int, const int*) {
      auto& me = *static_cast<DataSubscriber*>(self);
      const std::lock_guard lock(me.m_mutex);
      me.m_subscribed = true;
      me.m_changed.notify_all();
    });
    mosquitto_message_callback_set(m_client.get(), [](mosquitto*, void* self, const mosquitto_message* m) {
      static_cast<DataSubscriber*>(self)->Arrived(*m, SteadyNs());
    });
    if (mosquitto_connect(m_client.get(), "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
    if (mosquitto_loop_start(m_client.get()) != MOSQ_ERR_SUCCESS) return;
    m_looping = true;
  }
  ~DataSubscriber() {
    if (m_looping) {
      mosquitto_disconnect(m_client.get());
      mosquitto_loop_stop(m_client.get(), false);
    }
  }
  DataSubscriber(const DataSubscriber&) = delete;
  DataSubscriber& operator=(const DataSubscriber&) = delete;

  bool WaitSubscribed() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, 10s, [&] { return m_subscribed; });
  }
  bool WaitForBirth() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, 10s, [&] { return m_births > 0; });
  }
  // Waits until every one of `values` has arrived, or `limit` passes.
  void WaitForValues(const std::vector<double>& values, std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] {
      return std::all_of(values.begin(), values.end(), [&](double v) { return m_arrivals.count(v) != 0; });
    });
  }
  // Whether G1 pressures are kept (not while the processor time is taken).
  void Keep(bool keep) { m_keep = keep; }
  // Waits until the floor's message `index` has arrived, or `limit` passes.
  void WaitForFloor(std::uint32_t index, std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_floor.count(index) != 0; });
  }
  std::map<std::uint32_t, std::int64_t> floor() const {
    const std::lock_guard lock(m_mutex);
    return m_floor;
  }
  std::multimap<double, std::int64_t> arrivals() const {
    const std::lock_guard lock(m_mutex);
    return m_arrivals;
  }

 private:
  void Arrived(const mosquitto_message& m, std::int64_t now) {
    const std::string_view topic(m.topic);
    if (topic.find("/DBIRTH/") != std::string_view::npos) {
      const std::lock_guard lock(m_mutex);
      ++m_births;
      m_changed.notify_all();
      return;
    }
    if (topic == kFloorTopic && m.payloadlen == sizeof(std::uint32_t)) {
      std::uint32_t index = 0;
      std::memcpy(&index, m.payload, sizeof index);
      const std::lock_guard lock(m_mutex);
      m_floor.emplace(index, now);
      m_changed.notify_all();
      return;
    }
    if (!m_keep || topic.find("/DDATA/") == std::string_view::npos) return;
    Payload payload;
    if (!payload.ParseFromArray(m.payload, m.payloadlen)) return;
    for (const auto& metric : payload.metrics()) {
      if (metric.name() != "Gauges/G1/Pressure" || metric.is_null()) continue;
      const std::lock_guard lock(m_mutex);
      m_arrivals.emplace(metric.double_value(), now);
      m_changed.notify_all();
    }
  }

  struct Deleter {
    void operator()(mosquitto* client) const { mosquitto_destroy(client); }
  };
  std::unique_ptr<mosquitto, Deleter> m_client;
  bool m_looping = false;
  std::atomic<bool> m_keep{true};
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_subscribed = false;
  int m_births = 0;
  std::multimap<double, std::int64_t> m_arrivals;
  std::map<std::uint32_t, std::int64_t> m_floor;
};

// A plain client of the same broker, publishing a four-byte number at QoS 0
// (as DDATA goes) from the calling thread: what the broker and the
// subscriber alone take, the floor under the publisher's figure.
class FloorClient {
 public:
  explicit FloorClient(std::uint16_t port) {
    m_client.reset(mosquitto_new(nullptr, true, this));
    if (!m_client) return;
    mosquitto_connect_callback_set(m_client.get(), [](mosquitto*, void* self, int code) {
      auto& me = *static_cast<FloorClient*>(self);
      const std::lock_guard lock(me.m_mutex);
      me.m_connected = code == 0;
      me.m_changed.notify_all();
    });
    if (mosquitto_connect(m_client.get(), "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
    if (mosquitto_loop_start(m_client.get()) != MOSQ_ERR_SUCCESS) return;
    m_looping = true;
  }
  ~FloorClient() {
    if (m_looping) {
      mosquitto_disconnect(m_client.get());
      mosquitto_loop_stop(m_client.get(), false);
    }
  }
  FloorClient(const FloorClient&) = delete;
  FloorClient& operator=(const FloorClient&) = delete;

  bool WaitConnected() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, 10s, [&] { return m_connected; });
  }
  bool Publish(std::uint32_t index) {
    return mosquitto_publish(m_client.get(), nullptr, kFloorTopic, sizeof index, &index, 0, false) ==
           MOSQ_ERR_SUCCESS;
  }

 private:
  struct Deleter {
    void operator()(mosquitto* client) const { mosquitto_destroy(client); }
  };
  std::unique_ptr<mosquitto, Deleter> m_client;
  bool m_looping = false;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_connected = false;
};

double Ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

// The `q` quantile of sorted `values` (nearest rank).
std::int64_t Quantile(const std::vector<std::int64_t>& sorted, double q) {
  const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(sorted.size())));
  return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

void PrintQuantiles(std::vector<std::int64_t> latencies) {
  if (latencies.empty()) return;
  std::sort(latencies.begin(), latencies.end());
  std::printf("  p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  max %.3f ms\n", Ms(Quantile(latencies, 0.50)),
              Ms(Quantile(latencies, 0.90)), Ms(Quantile(latencies, 0.99)), Ms(latencies.back()));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int Run(int answers) {
  if (!testing::MosquittoInstalled()) {
    std::printf("skipped: no %s (Debian package mosquitto)\n", testing::kMosquittoProgram);
    return 0;
  }
  testing::Broker broker;
  if (!broker.ok()) {
    std::fprintf(stderr, "the broker did not start:\n%s\n", broker.Log().c_str());
    return 1;
  }
  DataSubscriber subscriber(broker.port());
  if (!subscriber.WaitSubscribed()) {
    std::fprintf(stderr, "the subscriber did not subscribe\n");
    return 1;
  }

  // The shell's wiring (app/PlantPublishing.cpp), minus Qt.
  testing::FakeSerialPort port;
  FrontPanel panel(port);
  const publish::MetricTable table;
  publish::MetricBoard board(table.size());
  const SystemWallClock wallClock;
  publish::PlantMetrics metrics(table, board, wallClock);
  G1Reading g1;
  panel.feed.Listen(metrics);
  panel.feed.Listen(g1);
  Load(panel);
  StatusWatcher watcher;
  mqtt::PublisherSettings settings;
  settings.link.broker = {"127.0.0.1", broker.port(), false};
  settings.link.clientId = "halvorn-bench";
  settings.identity.node = "bench";
  settings.identity.version = "bench";
  settings.identity.port = "/dev/ttyFAKE 9600,n,8,1";
  mqtt::Publisher publisher(std::move(settings), table, board, wallClock, watcher);
  Click(panel, panel.form.cmdConnect);
  if (!subscriber.WaitForBirth()) {
    std::fprintf(stderr, "no DBIRTH within 10 s (publisher: %s)\n", watcher.status().c_str());
    return 1;
  }

  // 1. Latency, one answer every 10 ms.
  std::vector<std::int64_t> sentAt;
  std::vector<double> sentValue;
  sentAt.reserve(static_cast<std::size_t>(answers));
  sentValue.reserve(static_cast<std::size_t>(answers));
  int unread = 0;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < answers; ++i) {
    // 1000..9999: consecutive answers differ; a value comes back after 90 s.
    port.waiting = GaugeLine(std::to_string(1000 + i % 9000) + "15");
    g1.value.reset();
    const std::int64_t t0 = SteadyNs();
    port.RaiseEvent(kCommEventReceive);
    if (!g1.value) {
      ++unread;
    } else {
      sentAt.push_back(t0);
      sentValue.push_back(*g1.value);
    }
    std::this_thread::sleep_until(start + (i + 1) * 10ms);  // the pace, not a wait for anything
  }
  subscriber.WaitForValues(sentValue, 1s);
  const std::multimap<double, std::int64_t> arrivals = subscriber.arrivals();
  const auto receivedAt = [&](std::size_t i) {
    std::optional<std::int64_t> first;
    const auto [from, to] = arrivals.equal_range(sentValue[i]);
    for (auto it = from; it != to; ++it)
      if (it->second >= sentAt[i] && it->second - sentAt[i] <= 1'000'000'000 &&
          (!first || it->second < *first))
        first = it->second;
    return first;
  };
  std::vector<std::int64_t> latencies;
  int lost = 0;
  int superseded = 0;
  for (std::size_t i = 0; i < sentAt.size(); ++i) {
    if (const std::optional<std::int64_t> at = receivedAt(i)) {
      latencies.push_back(*at - sentAt[i]);
      continue;
    }
    ++lost;
    // The board hands the publisher the latest value only: when a later
    // answer came before the publisher took this one, this one never goes
    // out, and the first G1 to arrive after it is a later answer's.
    std::optional<std::pair<std::int64_t, double>> next;
    for (const auto& [value, at] : arrivals)
      if (at >= sentAt[i] && (!next || at < next->first)) next = std::pair{at, value};
    if (next) {
      for (std::size_t later = i + 1; later < sentAt.size() && sentAt[later] <= next->first; ++later)
        if (sentValue[later] == next->second) {
          ++superseded;
          break;
        }
    }
  }
  std::printf("answer to DDATA at the subscriber (loopback, one answer per 10 ms):\n");
  std::printf("  answers %d, not read as a G1 value %d, DDATA received %zu, lost (none within 1 s) %d,\n"
              "  of which a later answer's value went out instead %d\n",
              answers, unread, latencies.size(), lost, superseded);
  PrintQuantiles(latencies);

  // The floor: the same pace, a plain client's message to the subscriber.
  FloorClient floorClient(broker.port());
  if (!floorClient.WaitConnected()) {
    std::fprintf(stderr, "the floor's client did not connect\n");
    return 1;
  }
  std::vector<std::int64_t> floorSentAt;
  const Clock::time_point floorStart = Clock::now();
  for (int i = 0; i < answers; ++i) {
    floorSentAt.push_back(SteadyNs());
    if (!floorClient.Publish(static_cast<std::uint32_t>(i))) floorSentAt.back() = -1;
    std::this_thread::sleep_until(floorStart + (i + 1) * 10ms);  // the pace
  }
  subscriber.WaitForFloor(static_cast<std::uint32_t>(answers - 1), 1s);
  const std::map<std::uint32_t, std::int64_t> floor = subscriber.floor();
  std::vector<std::int64_t> floorLatencies;
  for (std::size_t i = 0; i < floorSentAt.size(); ++i) {
    const auto found = floor.find(static_cast<std::uint32_t>(i));
    if (floorSentAt[i] >= 0 && found != floor.end()) floorLatencies.push_back(found->second - floorSentAt[i]);
  }
  std::printf("the floor: a plain client's QoS 0 message to the subscriber, same pace:\n");
  std::printf("  sent %d, received %zu\n", answers, floorLatencies.size());
  PrintQuantiles(floorLatencies);

  // 2. The window's thread's processor time per answer, with publishing and
  // without, alternating; and its allocations with publishing.
  subscriber.Keep(false);
  testing::FakeSerialPort plainPort;
  FrontPanel plain(plainPort);
  G1Reading plainG1;  // the same small listener both ways: the difference is PlantMetrics
  plain.feed.Listen(plainG1);
  Load(plain);
  Click(plain, plain.form.cmdConnect);
  const std::string lines[2] = {GaugeLine("123415"), GaugeLine("223415")};
  constexpr int kPerRound = 20000;
  constexpr int kRounds = 5;
  std::uint64_t allocations = 0;
  bool allTaken = true;
  const auto feed = [&](testing::FakeSerialPort& into, FrontPanel& core, bool count) {
    const std::int32_t correct = core.CorrectMessageCount;
    const std::int64_t before = ThreadCpuNs();
    for (int i = 0; i < kPerRound; ++i) {
      into.waiting.assign(lines[i % 2]);  // the port's buffer, outside the count
      const std::uint64_t allocated = ThreadHeapAllocations();
      into.RaiseEvent(kCommEventReceive);
      if (count) allocations += ThreadHeapAllocations() - allocated;
    }
    const std::int64_t used = ThreadCpuNs() - before;
    allTaken = allTaken && core.CorrectMessageCount - correct == kPerRound;
    return static_cast<double>(used) / kPerRound;
  };
  feed(port, panel, false);  // warm up: captions and buffers at their working size
  feed(plainPort, plain, false);
  std::vector<double> with;
  std::vector<double> without;
  for (int round = 0; round < kRounds; ++round) {
    with.push_back(feed(port, panel, true));
    without.push_back(feed(plainPort, plain, false));
  }
  std::printf("window's thread, processor time per answer (median of %d rounds of %d answers):\n", kRounds,
              kPerRound);
  std::printf("  with publishing %.2f us, without %.2f us, publishing's share %.2f us\n", Median(with) / 1e3,
              Median(without) / 1e3, (Median(with) - Median(without)) / 1e3);
  std::printf("window's thread, heap allocations per answer with publishing: %.4f (%llu in %d answers)\n",
              static_cast<double>(allocations) / (kRounds * kPerRound),
              static_cast<unsigned long long>(allocations), kRounds * kPerRound);
  if (!allTaken || plain.CrcErrorCount != 0 || panel.CrcErrorCount != 0) {
    std::fprintf(stderr, "an answer was not counted as correct\n");
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace halvorn::bench

int main(int argc, char** argv) {
  int answers = 2000;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (argument == "--answers" && i + 1 < argc) {
      answers = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--answers N]\n", argv[0]);
      return 2;
    }
  }
  if (answers < 1) {
    std::fprintf(stderr, "--answers wants a positive number\n");
    return 2;
  }
  return halvorn::bench::Run(answers);
}
