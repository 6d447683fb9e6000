#include "ShapeView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace halvorn::shell {

namespace {

// The run of a row `y` (pixel centre y + 0.5) of a disc of radius `radius`
// centred at (`radius`, `radius`) in pixel coordinates: the pixels whose
// centres lie inside it, as offsets from the disc's left edge.
PixelRun DiscRow(double radius, int y) {
  const double dy = y + 0.5 - radius;
  const double squared = radius * radius - dy * dy;
  if (squared < 0) return {1, 0};
  const double dx = std::sqrt(squared);
  const int first = static_cast<int>(std::ceil(radius - dx - 0.5));
  // Mirrored rather than computed, so that the two sides never differ by a
  // rounding.
  const int last = static_cast<int>(std::lround(2 * radius)) - 1 - first;
  return {first, last};
}

}  // namespace

std::vector<PixelRun> ShapeRows(ShapeKind kind, QSize size) {
  const int width = size.width();
  const int height = size.height();
  std::vector<PixelRun> rows(static_cast<std::size_t>(std::max(height, 0)), PixelRun{1, 0});
  if (width <= 0 || height <= 0) return rows;
  switch (kind) {
    case ShapeKind::Rectangle:
      std::fill(rows.begin(), rows.end(), PixelRun{0, width - 1});
      break;
    case ShapeKind::RoundedRectangle: {
      // Corners a sixth of the shorter side, each a quarter of a disc.
      const int radius = std::min(width, height) / 6;
      for (int y = 0; y < height; ++y) {
        const int fromEdge = std::min(y, height - 1 - y);
        const int inset = fromEdge < radius ? DiscRow(radius, fromEdge).first : 0;
        rows[static_cast<std::size_t>(y)] = {inset, width - 1 - inset};
      }
      break;
    }
    case ShapeKind::Circle: {
      const int side = std::min(width, height);
      const int left = (width - side) / 2;
      const int top = (height - side) / 2;
      for (int y = 0; y < side; ++y) {
        const int fromEdge = std::min(y, side - 1 - y);
        const PixelRun run = DiscRow(side / 2.0, fromEdge);
        rows[static_cast<std::size_t>(top + y)] = {left + run.first, left + run.last};
      }
      break;
    }
  }
  return rows;
}

ShapeView::ShapeView(ShapeKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // A rectangle covers its whole box: a lamp that blinks repaints itself
  // only, not the frame beneath it. Rounded corners and circles let the
  // picture show through.
  if (kind == ShapeKind::Rectangle) setAttribute(Qt::WA_OpaquePaintEvent);
}

void ShapeView::setFill(const QColor& fill) {
  if (fill == m_fill) return;
  m_fill = fill;
  update();
}

void ShapeView::setCaption(const QString& text, const QRect& box, const QFont& font,
                           Qt::Alignment alignment) {
  if (text == m_caption && box == m_captionBox && font == m_captionFont && alignment == m_captionAlignment)
    return;
  m_caption = text;
  m_captionBox = box;
  m_captionFont = font;
  m_captionAlignment = alignment;
  m_pictures.clear();
  update();
}

void ShapeView::paintEvent(QPaintEvent*) {
  const QColor outline = palette().color(QPalette::WindowText);
  // Drawn again for a new size or a screen of another pixel density.
  if (m_picturesSize != size() || m_picturesRatio != devicePixelRatioF()) {
    m_pictures.clear();
    m_picturesSize = size();
    m_picturesRatio = devicePixelRatioF();
  }
  auto picture = std::find_if(m_pictures.begin(), m_pictures.end(), [&](const Picture& p) {
    return p.fill == m_fill && p.outline == outline;
  });
  if (picture == m_pictures.end()) {
    // Bounded, whatever colours a model may bring.
    constexpr std::size_t kMostPictures = 8;
    if (m_pictures.size() == kMostPictures) m_pictures.erase(m_pictures.begin());
    picture = m_pictures.insert(m_pictures.end(), {m_fill, outline, render(outline)});
  }
  QPainter painter(this);
  painter.drawImage(0, 0, picture->image);
}

QImage ShapeView::render(const QColor& outline) const {
  // Transparent where the shape is not, so the picture shows through a
  // circle's corners; at the screen's pixel density and dots per inch, so
  // that a caption comes out as it would on the widget itself.
  const qreal ratio = devicePixelRatioF();
  QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  picture.setDevicePixelRatio(ratio);
  constexpr double kInchesPerMetre = 1 / 0.0254;
  picture.setDotsPerMeterX(qRound(logicalDpiX() * kInchesPerMetre));
  picture.setDotsPerMeterY(qRound(logicalDpiY() * kInchesPerMetre));
  picture.fill(Qt::transparent);
  const std::vector<PixelRun> rows = ShapeRows(m_kind, size());
  QPainter painter(&picture);
  const auto row = [&](int y) {
    return y >= 0 && y < height() ? rows[static_cast<std::size_t>(y)] : PixelRun{1, 0};
  };
  for (int y = 0; y < height(); ++y) {
    const PixelRun run = row(y);
    if (run.first > run.last) continue;
    painter.fillRect(QRect(QPoint(run.first, y), QPoint(run.last, y)), m_fill);
    // A pixel of the shape is on its outline when a pixel beside it, above
    // or below lies outside the shape: the row's two ends, and whatever part
    // of the row reaches beyond the row above or the row below.
    painter.fillRect(QRect(run.first, y, 1, 1), outline);
    painter.fillRect(QRect(run.last, y, 1, 1), outline);
    for (const PixelRun next : {row(y - 1), row(y + 1)}) {
      if (next.first > next.last) {
        painter.fillRect(QRect(QPoint(run.first, y), QPoint(run.last, y)), outline);
        continue;
      }
      if (next.first > run.first)
        painter.fillRect(QRect(QPoint(run.first, y), QPoint(std::min(run.last, next.first - 1), y)),
                         outline);
      if (next.last < run.last)
        painter.fillRect(QRect(QPoint(std::max(run.first, next.last + 1), y), QPoint(run.last, y)),
                         outline);
    }
  }
  if (!m_caption.isEmpty()) {
    // In the text colour, which is the outline's.
    painter.setFont(m_captionFont);
    painter.setPen(outline);
    painter.drawText(m_captionBox, static_cast<int>(m_captionAlignment), m_caption);
  }
  return picture;
}

}  // namespace halvorn::shell
