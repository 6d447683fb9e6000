// The one time axis every chart, the timeline and the event log share: the
// visible range and the crosshair's time, on the session's clock. Zoom and
// pan go through it, so all views move together.
#pragma once

#include <QObject>
#include <QString>
#include <algorithm>

#include "SessionData.h"

namespace halvorn::history {

class TimeAxis : public QObject {
  Q_OBJECT

 public:
  explicit TimeAxis(QObject* parent = nullptr) : QObject(parent) {}

  Nanoseconds from() const { return m_from; }
  Nanoseconds to() const { return m_to; }
  // The crosshair's time; kNoCursor while the pointer is elsewhere.
  Nanoseconds cursor() const { return m_cursor; }
  static constexpr Nanoseconds kNoCursor = -1;

  // Wall clock (ns since 1970 UTC) at t = 0, for showing local times.
  Nanoseconds startWallNs() const { return m_startWallNs; }
  void setStartWallNs(Nanoseconds wall) { m_startWallNs = wall; }
  // The session's extent; panning stops a little beyond it.
  void setExtent(Nanoseconds end) { m_end = std::clamp<Nanoseconds>(end, 0, kLongestSession); }
  Nanoseconds extentEnd() const { return m_end; }
  // How far the range may reach beyond the session on either side: a day,
  // so that "last day" of a short session still shows a day.
  static constexpr Nanoseconds kMargin = 86400 * kNanosecondsPerSecond;
  Nanoseconds earliest() const { return -kMargin; }
  Nanoseconds latest() const { return m_end + kMargin; }

  // Never narrower than 100 ms, never beyond earliest() and latest().
  void setRange(Nanoseconds from, Nanoseconds to);
  // factor < 1 zooms in; `around` stays where it is on the screen.
  void zoom(double factor, Nanoseconds around);
  void pan(Nanoseconds delta);
  void setCursor(Nanoseconds t);

  // "10:31:02.4" in local time; "2026-12-07 23:59:02" while the range
  // shown crosses midnight.
  QString clockText(Nanoseconds t) const;
  // Whether the range shown crosses a local midnight: times need dates.
  bool showsDates() const;

 signals:
  void rangeChanged();
  void cursorChanged();

 private:
  Nanoseconds m_from = 0;
  Nanoseconds m_to = kNanosecondsPerSecond;
  Nanoseconds m_cursor = kNoCursor;
  Nanoseconds m_startWallNs = 0;
  Nanoseconds m_end = kNanosecondsPerSecond;
};

}  // namespace halvorn::history
