// Shapes drawn pixel-exact: filled and outlined one pixel wide on all four
// sides at the box's edges, symmetric, with no blended pixels.
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "PlainBackground.h"
#include "QtApplication.h"
#include "ShapeView.h"

namespace halvorn::shell {
namespace {

struct ShapeCase {
  ShapeKind kind;
  QSize size;
  const char* what;
};

constexpr ShapeCase kShapes[] = {
    {ShapeKind::Circle, {65, 65}, "gauge circle at 96 dpi"},
    {ShapeKind::Circle, {81, 81}, "gauge circle at 120 dpi"},
    {ShapeKind::Circle, {64, 64}, "even circle"},
    {ShapeKind::Circle, {70, 60}, "circle in a wide box"},
    {ShapeKind::RoundedRectangle, {65, 49}, "pump at 96 dpi"},
    {ShapeKind::RoundedRectangle, {81, 61}, "pump at 120 dpi"},
    {ShapeKind::Rectangle, {49, 41}, "valve at 96 dpi"},
    {ShapeKind::Rectangle, {73, 25}, "lamp at 96 dpi"},
};

// Paints a shape over a blue background and returns the picture.
QImage Painted(const ShapeCase& c, const QColor& fill, const QColor& outline) {
  QWidget parent;
  parent.resize(c.size);
  testing::SetPlainBackground(parent, Qt::blue, outline);
  auto* shape = new ShapeView(c.kind, &parent);
  shape->setGeometry(QRect(QPoint(0, 0), c.size));
  shape->setFill(fill);
  return parent.grab().toImage();
}

TEST(ShapeRows, EveryShapeReachesTheFourEdgesOfItsBoxAndIsSymmetric) {
  for (const ShapeCase& c : kShapes) {
    SCOPED_TRACE(c.what);
    const auto rows = ShapeRows(c.kind, c.size);
    ASSERT_EQ(static_cast<int>(rows.size()), c.size.height());
    const int side = std::min(c.size.width(), c.size.height());
    const int left = c.kind == ShapeKind::Circle ? (c.size.width() - side) / 2 : 0;
    const int top = c.kind == ShapeKind::Circle ? (c.size.height() - side) / 2 : 0;
    const int width = c.kind == ShapeKind::Circle ? side : c.size.width();
    const int height = c.kind == ShapeKind::Circle ? side : c.size.height();
    // The middle row runs from edge to edge, the first and last are not empty.
    const PixelRun middle = rows[static_cast<std::size_t>(top + height / 2)];
    EXPECT_EQ(middle.first, left);
    EXPECT_EQ(middle.last, left + width - 1);
    EXPECT_LE(rows[static_cast<std::size_t>(top)].first, rows[static_cast<std::size_t>(top)].last);
    EXPECT_LE(rows[static_cast<std::size_t>(top + height - 1)].first,
              rows[static_cast<std::size_t>(top + height - 1)].last);
    for (int y = 0; y < height; ++y) {
      const PixelRun run = rows[static_cast<std::size_t>(top + y)];
      const PixelRun mirror = rows[static_cast<std::size_t>(top + height - 1 - y)];
      SCOPED_TRACE(::testing::Message() << "row " << y << ": " << run.first << ".." << run.last);
      EXPECT_EQ(run.first, mirror.first);
      EXPECT_EQ(run.first - left, left + width - 1 - run.last) << "left and right differ";
      EXPECT_GE(run.first, left);
      EXPECT_LE(run.last, left + width - 1);
    }
    if (c.kind == ShapeKind::Circle && width == height) {
      // A circle is the same turned a quarter: the column through the middle
      // runs from the top to the bottom edge as the row does across.
      int firstRow = -1;
      for (int y = 0; y < height && firstRow < 0; ++y) {
        const PixelRun run = rows[static_cast<std::size_t>(top + y)];
        if (run.first <= left + width / 2 && left + width / 2 <= run.last) firstRow = y;
      }
      EXPECT_EQ(firstRow, 0);
    }
  }
}

TEST(ShapeView, IsOutlinedOnePixelWideOnAllFourSidesWithNoBlendedPixels) {
  const QColor fill(128, 128, 128);
  const QColor outline(0, 0, 0);
  for (const ShapeCase& c : kShapes) {
    SCOPED_TRACE(c.what);
    const QImage picture = Painted(c, fill, outline);
    const int w = c.size.width();
    const int h = c.size.height();
    const int side = std::min(w, h);
    const int left = c.kind == ShapeKind::Circle ? (w - side) / 2 : 0;
    const int top = c.kind == ShapeKind::Circle ? (h - side) / 2 : 0;
    const int right = c.kind == ShapeKind::Circle ? left + side - 1 : w - 1;
    const int bottom = c.kind == ShapeKind::Circle ? top + side - 1 : h - 1;
    const int midX = (left + right) / 2;
    const int midY = (top + bottom) / 2;
    // Outline on the edges, fill one pixel in, through the middle each way.
    EXPECT_EQ(picture.pixelColor(left, midY), outline);
    EXPECT_EQ(picture.pixelColor(left + 1, midY), fill);
    EXPECT_EQ(picture.pixelColor(right, midY), outline);
    EXPECT_EQ(picture.pixelColor(right - 1, midY), fill);
    EXPECT_EQ(picture.pixelColor(midX, top), outline);
    EXPECT_EQ(picture.pixelColor(midX, top + 1), fill);
    EXPECT_EQ(picture.pixelColor(midX, bottom), outline);
    EXPECT_EQ(picture.pixelColor(midX, bottom - 1), fill);
    // No antialiasing: every pixel is the background, the fill or the outline.
    std::set<QRgb> colours;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) colours.insert(picture.pixelColor(x, y).rgb());
    colours.erase(QColor(Qt::blue).rgb());
    EXPECT_EQ(colours, (std::set<QRgb>{fill.rgb(), outline.rgb()}));
    // Every fill pixel has shape pixels on all four sides: the outline is
    // closed, and one pixel wide (no fill pixel lies on the outside).
    for (int y = 1; y < h - 1; ++y)
      for (int x = 1; x < w - 1; ++x) {
        if (picture.pixelColor(x, y) != fill) continue;
        for (const QPoint n :
             {QPoint(x - 1, y), QPoint(x + 1, y), QPoint(x, y - 1), QPoint(x, y + 1)})
          ASSERT_NE(picture.pixelColor(n), QColor(Qt::blue)) << "fill at " << x << "," << y;
      }
  }
}

// A lamp blinks between two colours, a fault turns a device red and back,
// and the desktop's text colour may change: whatever the shape drew before,
// each paint shows the fill, outline and size of now.
TEST(ShapeView, EachPaintShowsTheFillOutlineAndSizeOfNow) {
  QWidget parent;
  parent.resize(100, 100);
  auto* shape = new ShapeView(ShapeKind::Circle, &parent);
  shape->setGeometry(0, 0, 65, 65);
  struct Step {
    QColor fill;
    QColor outline;
    int side;
  };
  const Step steps[] = {
      {Qt::yellow, Qt::black, 65}, {Qt::gray, Qt::black, 65},  {Qt::yellow, Qt::black, 65},
      {Qt::gray, Qt::black, 65},   {Qt::gray, Qt::white, 65},  {Qt::yellow, Qt::white, 65},
      {Qt::yellow, Qt::white, 81}, {Qt::gray, Qt::black, 81},  {Qt::red, Qt::black, 64},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.fill.name().toStdString() + " in " + step.outline.name().toStdString() + ", side " +
                 std::to_string(step.side));
    testing::SetPlainBackground(parent, Qt::blue, step.outline);
    shape->setFill(step.fill);
    shape->resize(step.side, step.side);
    const QImage picture = parent.grab().toImage();
    const int middle = step.side / 2;
    EXPECT_EQ(picture.pixelColor(middle, middle), step.fill);
    EXPECT_EQ(picture.pixelColor(0, middle), step.outline);
    EXPECT_EQ(picture.pixelColor(step.side - 1, middle), step.outline);
    EXPECT_EQ(picture.pixelColor(step.side, middle), QColor(Qt::blue)) << "drawn beyond its box";
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::blue)) << "the corner hides the picture";
  }
}

