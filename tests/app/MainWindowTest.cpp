// The window's caption and client size, and the twips-to-pixels rounding that
// every geometry of the shell goes through.
#include <QGuiApplication>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <gtest/gtest.h>

#include <climits>

#include "MainWindow.h"
#include "QtApplication.h"
#include "Twips.h"

namespace halvorn::shell {
namespace {

struct TwipsCase {
  int twips;
  int dpi;
  int pixels;
};

TEST(TwipsToPixels, RoundsToTheNearestPixelWithHalvesAwayFromZero) {
  const TwipsCase cases[] = {
      {14070, 96, 938},   // window width at 96 dpi
      {10170, 96, 678},   // window height at 96 dpi
      {0, 96, 0},
      {15, 96, 1},        // one pixel is 15 twips at 96 dpi
      {7, 96, 0},         // 0.47 pixel
      {8, 96, 1},         // 0.53 pixel
      {1440, 96, 96},     // an inch
      {1440, 120, 120},
      {6, 120, 1},        // exactly half a pixel rounds up
      {18, 120, 2},       // 1.5 pixels
      {-6, 120, -1},      // and a negative half rounds down
      {-8, 96, -1},
      {-7, 96, 0},
      {14070, 120, 1173},  // 1172.5
      {10170, 120, 848},   // 847.5
      {14070, 144, 1407},
      {10170, 144, 1017},
      {14070, 72, 704},    // 703.5
      {INT_MAX, 96, 143165576},   // no overflow at the ends of int
      {INT_MIN, 96, -143165577},
  };
  for (const TwipsCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.twips << " twips at " << c.dpi << " dpi, expected "
                                      << c.pixels << " pixels");
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels);
  }
}

TEST(TwipsToPixels, IsUsableAtCompileTime) {
  static_assert(TwipsToPixels(14070, 96) == 938);
  static_assert(TwipsToPixels(10170, 96) == 678);
  SUCCEED();
}

TEST(MainWindow, TitleIsTheWindowCaption) {
  MainWindow window;
  EXPECT_EQ(window.windowTitle(), QString("Halvorn gas injection front panel"));
  EXPECT_EQ(window.windowTitle().toStdString(), window.form().caption);
}

TEST(MainWindow, IsATopLevelWindow) {
  MainWindow window;
  EXPECT_TRUE(window.isWindow());
  EXPECT_EQ(window.parentWidget(), nullptr);
}

TEST(MainWindow, ClientAreaIsTheFormSizeInPixelsAtTheWindowsDpi) {
  MainWindow window;
  const int dpiX = window.logicalDpiX();
  const int dpiY = window.logicalDpiY();
  ASSERT_GT(dpiX, 0);
  ASSERT_GT(dpiY, 0);
  const QSize expected(TwipsToPixels(14070, dpiX), TwipsToPixels(10170, dpiY));
  SCOPED_TRACE(::testing::Message() << "dpi " << dpiX << " x " << dpiY);

  EXPECT_EQ(window.size(), expected);
  // Fixed: the operator cannot resize it.
  EXPECT_EQ(window.minimumSize(), expected);
  EXPECT_EQ(window.maximumSize(), expected);

  window.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(window.size(), expected);
  EXPECT_EQ(window.geometry().size(), expected);
  EXPECT_EQ(window.rect().size(), expected);
}

TEST(MainWindow, Is938By678PixelsOnTheOffscreenScreenAt96Dpi) {
  if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
    GTEST_SKIP() << "runs on the offscreen platform only, this is "
                 << QGuiApplication::platformName().toStdString();
  }
  MainWindow window;
  ASSERT_EQ(window.logicalDpiX(), 96);
  ASSERT_EQ(window.logicalDpiY(), 96);
  EXPECT_EQ(window.size(), QSize(938, 678));

  window.show();
  QCoreApplication::processEvents();
  const QPixmap picture = window.grab();
  EXPECT_EQ(picture.deviceIndependentSize().toSize(), QSize(938, 678));
}

}  // namespace
}  // namespace halvorn::shell
