// A test window of one flat colour with its own text colour, so that every
// pixel a widget on it paints can be told from the background.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace halvorn::testing {

inline void SetPlainBackground(QWidget& window, const QColor& background, const QColor& text) {
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, background);
  palette.setColor(QPalette::WindowText, text);
  window.setPalette(palette);
  window.setAutoFillBackground(true);
}

}  // namespace halvorn::testing