// A lamp draws its own caption: in every colour it blinks, and after its
// text changes, it looks exactly like the lamp with a transparent label on it.
TEST(ShapeView, ALampsCaptionLooksAsALabelOnTheLampWould) {
  const QRect lampBox(0, 0, 73, 25);
  const QRect captionBox(23, 6, 27, 13);
  const auto picture = [&](const QColor& fill, const QString& caption, bool asLabel) {
    QWidget parent;
    parent.resize(lampBox.size());
    auto* lamp = new ShapeView(ShapeKind::Rectangle, &parent);
    lamp->setGeometry(lampBox);
    lamp->setFill(fill);
    if (asLabel) {
      auto* label = new QLabel(caption, &parent);
      label->setGeometry(captionBox);
      label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    } else {
      lamp->setCaption(QStringLiteral("old"), captionBox, parent.font(), Qt::AlignHCenter | Qt::AlignTop);
      (void)parent.grab();  // drawn once with another text
      lamp->setCaption(caption, captionBox, parent.font(), Qt::AlignHCenter | Qt::AlignTop);
    }
    return parent.grab().toImage();
  };
  for (const QColor& fill : {QColor(Qt::lightGray), QColor(Qt::yellow), QColor(Qt::green)}) {
    for (const QString& caption : {QStringLiteral("Send"), QStringLiteral("Receive")}) {
      SCOPED_TRACE((caption + " on " + fill.name()).toStdString());
      EXPECT_EQ(picture(fill, caption, false), picture(fill, caption, true));
    }
  }
}

}  // namespace
}  // namespace halvorn::shell
