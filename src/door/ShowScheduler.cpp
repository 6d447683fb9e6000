#include "door/ShowScheduler.h"

#include <algorithm>

namespace halvorn {

namespace {

// Timers may fire a little early: a millisecond is as good as due.
constexpr std::chrono::milliseconds kEarly{1};

}  // namespace

ShowScheduler::Show ShowScheduler::showAll() {
  m_heldUntil.reset();
  m_awaitingAnswer.reset();
  return Show::Now;
}

void ShowScheduler::hold(Time until) {
  if (!m_heldUntil || until < *m_heldUntil) m_heldUntil = until;
}

ShowScheduler::Show ShowScheduler::Operated() { return showAll(); }

ShowScheduler::Show ShowScheduler::Ticked(Time now, bool framesWent, bool changed,
                                          std::int64_t messages,
                                          std::optional<Duration> nextTimer) {
  if (framesWent) {
    // The answer is shown with the poll's send lamp, or the lamp alone
    // once kAnswerWait is up.
    m_awaitingAnswer = messages;
    hold(now + kAnswerWait);
    return Show::Later;
  }
  if (!changed) return Show::Later;
  if (nextTimer && *nextTimer <= kTimerWait) {
    // Shown by that timer's own tick; the hold is only a bound.
    hold(now + *nextTimer + kEarly);
    return Show::Later;
  }
  return showAll();
}

ShowScheduler::Show ShowScheduler::PortEvent(Time now, bool received, std::int64_t messages) {
  // Only answers come in floods; a lost port is told at once.
  if (!received) return showAll();
  if (m_awaitingAnswer) {
    // A first part of the poll's answer changes nothing yet; the whole of
    // it is shown at once, with the send lamp, and the pace starts there.
    if (messages == *m_awaitingAnswer) return Show::Later;
    m_answersShownAt = now;
    return showAll();
  }
  if (!m_answersShownAt || now - *m_answersShownAt >= kShowPeriod - kShowSlack) {
    m_answersShownAt = now;
    return showAll();
  }
  // A show already due sooner (a held tick's) stays as it is.
  hold(now + std::chrono::ceil<std::chrono::milliseconds>(*m_answersShownAt + kShowPeriod - now));
  return Show::Later;
}

ShowScheduler::Show ShowScheduler::Woke(Time now) {
  bool due = false;
  if (m_pacedDue && now + kEarly >= *m_pacedDue) {
    // The paced captions are compared again as the model is shown.
    m_pacedDue.reset();
    due = true;
  }
  if (m_heldUntil && now + kEarly >= *m_heldUntil) {
    m_answersShownAt = now;
    return showAll();
  }
  return due ? Show::Now : Show::Later;
}

bool ShowScheduler::MayShow(Paced& paced, const std::string& caption, Time now) {
  if (caption != paced.seen) {
    paced.inBurst = now - paced.changedAt < kPacedBurst;
    paced.changedAt = now;
    paced.seen = caption;
  }
  const Time due = paced.shownAt + kPacedPeriod - kEarly;
  if (!paced.inBurst || now >= due) {
    paced.shownAt = now;
    return true;
  }
  // One wake-up for all paced captions: whichever is due first brings them
  // all up to date, each within its period.
  const Time at = now + std::chrono::ceil<std::chrono::milliseconds>(due - now);
  if (!m_pacedDue || at < *m_pacedDue) m_pacedDue = at;
  return false;
}

std::optional<ShowScheduler::Time> ShowScheduler::WakeAt() const {
  if (m_heldUntil && m_pacedDue) return std::min(*m_heldUntil, *m_pacedDue);
  return m_heldUntil ? m_heldUntil : m_pacedDue;
}

}  // namespace halvorn
