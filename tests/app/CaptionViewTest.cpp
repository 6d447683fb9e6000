// A caption in its box: the box is its geometry and its mouse area whatever
// the text, a text too long is cut with an ellipsis and offered whole as a
// tooltip, and a caption that sizes itself grows to the right only, never
// past its container.
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QToolTip>
#include <QWidget>
#include <gtest/gtest.h>

#include "CaptionView.h"
#include "PlainBackground.h"
#include "QtApplication.h"
#include "support/EventLoop.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;

// A state caption of a valve at 96 dpi: 49 by 13 pixels.
const QRect kValveStateBox(512, 272, 49, 13);

struct Shown {
  QString text;
  bool cut;
};

// Asks `caption` for its tooltip as the application does when the pointer
// rests on it, and returns what the tooltip shows ("" for none).
QString TooltipOf(CaptionView& caption) {
  // A tooltip shown before fades out first.
  QToolTip::hideText();
  testing::RunEventsUntil([] { return !QToolTip::isVisible(); }, 1s);
  const QPoint inside = caption.rect().center();
  QHelpEvent help(QEvent::ToolTip, inside, caption.mapToGlobal(inside));
  QApplication::sendEvent(&caption, &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST(CaptionView, AFixedCaptionKeepsItsBoxAndIsCutWhenTooLong) {
  QWidget window;
  window.resize(938, 678);
  auto* caption = new CaptionView(kValveStateBox, false, &window);
  caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  window.show();
  const Shown cases[] = {
      {"closed", false},
      {"no response from icpcon bus", true},
      {"wrong size response from pfeiffer bus", true},
      {"open", false},
  };
  for (const Shown& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    caption->setText(c.text);
    caption->fit();
    EXPECT_EQ(caption->geometry(), kValveStateBox);
    EXPECT_EQ(caption->text(), c.text) << "the caption keeps its whole text";
    EXPECT_EQ(caption->isCut(), c.cut);
    const QString tip = TooltipOf(*caption);
    if (c.cut) {
      EXPECT_TRUE(tip.contains(c.text)) << tip.toStdString();
    } else {
      EXPECT_EQ(tip.toStdString(), "");
    }
  }
}

TEST(CaptionView, ACutCaptionEndsInAnEllipsisInsideItsBox) {
  QWidget window;
  window.resize(200, 40);
  testing::SetPlainBackground(window, Qt::white, Qt::black);
  auto* caption = new CaptionView(QRect(10, 10, 49, 13), false, &window);
  caption->setText("no response from icpcon bus");
  window.show();
  const QImage picture = window.grab().toImage();
  int rightmostInk = -1;
  for (int x = 0; x < picture.width(); ++x)
    for (int y = 0; y < picture.height(); ++y)
      if (picture.pixelColor(x, y) != Qt::white) rightmostInk = std::max(rightmostInk, x);
  // The text stops inside the box, and at its right end: the ellipsis.
  EXPECT_LT(rightmostInk, 10 + 49);
  EXPECT_GT(rightmostInk, 10 + 49 - 12);
  EXPECT_TRUE(caption->fontMetrics()
                  .elidedText(caption->text(), Qt::ElideRight, 49)
                  .endsWith(QChar(0x2026)));
}

TEST(CaptionView, ACaptionWhoseInkFitsIsNotCut) {
  // MFC4's range caption is a pixel wider than its box in the substitute
  // font, but the pixel is the room after its last glyph.
  QWidget window;
  const QString text = "(2000 sccm)";
  const QFontMetrics metrics(window.font());
  const int trailing = metrics.rightBearing(text.back());
  if (trailing <= 0) GTEST_SKIP() << "the font keeps no room after ')'";
  const int ink = metrics.horizontalAdvance(text) - trailing;
  struct Case {
    int width;
    bool cut;
  };
  for (const Case c : {Case{ink, false}, Case{ink - 1, true}}) {
    SCOPED_TRACE(::testing::Message() << "box " << c.width << " pixels");
    auto* caption = new CaptionView(QRect(0, 0, c.width, 13), false, &window);
    caption->setText(text);
    EXPECT_EQ(caption->isCut(), c.cut);
  }
}

// A caption that fits is drawn exactly as the desktop draws a label, left or
// centred, and a change of text, font or width shows at the next paint
// (the caption lays its text out once per change, not per paint).
TEST(CaptionView, DrawsAsALabelDoesAfterEveryChangeOfTextFontOrWidth) {
  QWidget window;
  window.resize(240, 20);
  testing::SetPlainBackground(window, Qt::white, Qt::black);
  const QFont regular = window.font();
  QFont bold = regular;
  bold.setWeight(QFont::Bold);
  // Boxes two pixels wider than a text in one of the fonts.
  const auto box = [](const char* text, const QFont& font) {
    return QFontMetrics(font).horizontalAdvance(QString::fromLatin1(text)) + 2;
  };
  struct Step {
    const char* text;
    Qt::Alignment align;
    const QFont* font;
    int width;
  };
  const Step steps[] = {
      {"closed", Qt::AlignHCenter, &regular, box("closed", regular)},
      {"open", Qt::AlignHCenter, &regular, box("closed", regular)},
      {"X.XXXE-X", Qt::AlignHCenter, &regular, box("X.XXXE-X", regular) + 7},
      {"X.XXXE-X", Qt::AlignHCenter, &bold, box("X.XXXE-X", bold) + 7},
      {"Receive", Qt::AlignHCenter, &regular, box("Receive", regular)},
      {"0 messages received from pic", Qt::AlignLeft, &bold, 214},
      {"12 messages received from pic", Qt::AlignLeft, &bold, 214},
      {"12 messages received from pic", Qt::AlignLeft, &regular, 214},
  };
  auto* caption = new CaptionView(QRect(0, 0, 49, 13), false, &window);
  auto* label = new QLabel(&window);
  label->setTextFormat(Qt::PlainText);
  for (const Step& step : steps) {
    SCOPED_TRACE(::testing::Message() << step.text << (step.font == &bold ? " bold" : "") << " in "
                                      << step.width);
    for (QLabel* each : {static_cast<QLabel*>(caption), label}) {
      each->setAlignment(step.align | Qt::AlignTop);
      each->setFont(*step.font);
      each->setText(step.text);
      each->resize(step.width, 13);
    }
    ASSERT_FALSE(caption->isCut());
    EXPECT_EQ(caption->grab().toImage(), label->grab().toImage());
  }
  // The bold text in the regular one's box: measured again, and cut.
  caption->resize(box("X.XXXE-X", regular), 13);
  caption->setFont(regular);
  caption->setText("X.XXXE-X");
  EXPECT_FALSE(caption->isCut());
  if (box("X.XXXE-X", bold) > box("X.XXXE-X", regular) + 3) {
    caption->setFont(bold);
    EXPECT_TRUE(caption->isCut());
  }
}

TEST(CaptionView, AReadingIsNeverTakenForMarkupInItsTooltip) {
  QWidget window;
  auto* caption = new CaptionView(kValveStateBox, false, &window);
  caption->setText("<b>a reading far too long for its box</b>");
  window.show();
  const QString tip = TooltipOf(*caption);
  EXPECT_TRUE(tip.contains("&lt;b&gt;a reading")) << tip.toStdString();
}

TEST(CaptionView, ACaptionThatSizesItselfGrowsToTheRightUpToItsContainer) {
  QWidget window;
  window.resize(300, 100);
  // A gauge state readout: left 200, one character wide at start.
  const QRect box(200, 40, 5, 13);
  auto* caption = new CaptionView(box, true, &window);
  window.show();
  const QString texts[] = {"ok", "no response from pfeiffer bus", "-", "ok"};
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    caption->setText(text);
    caption->fit();
    EXPECT_EQ(caption->pos(), box.topLeft());
    EXPECT_EQ(caption->height(), box.height());
    EXPECT_EQ(caption->width(), std::min(caption->sizeHint().width(), 100));
    EXPECT_LE(caption->geometry().right(), window.width() - 1);
    EXPECT_EQ(caption->isCut(), caption->sizeHint().width() > 100);
  }
}

}  // namespace
}  // namespace halvorn::shell
