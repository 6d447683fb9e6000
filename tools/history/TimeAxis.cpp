#include "TimeAxis.h"

#include <QDateTime>
#include <algorithm>

namespace halvorn::history {

void TimeAxis::setRange(Nanoseconds from, Nanoseconds to) {
  constexpr Nanoseconds kNarrowest = kNanosecondsPerSecond / 10;
  if (to < from) std::swap(from, to);
  if (to - from < kNarrowest) {
    const Nanoseconds middle = from + (to - from) / 2;
    from = middle - kNarrowest / 2;
    to = from + kNarrowest;
  }
  if (from == m_from && to == m_to) return;
  m_from = from;
  m_to = to;
  emit rangeChanged();
}

void TimeAxis::zoom(double factor, Nanoseconds around) {
  const double left = static_cast<double>(around - m_from) * factor;
  const double right = static_cast<double>(m_to - around) * factor;
  setRange(around - static_cast<Nanoseconds>(left), around + static_cast<Nanoseconds>(right));
}

void TimeAxis::pan(Nanoseconds delta) {
  // Keep at least a tenth of the range over the session.
  const Nanoseconds width = m_to - m_from;
  const Nanoseconds from = std::clamp(m_from + delta, -width * 9 / 10, std::max<Nanoseconds>(m_end - width / 10, 0));
  setRange(from, from + width);
}

void TimeAxis::setCursor(Nanoseconds t) {
  if (t == m_cursor) return;
  m_cursor = t;
  emit cursorChanged();
}

QString TimeAxis::clockText(Nanoseconds t) const {
  const QDateTime local = QDateTime::fromMSecsSinceEpoch((m_startWallNs + t) / 1'000'000);
  return local.toString(m_to - m_from > 2 * 86400 * kNanosecondsPerSecond ? "yyyy-MM-dd hh:mm:ss" : "hh:mm:ss.z");
}

}  // namespace halvorn::history
