// One caption of the panel: a label that stays in its layout box.
//
// Its box is the layout's rectangle, and so is its mouse area: a right-click
// reaches the caption that is really under the pointer, never a neighbour's
// caption that grew over it. A caption too long for its box is cut at the
// box with an ellipsis, as a classic desktop toolkit clips a label too small
// for its text, and the whole text is shown as a tooltip when the pointer
// rests on it.
//
// A caption that sizes itself to its text (the link status, the message
// counts, the electrode and gauge state readouts) keeps its left edge, top
// and height and takes its text's width, up to its container's right edge.
// It lies beneath every control of its container, which the window creates
// after the captions, so a long text never covers or takes a click from a
// button, box, list or frame beside it.
#pragma once

#include <QLabel>
#include <QRect>
#include <QTextLayout>

namespace halvorn::shell {

class CaptionView : public QLabel {
 public:
  // `box` in pixels of `parent`; `sizesItself` for a caption that takes its
  // text's width.
  CaptionView(const QRect& box, bool sizesItself, QWidget* parent);

  // Brings the geometry in line with the text: the layout's box, or for a
  // caption that sizes itself its text's width from the box's left edge.
  void fit();
  // Whether the text is wider than the caption, and so shown cut.
  bool isCut() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The text as drawn: whole, or cut with an ellipsis, laid out once. Worked
  // out again only when the text, the font or the width changed: a lamp
  // that blinks under its caption repaints the caption ten times a second,
  // and measuring and shaping the text every time was most of that paint.
  const QString& shownText() const;
  // Lays `text` out on one line; its advance.
  qreal layOut(const QString& text) const;

  QRect m_box;
  bool m_sizesItself;
  mutable QString m_shown;
  mutable QTextLayout m_layout;
  mutable QString m_shownFor;
  mutable QFont m_shownFont;
  mutable int m_shownWidth = -1;
};

}  // namespace halvorn::shell
