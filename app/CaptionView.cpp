#include "CaptionView.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace halvorn::shell {

CaptionView::CaptionView(const QRect& box, bool sizesItself, QWidget* parent)
    : QLabel(parent), m_box(box), m_sizesItself(sizesItself) {
  setGeometry(box);
}

void CaptionView::fit() {
  if (!m_sizesItself) return;
  QRect fitted = m_box;
  const int room = parentWidget()->width() - m_box.left();
  fitted.setWidth(std::clamp(sizeHint().width(), 0, std::max(room, 0)));
  if (fitted != geometry()) setGeometry(fitted);
}

QString CaptionView::shownText() const {
  // A text fits when its ink does: the room a glyph keeps after itself may
  // fall outside the box.
  const QFontMetrics metrics = fontMetrics();
  const QString whole = text();
  if (whole.isEmpty()) return whole;
  const int ink =
      metrics.horizontalAdvance(whole) - std::max(0, metrics.rightBearing(whole.back()));
  if (ink <= contentsRect().width()) return whole;
  return metrics.elidedText(whole, Qt::ElideRight, contentsRect().width());
}

bool CaptionView::isCut() const { return shownText() != text(); }

void CaptionView::paintEvent(QPaintEvent*) {
  // The background, for an opaque caption, is already filled by Qt.
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                        isEnabled(), shownText(), foregroundRole());
}

bool CaptionView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    if (isCut()) {
      // The tooltip takes rich text; a reading from the line is escaped so
      // that it shows as the bytes came.
      const QString plain =
          QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text().toHtmlEscaped());
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), plain, this, rect());
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QLabel::event(event);
}

}  // namespace halvorn::shell
