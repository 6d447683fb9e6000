#include "mqtt/Publisher.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace halvorn::mqtt {
namespace {

LinkSettings WithSubscriptions(LinkSettings link, const publish::SparkplugNode& node) {
  link.subscriptions = node.Subscriptions();
  return link;
}

// How long the thread sleeps with nothing due: only a commit, a link event
// or the end wakes it earlier, so an idle plant costs no wake-ups.
constexpr std::chrono::milliseconds kIdleWait{60'000};

}  // namespace

Publisher::Publisher(PublisherSettings settings, const publish::MetricTable& table,
                     publish::MetricBoard& board, const publish::WallClock& clock,
                     PublisherWatcher& watcher)
    : m_board(board),
      m_clock(clock),
      m_watcher(watcher),
      m_node(settings.identity, table),
      m_willMaker(settings.identity, table),
      m_sequence(settings.sequenceFile),
      m_link(WithSubscriptions(std::move(settings.link), m_node), *this) {
  if (m_sequence.path().empty()) {
    m_bdSeq = 0;
  } else {
    const TakenBirth taken = m_sequence.Next();
    m_bdSeq = taken.bdSeq;
    m_sequenceProblem = taken.problem;
  }
  m_thread = std::thread([this] { Run(); });
  m_link.Start();
}

Publisher::~Publisher() {
  m_stop = true;
  m_board.Wake();
  if (m_thread.joinable()) m_thread.join();
  if (m_link.connected()) {
    std::uint64_t bdSeq = 0;
    {
      const std::lock_guard lock(m_mutex);
      bdSeq = m_bdSeq;
    }
    m_link.PublishAndDisconnect(m_willMaker.Death(bdSeq, m_clock.NowMs()));
  }
  m_link.Stop();
}

publish::Message Publisher::Will() {
  const std::lock_guard lock(m_mutex);
  if (m_connectionUsed) {
    m_connectionUsed = false;
    if (m_sequence.path().empty()) {
      m_bdSeq = (m_bdSeq + 1) % 256;
    } else {
      // A problem writing the file was told at the start; the value is
      // still the next one for this run.
      m_bdSeq = m_sequence.Next().bdSeq;
    }
  }
  return m_willMaker.Death(m_bdSeq);
}

void Publisher::Connected() {
  std::uint64_t bdSeq = 0;
  {
    const std::lock_guard lock(m_mutex);
    m_connectionUsed = true;
    bdSeq = m_bdSeq;
  }
  Tell({LinkEvent::Kind::Connected, bdSeq, {}, {}});
}

void Publisher::Disconnected(const std::string& /*reason*/) {
  Tell({LinkEvent::Kind::Disconnected, 0, {}, {}});
}

void Publisher::Arrived(const std::string& topic, const std::string& payload) {
  {
    const std::lock_guard lock(m_mutex);
    if (m_arrivals >= kMostArrivals) return;
    ++m_arrivals;
  }
  Tell({LinkEvent::Kind::Arrived, 0, topic, payload});
}

void Publisher::Tell(LinkEvent event) {
  {
    const std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
  }
  m_board.Wake();
}

void Publisher::Run() {
  TellStatus();
  std::deque<LinkEvent> events;
  while (!m_stop) {
    std::chrono::milliseconds wait = kIdleWait;
    if (const auto due = m_node.NextDueMs())
      wait = std::chrono::milliseconds(
          std::clamp<std::int64_t>(*due - m_clock.NowMs(), 0, kIdleWait.count()));
    m_board.WaitFor(wait);
    if (m_stop) break;
    {
      const std::lock_guard lock(m_mutex);
      events.swap(m_events);
      m_arrivals = 0;
    }
    const std::int64_t now = m_clock.NowMs();
    // The board first, so that births carry the latest values; nothing goes
    // out before the connection's NBIRTH.
    m_board.Take(m_changes);
    Send(m_node.Update(m_changes, now));
    for (const LinkEvent& event : events) Handle(event, now);
    events.clear();
    TellStatus();
  }
}

void Publisher::Handle(const LinkEvent& event, std::int64_t nowMs) {
  switch (event.kind) {
    case LinkEvent::Kind::Connected: Send(m_node.Connected(event.bdSeq, nowMs)); break;
    case LinkEvent::Kind::Disconnected: m_node.Disconnected(); break;
    case LinkEvent::Kind::Arrived: {
      publish::CommandOutcome outcome = m_node.Command(event.topic, event.payload, nowMs);
      switch (outcome.kind) {
        case publish::CommandOutcome::Kind::Acted: Send(outcome.messages); break;
        case publish::CommandOutcome::Kind::Refused: m_watcher.Refused(outcome.text); break;
        case publish::CommandOutcome::Kind::Reconnect:
        case publish::CommandOutcome::Kind::Ignored: break;
      }
      break;
    }
  }
}

void Publisher::Send(const std::vector<publish::Message>& messages) {
  for (const publish::Message& message : messages) m_link.Publish(message);
}

void Publisher::TellStatus() {
  std::string status = m_link.Status();
  if (status == m_toldStatus) return;
  m_toldStatus = std::move(status);
  m_watcher.StatusChanged(m_toldStatus);
}

}  // namespace halvorn::mqtt
