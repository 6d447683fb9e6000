#include "GroupFrame.h"

#include <QPainter>

namespace halvorn::shell {

namespace {
// The caption starts this far from the frame's left edge and keeps this
// much border-free room on either side.
constexpr int kCaptionIndent = 6;
constexpr int kCaptionGap = 2;
}  // namespace

GroupFrame::GroupFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
  setAutoFillBackground(true);
}

int GroupFrame::borderTop() const { return fontMetrics().height() / 2; }

QRect GroupFrame::captionArea() const {
  return {kCaptionIndent, 0, fontMetrics().horizontalAdvance(title()) + 2 * kCaptionGap,
          fontMetrics().height()};
}

void GroupFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Etched: a shadow line and, one pixel in and down, a light one. A
  // stroked QRect covers one pixel more than its size each way.
  const QRect outer(0, borderTop(), width() - 2, height() - borderTop() - 2);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(outer.translated(1, 1));
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(outer);
  const QRect caption = captionArea();
  painter.fillRect(caption, palette().color(QPalette::Window));
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title());
}

}  // namespace halvorn::shell
