#include "TimeNavigator.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

#include "Saturating.h"

namespace halvorn::history {

TimeNavigator::TimeNavigator(TimeAxis& axis, QWidget* widget, std::function<std::pair<double, double>()> edges)
    : m_axis(axis), m_widget(widget), m_edges(std::move(edges)) {}

Nanoseconds TimeNavigator::timeAt(double x) const {
  const auto [left, right] = m_edges();
  const double fraction = right > left ? (x - left) / (right - left) : 0.0;
  return SaturatingAdd(m_axis.from(),
                       SaturatingFromDouble(fraction * static_cast<double>(m_axis.to() - m_axis.from())));
}

double TimeNavigator::xOf(Nanoseconds t) const {
  const auto [left, right] = m_edges();
  return left + (right - left) * static_cast<double>(t - m_axis.from()) / static_cast<double>(m_axis.to() - m_axis.from());
}

void TimeNavigator::wheel(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  m_axis.zoom(std::pow(0.8, steps), timeAt(event->position().x()));
  event->accept();
}

void TimeNavigator::press(QMouseEvent* event) {
  m_pressed = event->position().toPoint();
  const bool pan = event->button() == Qt::MiddleButton ||
                   (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    m_drag = Drag::Pan;
    m_panFrom = m_axis.from();
  } else if (event->button() == Qt::LeftButton) {
    m_drag = Drag::Band;
    if (!m_band) m_band = new QRubberBand(QRubberBand::Rectangle, m_widget);
    m_band->setGeometry(QRect(m_pressed, QSize(1, m_widget->height())));
  }
}

void TimeNavigator::move(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  m_axis.setCursor(timeAt(at.x()));
  if (m_drag == Drag::Pan) {
    const Nanoseconds shift = SaturatingSub(timeAt(m_pressed.x()), timeAt(at.x()));
    m_axis.pan(SaturatingSub(SaturatingAdd(m_panFrom, shift), m_axis.from()));
  } else if (m_drag == Drag::Band && m_band) {
    m_band->setGeometry(QRect(QPoint(std::min(at.x(), m_pressed.x()), 0),
                              QSize(std::abs(at.x() - m_pressed.x()) + 1, m_widget->height())));
    m_band->show();
  }
}

void TimeNavigator::release(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  if (m_drag == Drag::Band) {
    if (m_band) m_band->hide();
    if (std::abs(x - m_pressed.x()) > 4) m_axis.setRange(timeAt(std::min(x, m_pressed.x())), timeAt(std::max(x, m_pressed.x())));
  }
  m_drag = Drag::None;
}

void TimeNavigator::leave() {
  if (m_drag == Drag::None) m_axis.setCursor(TimeAxis::kNoCursor);
}

}  // namespace halvorn::history
