// One band per valve and pump over the shared time axis, each stretch in the
// colour the panel gave the device's shape (as stored in the record), with
// the operator's commands as marks on the band of their device.
#pragma once

#include <QWidget>

#include "SessionData.h"
#include "TimeAxis.h"
#include "TimeNavigator.h"

namespace halvorn::history {

class TimelineView : public QWidget {
  Q_OBJECT

 public:
  TimelineView(TimeAxis& axis, QWidget* parent = nullptr);

  void setData(const SessionData* session) {
    m_data = session;
    update();
  }
  // The plot's edges in this widget's pixels, to line up with the charts.
  void setPlotEdges(double left, double right);
  // The band's row for a timeline device, and the colour at time `t` there
  // (invalid before the first state).
  QColor colourAt(int band, Nanoseconds t) const;
  QRect bandRect(int band) const;

  // What the tooltip at `at` says: the operator's command under the
  // pointer, or the device's state there and since when.
  QString tipAt(QPoint at) const;

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
  double m_left = 60;
  double m_right = 600;
};

// The colour the panel drew for a stored colour value (0x00BBGGRR, or a
// system colour such as the no-data grey).
QColor StoredColour(std::uint32_t colour, const QPalette& palette);

}  // namespace halvorn::history
