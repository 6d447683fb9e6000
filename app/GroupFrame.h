// A frame of the panel drawn as a classic group box: an etched border whose
// top runs through the middle of the caption's text, the caption standing in
// a gap of the border near the left corner. The widgets the layout puts 240
// twips below the frame's top therefore lie below the border, not across it.
// The frame is opaque, as a classic frame is a window of its own: a caption
// of the picture that grows beneath it stays hidden.
#pragma once

#include <QGroupBox>

namespace halvorn::shell {

class GroupFrame : public QGroupBox {
 public:
  GroupFrame(const QString& caption, QWidget* parent);

  // Where the top border runs, in the frame's pixels, and the area the
  // caption takes out of it.
  int borderTop() const;
  QRect captionArea() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace halvorn::shell
