// When the window shows the model. Showing costs a repaint, and at the
// panel's speeds the events come close together: a poll lights the send lamp
// and its answer lights the receive lamp a millisecond or two later, a flood
// of answers comes hundreds of times a second, and the counters under a flood
// change faster than an eye can follow. This decides, after each event, show
// now or later; the window then shows, or wakes at WakeAt() and asks again.
//
// Time is an input: every call is given the time it happens at, so a test
// moves the clock by hand.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace halvorn {

class ShowScheduler {
 public:
  using Time = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  enum class Show { Now, Later };

  // Answers are shown at most this often: twice a 60 Hz frame, so that what
  // arrives is on the screen within a frame. One due within kShowSlack is
  // shown at once: waking again for less would cost more than it saves.
  static constexpr std::chrono::milliseconds kShowPeriod{8};
  static constexpr std::chrono::milliseconds kShowSlack{1};
  // The send lamp waits up to this long for the poll's answer, a quarter of
  // a 60 Hz frame: no eye sees the difference, and it saves a paint a poll.
  static constexpr std::chrono::milliseconds kAnswerWait{4};
  // The two lamps go out 100 ms after they lit, as far apart as the answer
  // was from its poll; a timer's change waits for another timer due within
  // this long, which wakes the window anyway.
  static constexpr std::chrono::milliseconds kTimerWait{4};
  // A paced caption that changes again within kPacedBurst of its last change
  // shows a change at most every kPacedPeriod; the change held back is shown
  // at the end of the period, so the last value of a flood is on the screen
  // at most kPacedPeriod after it came. A change after a pause (the counters
  // of a poll every 200 ms) shows at once.
  static constexpr std::chrono::milliseconds kPacedBurst{100};
  static constexpr std::chrono::milliseconds kPacedPeriod{250};

  // What the scheduler keeps of one paced caption; the window holds one per
  // caption and hands it to MayShow.
  struct Paced {
    std::string seen;  // the model's caption when last compared
    Time changedAt{};
    bool inBurst = false;
    Time shownAt{};
  };

  // The operator did something (a click, a choice, the focus) or the window
  // opened: shown at once, and any held change with it.
  [[nodiscard]] Show Operated();

  // A timer ticked. `framesWent`: it sent a poll, whose answer is awaited
  // while `messages` is the count of messages taken; `changed`: it may have
  // changed what the window shows (if neither, nothing is shown and a held
  // change stays held); `nextTimer`: how long until the soonest running
  // timer fires, if one runs.
  [[nodiscard]] Show Ticked(Time now, bool framesWent, bool changed, std::int64_t messages,
                            std::optional<Duration> nextTimer);

  // The core took an event of the port: `received` bytes (else the device
  // was lost, which is told at once), with `messages` taken so far.
  [[nodiscard]] Show PortEvent(Time now, bool received, std::int64_t messages);

  // The wake-up asked for came.
  [[nodiscard]] Show Woke(Time now);

  // While the model is shown: whether paced caption `paced`, whose model now
  // reads `caption` (not what it shows), may show it now. If not, WakeAt()
  // comes no later than when it may.
  [[nodiscard]] bool MayShow(Paced& paced, const std::string& caption, Time now);

  // When to wake and ask again, if at all.
  [[nodiscard]] std::optional<Time> WakeAt() const;

 private:
  Show showAll();
  void hold(Time until);

  // A change held back, shown at the latest then; any show before takes it.
  std::optional<Time> m_heldUntil;
  // A poll went out: the messages counted then, until its answer is in.
  std::optional<std::int64_t> m_awaitingAnswer;
  // Only answers are paced, by the time they were last shown.
  std::optional<Time> m_answersShownAt;
  // The soonest a held paced caption may show.
  std::optional<Time> m_pacedDue;
};

}  // namespace halvorn
