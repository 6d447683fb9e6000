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

qreal CaptionView::layOut(const QString& text) const {
  m_layout.setText(text);
  m_layout.setFont(font());
  m_layout.setCacheEnabled(true);  // shaped once, drawn many times
  m_layout.beginLayout();
  QTextLine line = m_layout.createLine();
  if (line.isValid()) line.setPosition(QPointF(0, 0));
  m_layout.endLayout();
  return line.isValid() ? line.horizontalAdvance() : 0;
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
  // fall outside the box. Measured from the layout that draws it, so that a
  // reading that changes is shaped once.
  const qreal advance = layOut(whole);
  if (!whole.isEmpty()) {
    const QFontMetrics metrics(font());
    const int ink = qRound(advance) - std::max(0, metrics.rightBearing(whole.back()));
    if (ink > width) {
      m_shown = metrics.elidedText(whole, Qt::ElideRight, width);
      layOut(m_shown);
    }
  }
  return m_shown;
}

bool CaptionView::isCut() const { return shownText() != text(); }

void CaptionView::paintEvent(QPaintEvent*) {
  // The background, for an opaque caption, is already filled by Qt.
  if (shownText().isEmpty() || m_layout.lineCount() == 0) return;
  // One line where the style puts a label's text: at the top, at the left
  // or centred, and cut at the box if it reaches beyond it.
  const QRect box = contentsRect();
  const QTextLine line = m_layout.lineAt(0);
  qreal left = box.left();
  if (alignment() & Qt::AlignHCenter) left += (box.width() - line.horizontalAdvance()) / 2;
  QPainter painter(this);
  if (line.horizontalAdvance() > box.width()) painter.setClipRect(box);
  painter.setPen(palette().color(foregroundRole()));
  line.draw(&painter, QPointF(left, box.top()));
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
