#include "TimeAxis.h"

#include <QDateTime>
#include <algorithm>

#include "Saturating.h"
#include "TimeText.h"

namespace halvorn::history {

void TimeAxis::setRange(Nanoseconds from, Nanoseconds to) {
  constexpr Nanoseconds kNarrowest = kNanosecondsPerSecond / 10;
  if (to < from) std::swap(from, to);
  from = std::clamp(from, earliest(), latest());
  to = std::clamp(to, earliest(), latest());
  if (to - from < kNarrowest) {
    const Nanoseconds middle = from + (to - from) / 2;
    from = std::clamp(middle - kNarrowest / 2, earliest(), latest() - kNarrowest);
    to = from + kNarrowest;
  }
  if (from == m_from && to == m_to) return;
  m_from = from;
  m_to = to;
  emit rangeChanged();
}

void TimeAxis::zoom(double factor, Nanoseconds around) {
  // In floating point: `around` may lie anywhere, and the factor anything.
  const double left = (static_cast<double>(around) - static_cast<double>(m_from)) * factor;
  const double right = (static_cast<double>(m_to) - static_cast<double>(around)) * factor;
  setRange(SaturatingFromDouble(static_cast<double>(around) - left),
           SaturatingFromDouble(static_cast<double>(around) + right));
}

void TimeAxis::pan(Nanoseconds delta) {
  // Keep at least a tenth of the range over the session, and all of it
  // within reach.
  const Nanoseconds width = m_to - m_from;
  const Nanoseconds lowest = std::max(-width / 10 * 9, earliest());
  const Nanoseconds highest =
      std::max(lowest, std::min(std::max<Nanoseconds>(m_end - width / 10, 0), latest() - width));
  const Nanoseconds from = std::clamp(SaturatingAdd(m_from, delta), lowest, highest);
  setRange(from, from + width);
}

void TimeAxis::setCursor(Nanoseconds t) {
  if (t == m_cursor) return;
  m_cursor = t;
  emit cursorChanged();
}

bool TimeAxis::showsDates() const {
  return CrossesLocalMidnight(SaturatingAdd(m_startWallNs, m_from), SaturatingAdd(m_startWallNs, m_to));
}

QString TimeAxis::clockText(Nanoseconds t) const {
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(SaturatingAdd(m_startWallNs, t) / 1'000'000);
  return local.toString(showsDates() ? "yyyy-MM-dd hh:mm:ss" : "hh:mm:ss.z");
}

}  // namespace halvorn::history
