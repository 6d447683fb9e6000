// The panel's one window: a plain top-level widget whose client area is the
// window's size in twips, converted at the screen's logical dpi, and whose
// title is the window's caption. It owns the panel model.
#pragma once

#include <QWidget>

#include "panel/Form1.h"

namespace halvorn::shell {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // The model the window shows.
  const Form1& form() const { return m_form; }

 private:
  // Sets the title and fixes the client area from the model, at the
  // widget's current logical dpi.
  void applyForm();

  Form1 m_form{};
};

}  // namespace halvorn::shell
