#include "alarms/Horn.h"

namespace halvorn::alarms {

bool Horn::Sounding(const AlarmBoard& board, Milliseconds now) const {
  const bool silenced = m_silencedAt && now - *m_silencedAt < kHornSilence;
  for (const AlarmPoint& p : board.points()) {
    if (p.priority == Priority::Low) continue;
    const State state = p.alarm.state();
    if (state != State::ActiveUnacknowledged && state != State::ReturnedUnacknowledged) continue;
    if (!silenced || p.alarm.raisedAt() > *m_silencedAt) return true;
  }
  return false;
}

}  // namespace halvorn::alarms
