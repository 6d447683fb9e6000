#include "CaptionView.h"

#include <QHelpEvent>
#include <QPainter>
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

const QString& CaptionView::shownText() const {
  const QString whole = text();
  const int width = contentsRect().width();
  if (whole == m_shownFor && width == m_shownWidth && font() == m_shownFont) return m_shown;
  m_shownFor = whole;
  m_shownWidth = width;
  m_shownFont = font();
  m_shown = whole;
  // A text fits when its ink does: the room a glyph keeps after itself may
  // fall outside the box. Measured once here, as a change of a reading's
  // text is what this costs.
  const QFontMetricsF metrics(font());
  m_advance = metrics.horizontalAdvance(whole);
  if (!whole.isEmpty()) {
    const int ink = qRound(m_advance) - std::max(0, qRound(metrics.rightBearing(whole.back())));
    if (ink > width) {
      m_shown = QFontMetrics(font()).elidedText(whole, Qt::ElideRight, width);
      m_advance = metrics.horizontalAdvance(m_shown);
    }
  }
  m_layout.setText(m_shown);
  m_layout.prepare(QTransform(), font());
  return m_shown;
}

bool CaptionView::isCut() const { return shownText() != text(); }

void CaptionView::paintEvent(QPaintEvent*) {
  // The background, for an opaque caption, is already filled by Qt.
  const QString& shown = shownText();
  if (shown.isEmpty()) return;
  // A single line where the style puts it: at the top, at the left or
  // centred, and cut at the box if it reaches beyond it.
  const QRect box = contentsRect();
  qreal left = box.left();
  if (alignment() & Qt::AlignHCenter) left += (box.width() - m_advance) / 2;
  QPainter painter(this);
  if (m_advance > box.width()) painter.setClipRect(box);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawStaticText(QPointF(left, box.top()), m_layout);
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
