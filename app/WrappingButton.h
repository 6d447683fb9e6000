// A command button whose caption wraps onto more lines when it is wider than
// the button, as the panel's long captions ("Switch off electrode cooling")
// need on their narrow buttons.
#pragma once

#include <QPushButton>

namespace halvorn::shell {

class WrappingButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace halvorn::shell
