// One shape of the picture: a rectangle, rounded rectangle or circle filled
// solid with the model's fill colour and outlined one pixel wide. Shapes take
// no mouse input: a click on one reaches the window beneath, which decides
// by its own hit test.
#pragma once

#include <QColor>
#include <QWidget>

#include "panel/Widgets.h"

namespace halvorn::shell {

class ShapeView : public QWidget {
 public:
  ShapeView(ShapeKind kind, QWidget* parent);

  void setFill(const QColor& fill);
  QColor fill() const { return m_fill; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ShapeKind m_kind;
  QColor m_fill{};
};

}  // namespace halvorn::shell
