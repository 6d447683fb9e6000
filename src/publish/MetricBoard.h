// The hand-over from the window's thread to the publisher's thread: the
// latest value of every metric (value or null, its quality, when the reading
// arrived) with a mark per metric that changed, and whether the controller's
// link is open. It holds one value per metric whatever happens, so it stays
// the same size however long the broker is away.
//
// The window's side writes what it learns into its own copy without a lock
// and commits at the end of each answer or event: under one short mutex the
// changed values go over, and the publisher is woken. After construction it
// never allocates. The publisher's side waits for a commit, a deadline or a
// wake-up to stop, then takes what changed since it last took.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace halvorn::publish {

// Sparkplug's quality codes, as the property "Quality".
constexpr std::int32_t kQualityGood = 192;
constexpr std::int32_t kQualityBad = 0;
constexpr std::int32_t kQualityStale = 500;

// Longest state text kept; a longer one is cut (they are a few words).
constexpr std::size_t kMaxTextBytes = 64;

struct MetricValue {
  enum class Kind : std::uint8_t { Null, Number, Integer, Text };
  Kind kind = Kind::Null;
  double number = 0.0;
  std::int64_t integer = 0;
  std::array<char, kMaxTextBytes> text{};  // bytes as the line gave them
  std::uint8_t textSize = 0;

  [[nodiscard]] static MetricValue Null() { return {}; }
  [[nodiscard]] static MetricValue Number(double value);
  [[nodiscard]] static MetricValue Integer(std::int64_t value);
  // The first kMaxTextBytes bytes of `bytes`.
  [[nodiscard]] static MetricValue Text(std::string_view bytes);
  [[nodiscard]] std::string_view textView() const { return {text.data(), textSize}; }
  [[nodiscard]] bool null() const { return kind == Kind::Null; }

  friend bool operator==(const MetricValue& a, const MetricValue& b);
};

struct MetricSample {
  MetricValue value;
  std::int32_t quality = kQualityStale;
  std::int64_t timestampMs = 0;  // wall clock when it arrived; 0: never
};

// What the publisher takes: each metric changed since the last take with
// its latest sample, and the controller's link.
struct BoardChanges {
  std::vector<std::pair<std::size_t, MetricSample>> changed;
  bool online = false;   // the link is open now
  bool dropped = false;  // it closed at least once since the last take
};

class MetricBoard {
 public:
  // `metrics`: how many (MetricTable::size()); every one starts null and stale.
  explicit MetricBoard(std::size_t metrics);
  MetricBoard(const MetricBoard&) = delete;
  MetricBoard& operator=(const MetricBoard&) = delete;

  [[nodiscard]] std::size_t size() const { return m_staged.size(); }

  // The window's side: one thread only. A sample equal in value and quality
  // to the one held is no change (its first time is kept).
  void Set(std::size_t metric, const MetricValue& value, std::int32_t quality,
           std::int64_t timestampMs);
  void SetOnline(bool online);
  // Hands what changed since the last commit over, and wakes the publisher
  // if anything did.
  void Commit();

  // The publisher's side: waits until something is committed and not yet
  // taken, `timeout` passes, or Wake(); true when something waits.
  bool WaitFor(std::chrono::milliseconds timeout);
  // Wakes the waiting publisher, once (to stop, or for a message from the
  // network to hand to its node); any thread.
  void Wake();
  // Takes the changes into `into` (its storage reused), and clears the marks.
  void Take(BoardChanges& into);

 private:
  // The window's own copy, and the indices of what changed since its commit.
  std::vector<MetricSample> m_staged;
  std::vector<std::uint8_t> m_stagedMark;
  std::vector<std::size_t> m_stagedChanged;
  bool m_stagedOnline = false;
  bool m_committedOnline = false;  // as last committed, read by the window only

  std::mutex m_mutex;
  std::condition_variable m_woken;
  std::vector<MetricSample> m_shared;
  std::vector<std::uint8_t> m_sharedMark;
  std::vector<std::size_t> m_sharedChanged;
  bool m_online = false;
  bool m_dropped = false;
  bool m_pending = false;
  bool m_wake = false;
};

}  // namespace halvorn::publish
