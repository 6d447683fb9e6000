// One band per valve and pump over the shared time axis, each stretch in the
// colour the panel gave the device's shape (as stored in the record), with
// the operator's commands as marks on the band of their device. Below them,
// one row per alarm point: each alarm a bar from its raise to its clearing
// in its priority's colour (paler where it had returned but was not yet
// acknowledged), a dark notch where it was acknowledged.
#pragma once

#include <QWidget>

#include "AlarmReport.h"
#include "SessionData.h"
#include "TimeAxis.h"
#include "TimeNavigator.h"

namespace halvorn::history {

class TimelineView : public QWidget {
  Q_OBJECT

 public:
  TimelineView(TimeAxis& axis, QWidget* parent = nullptr);

  // Also after `session` grew: its alarms are taken again.
  void setData(const SessionData* session);
  // The plot's edges in this widget's pixels, to line up with the charts.
  void setPlotEdges(double left, double right);
  // The band's row for a timeline device, and the colour at time `t` there
  // (invalid before the first state).
  QColor colourAt(int band, Nanoseconds t) const;
  QRect bandRect(int band) const;

  // What the tooltip at `at` says: the operator's command under the
  // pointer, or the device's state there and since when.
  // The alarm under the pointer: its point, priority, text, and when it
  // was raised, acknowledged and cleared.
  QString tipAt(QPoint at) const;

  // The alarms shown, and the row each one is drawn in.
  const std::vector<AlarmSpan>& alarmSpans() const { return m_spans; }
  int alarmRowOf(std::size_t span) const { return m_spanRows[span]; }
  int alarmRowCount() const { return static_cast<int>(m_rowNames.size()); }
  QRect alarmRect(int row) const;
  // Where span `span` is drawn at the current range (empty when outside it).
  QRect spanRect(std::size_t span) const;

  QSize sizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  TimeAxis& m_axis;
  TimeNavigator m_navigator;
  const SessionData* m_data = nullptr;
  std::vector<AlarmSpan> m_spans;
  std::vector<int> m_spanRows;
  std::vector<QString> m_rowNames;
  double m_left = 60;
  double m_right = 600;
};

// The colour the panel drew for a stored colour value (0x00BBGGRR, or a
// system colour such as the no-data grey).
QColor StoredColour(std::uint32_t colour, const QPalette& palette);

// An alarm's bar: high red, medium orange, low yellow, anything else grey.
QColor PriorityColour(AlarmPriority priority);

}  // namespace halvorn::history
