// One shape of the picture: a rectangle, rounded rectangle or circle filled
// solid with the model's fill colour and outlined one pixel wide, drawn pixel
// by pixel without antialiasing, as the layout's shapes are drawn on a classic
// desktop: the outline lies on the box's outermost pixels on all four sides.
// Shapes take no mouse input: a click on one reaches the window beneath,
// which decides by its own hit test.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QWidget>

#include <vector>

#include "panel/Widgets.h"

namespace halvorn::shell {

// The pixels of a shape of `kind` in a box of `size`, row by row from the
// top: each row holds one run, first to last column inclusive; a row with
// first > last is empty. A circle is as large as the box's shorter side and
// centred in it. The runs are mirror-symmetric about both axes of the shape.
struct PixelRun {
  int first;
  int last;
};
std::vector<PixelRun> ShapeRows(ShapeKind kind, QSize size);

class ShapeView : public QWidget {
 public:
  ShapeView(ShapeKind kind, QWidget* parent);

  void setFill(const QColor& fill);
  QColor fill() const { return m_fill; }

  // A caption that lies on the shape and belongs to it (a lamp's "Send"),
  // drawn into the shape's picture in `font` within `box` (the shape's
  // pixels), where a label would draw it: the lamp and its caption are
  // then one paint instead of two each time the lamp blinks.
  void setCaption(const QString& text, const QRect& box, const QFont& font, Qt::Alignment alignment);
  QString caption() const { return m_caption; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Draws the shape pixel by pixel into a picture of the widget's size.
  QImage render(const QColor& outline) const;

  ShapeKind m_kind;
  QColor m_fill{};
  // The shape as drawn in each colour it has shown at its size: a lamp
  // blinks between two colours, and copying a picture costs far less than
  // drawing it row by row again. A device shows a handful of colours.
  struct Picture {
    QColor fill;
    QColor outline;
    QImage image;
  };
  std::vector<Picture> m_pictures;
  QSize m_picturesSize{};
  qreal m_picturesRatio = 0;
  QString m_caption;
  QRect m_captionBox;
  QFont m_captionFont;
  Qt::Alignment m_captionAlignment;
};

}  // namespace halvorn::shell
