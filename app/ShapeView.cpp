#include "ShapeView.h"

#include <QPainter>

#include <algorithm>

namespace halvorn::shell {

ShapeView::ShapeView(ShapeKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // A rectangle covers its whole box: a lamp that blinks repaints itself
  // only, not the frame beneath it. Rounded corners and circles let the
  // picture show through.
  if (kind == ShapeKind::Rectangle) setAttribute(Qt::WA_OpaquePaintEvent);
}

void ShapeView::setFill(const QColor& fill) {
  if (fill == m_fill) return;
  m_fill = fill;
  update();
}

void ShapeView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
  painter.setBrush(m_fill);
  const QRect outline = rect().adjusted(0, 0, -1, -1);
  switch (m_kind) {
    case ShapeKind::Rectangle:
      painter.drawRect(outline);
      break;
    case ShapeKind::RoundedRectangle: {
      const double radius = std::min(width(), height()) / 6.0;
      painter.setRenderHint(QPainter::Antialiasing);
      painter.drawRoundedRect(QRectF(outline).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
      break;
    }
    case ShapeKind::Circle: {
      // A circle as large as the shorter side, centred in the shape's box.
      const int side = std::min(outline.width(), outline.height());
      painter.setRenderHint(QPainter::Antialiasing);
      painter.drawEllipse(QRect(outline.center().x() - side / 2, outline.center().y() - side / 2,
                                side, side));
      break;
    }
  }
}

}  // namespace halvorn::shell
