// The mouse on a time chart, the same in every view: the wheel zooms about
// the pointer, a band dragged with the left button zooms to it, the middle
// button (or the left with Shift) pans, and the pointer alone moves the
// crosshair. The view says only how its pixels map to time.
#pragma once

#include <QPoint>
#include <QRubberBand>
#include <functional>

#include "TimeAxis.h"

class QMouseEvent;
class QWheelEvent;
class QWidget;

namespace halvorn::history {

class TimeNavigator {
 public:
  // `left` and `right` give the x of the plot's edges in `widget`'s pixels.
  TimeNavigator(TimeAxis& axis, QWidget* widget, std::function<std::pair<double, double>()> edges);

  Nanoseconds timeAt(double x) const;
  double xOf(Nanoseconds t) const;

  void wheel(QWheelEvent* event);
  void press(QMouseEvent* event);
  void move(QMouseEvent* event);
  void release(QMouseEvent* event);
  void leave();

 private:
  enum class Drag { None, Band, Pan };
  TimeAxis& m_axis;
  QWidget* m_widget;
  std::function<std::pair<double, double>()> m_edges;
  Drag m_drag = Drag::None;
  QPoint m_pressed;
  Nanoseconds m_panFrom = 0;
  QRubberBand* m_band = nullptr;
};

}  // namespace halvorn::history
