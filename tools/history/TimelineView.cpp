#include "TimelineView.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "Colours.h"
#include "StateMarks.h"

namespace halvorn::history {

namespace {
constexpr int kBandHeight = 14;
constexpr int kBandGap = 2;
constexpr int kTop = 4;
// Between the device bands and the alarm rows.
constexpr int kAlarmGap = 8;
// Points beyond the eighth share the last row.
constexpr int kAlarmRows = 8;

int BandsHeight() { return static_cast<int>(kTimelineDevices.size()) * (kBandHeight + kBandGap); }

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString PriorityName(AlarmPriority priority) {
  switch (priority) {
    case AlarmPriority::High: return "high";
    case AlarmPriority::Medium: return "medium";
    case AlarmPriority::Low: return "low";
    case AlarmPriority::Other: break;
  }
  return "unknown";
}
}  // namespace

QColor PriorityColour(AlarmPriority priority) {
  switch (priority) {
    case AlarmPriority::High: return QColor(0xd7, 0x19, 0x1c);
    case AlarmPriority::Medium: return QColor(0xfd, 0x8d, 0x3c);
    case AlarmPriority::Low: return QColor(0xf2, 0xd3, 0x1b);
    case AlarmPriority::Other: break;
  }
  return QColor(0x99, 0x99, 0x99);
}

QColor StoredColour(std::uint32_t colour, const QPalette& palette) {
  // The panel's no-data grey is its palette's disabled text; on a white band
  // that is too faint, so it is drawn a shade darker.
  QColor c = shell::ToQColor(colour, palette, palette);
  if (colour == colours::SystemGrayText) c = c.darker(115);
  return c;
}

TimelineView::TimelineView(TimeAxis& axis, QWidget* parent)
    : QWidget(parent), m_axis(axis), m_navigator(axis, this, [this] { return std::pair(m_left, m_right); }) {
  setMouseTracking(true);
  setMinimumHeight(sizeHint().height());
  connect(&m_axis, &TimeAxis::rangeChanged, this, qOverload<>(&QWidget::update));
  connect(&m_axis, &TimeAxis::cursorChanged, this, qOverload<>(&QWidget::update));
}

QSize TimelineView::sizeHint() const {
  const int alarms = m_rowNames.empty() ? 0 : kAlarmGap + alarmRowCount() * (kBandHeight + kBandGap);
  return QSize(800, kTop * 2 + BandsHeight() + alarms);
}

void TimelineView::setData(const SessionData* session) {
  m_data = session;
  const std::size_t rowsBefore = m_rowNames.size();
  m_spans = session ? AlarmSpans(session->alarms, session->end()) : std::vector<AlarmSpan>{};
  // A row per point in the order of its first alarm.
  std::vector<std::string> points;
  m_spanRows.clear();
  for (const AlarmSpan& span : m_spans) {
    auto found = std::find(points.begin(), points.end(), span.point);
    if (found == points.end()) found = points.insert(points.end(), span.point);
    m_spanRows.push_back(std::min(static_cast<int>(found - points.begin()), kAlarmRows - 1));
  }
  m_rowNames.clear();
  for (std::size_t i = 0; i < points.size() && i < kAlarmRows; ++i) m_rowNames.push_back(Text(points[i]));
  if (points.size() > kAlarmRows) m_rowNames.back() = QString("+%1 more").arg(points.size() - kAlarmRows + 1);
  if (m_rowNames.size() != rowsBefore) {
    setMinimumHeight(sizeHint().height());
    updateGeometry();
  }
  update();
}

QRect TimelineView::alarmRect(int row) const {
  return QRect(static_cast<int>(m_left), kTop + BandsHeight() + kAlarmGap + row * (kBandHeight + kBandGap),
               static_cast<int>(m_right - m_left), kBandHeight);
}

QRect TimelineView::spanRect(std::size_t span) const {
  const AlarmSpan& a = m_spans[span];
  if (a.end < m_axis.from() || a.raised > m_axis.to()) return {};
  const QRect row = alarmRect(m_spanRows[span]);
  const int x0 = static_cast<int>(std::floor(std::max(m_navigator.xOf(std::max(a.raised, m_axis.from())), m_left)));
  const int x1 = static_cast<int>(std::floor(std::min(m_navigator.xOf(std::min(a.end, m_axis.to())), m_right)));
  // An alarm shorter than a pixel is still a pixel.
  return QRect(x0, row.top() + 2, std::max(x1 - x0 + 1, 2), row.height() - 4);
}

void TimelineView::setPlotEdges(double left, double right) {
  m_left = left;
  m_right = right;
  update();
}

QRect TimelineView::bandRect(int band) const {
  return QRect(static_cast<int>(m_left), kTop + band * (kBandHeight + kBandGap), static_cast<int>(m_right - m_left),
               kBandHeight);
}

QColor TimelineView::colourAt(int band, Nanoseconds t) const {
  if (!m_data) return {};
  const DeviceState* s = StateAt(m_data->devices[static_cast<std::size_t>(band)], t);
  if (!s || !s->colour) return {};
  return StoredColour(*s->colour, palette());
}

void TimelineView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  const Nanoseconds from = m_axis.from();
  const Nanoseconds to = m_axis.to();
  for (int band = 0; band < static_cast<int>(kTimelineDevices.size()); ++band) {
    const QRect row = bandRect(band);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(0, row.top(), static_cast<int>(m_left) - 6, row.height()), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromUtf8(kTimelineDevices[static_cast<std::size_t>(band)].data(),
                                       static_cast<int>(kTimelineDevices[static_cast<std::size_t>(band)].size())));
    painter.fillRect(row, palette().color(QPalette::AlternateBase));
    if (!m_data) continue;
    const auto& states = m_data->devices[static_cast<std::size_t>(band)];
    const Nanoseconds end = m_data->end();
    // From the state in force at the left edge to the last one before the
    // right edge; a stretch narrower than a pixel is still a pixel.
    auto first = std::upper_bound(states.begin(), states.end(), from,
                                  [](Nanoseconds time, const DeviceState& s) { return time < s.t; });
    if (first != states.begin()) --first;
    // A device that changes faster than the screen can show paints each
    // pixel column once, with the state that begins there first.
    int painted = std::numeric_limits<int>::min();
    for (auto it = first; it != states.end() && it->t <= to; ++it) {
      const Nanoseconds until = std::next(it) == states.end() ? end : std::next(it)->t;
      if (!it->colour || until < from) continue;
      const int x0 =
          std::max(static_cast<int>(std::floor(std::max(m_navigator.xOf(std::max(it->t, from)), m_left))), painted + 1);
      const int x1 = static_cast<int>(std::floor(std::min(m_navigator.xOf(std::min(until, to)), m_right)));
      if (x1 < x0) continue;  // inside a column already painted
      painter.fillRect(QRect(x0, row.top(), x1 - x0 + 1, row.height()), StoredColour(*it->colour, palette()));
      painted = x1;
    }
    // Changes crowded into one column: a dark notch along the band's top
    // (the tooltip gives their count).
    for (const MergedChanges& m : MergedChangesOf(states, from, to, std::max(1, static_cast<int>(m_right - m_left))))
      painter.fillRect(QRect(static_cast<int>(m_left) + m.column, row.top(), 1, 4), QColor(20, 20, 20));
  }
  if (m_data) {
    // The operator's commands: a dark triangle on the device's band.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 20));
    auto first = std::lower_bound(m_data->commands.begin(), m_data->commands.end(), from,
                                  [](const Command& c, Nanoseconds time) { return c.t < time; });
    for (auto it = first; it != m_data->commands.end() && it->t <= to; ++it) {
      const int band = TimelineIndex(it->device);
      if (band < 0) continue;
      const QRect row = bandRect(band);
      const double x = m_navigator.xOf(it->t);
      QPainterPath mark;
      mark.moveTo(x - 5, row.top());
      mark.lineTo(x + 5, row.top());
      mark.lineTo(x, row.bottom() + 1);
      mark.closeSubpath();
      painter.drawPath(mark);
    }
  }
  if (!m_rowNames.empty()) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int row = 0; row < alarmRowCount(); ++row) {
      const QRect r = alarmRect(row);
      painter.setPen(palette().color(QPalette::Text));
      // A long point name is cut at its front ("…GAUGES"), where the
      // ANSWERS- points are alike; the tooltip has it whole.
      const QRect label(0, r.top(), static_cast<int>(m_left) - 6, r.height());
      painter.drawText(
          label, Qt::AlignRight | Qt::AlignVCenter,
          fontMetrics().elidedText(m_rowNames[static_cast<std::size_t>(row)], Qt::ElideLeft, label.width()));
      painter.fillRect(r, palette().color(QPalette::AlternateBase));
    }
    for (std::size_t i = 0; i < m_spans.size(); ++i) {
      const QRect bar = spanRect(i);
      if (bar.isEmpty()) continue;
      const AlarmSpan& span = m_spans[i];
      // Returned but not yet acknowledged (or cleared): paler than
      // where the condition stood.
      const QColor colour = PriorityColour(span.priority);
      painter.fillRect(bar, QColor((colour.red() + 255) / 2, (colour.green() + 255) / 2, (colour.blue() + 255) / 2));
      for (const auto& [began, returned] : span.active) {
        if (returned < m_axis.from() || began > m_axis.to()) continue;
        const int x0 =
            std::max(static_cast<int>(std::floor(m_navigator.xOf(std::max(began, m_axis.from())))), bar.left());
        const int x1 =
            std::min(static_cast<int>(std::floor(m_navigator.xOf(std::min(returned, m_axis.to())))), bar.right());
        painter.fillRect(QRect(x0, bar.top(), std::max(x1 - x0 + 1, 2), bar.height()), colour);
      }
      // Still standing at the record's end: an open right edge.
      if (!span.cleared)
        painter.fillRect(QRect(bar.right() - 1, bar.top() - 2, 2, bar.height() + 4), QColor(20, 20, 20));
      if (span.acknowledged && *span.acknowledged >= m_axis.from() && *span.acknowledged <= m_axis.to()) {
        const int x = static_cast<int>(m_navigator.xOf(*span.acknowledged));
        painter.fillRect(QRect(x - 1, bar.top() - 2, 3, bar.height() + 4), QColor(20, 20, 20));
      }
    }
  }
  const Nanoseconds cursor = m_axis.cursor();
  if (cursor != TimeAxis::kNoCursor) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(40, 40, 40), 1, Qt::DotLine));
    const double x = m_navigator.xOf(cursor);
    painter.drawLine(QPointF(x, 0), QPointF(x, height()));
  }
}

QString TimelineView::tipAt(QPoint at) const {
  if (!m_data) return {};
  // The alarm rows: the latest alarm under the pointer, within a few pixels.
  for (std::size_t i = m_spans.size(); i-- > 0;) {
    if (!spanRect(i).adjusted(-3, -2, 3, 2).contains(at)) continue;
    const AlarmSpan& a = m_spans[i];
    QString tip = QString("%1, %2 priority: %3\nraised %4")
                      .arg(Text(a.point), PriorityName(a.priority), Text(a.text), m_axis.clockText(a.raised));
    if (a.acknowledged) tip += ", acknowledged " + m_axis.clockText(*a.acknowledged);
    tip += a.cleared ? ", cleared " + m_axis.clockText(a.end) : QString(", not cleared by the end of the record");
    return tip;
  }
  int band = -1;
  for (int b = 0; b < static_cast<int>(kTimelineDevices.size()); ++b)
    if (bandRect(b).adjusted(0, -1, 0, 1).contains(at)) band = b;
  if (band < 0) return {};
  const Nanoseconds t = m_navigator.timeAt(at.x());
  const Nanoseconds slack = m_navigator.timeAt(at.x() + 5) - t;
  const std::string_view device = kTimelineDevices[static_cast<std::size_t>(band)];
  const QString name = QString::fromUtf8(device.data(), static_cast<qsizetype>(device.size()));
  for (const Command& c : m_data->commands) {
    if (c.device == device && c.t >= t - slack && c.t <= t + slack)
      return QString("%1 at %2 by the operator: %3")
          .arg(name, m_axis.clockText(c.t), QString::fromStdString(c.argument));
  }
  // Changes merged into the column under the pointer (or one beside it).
  const int columns = std::max(1, static_cast<int>(m_right - m_left));
  const int column = static_cast<int>(std::floor(at.x() - m_left));
  for (const MergedChanges& m :
       MergedChangesOf(m_data->devices[static_cast<std::size_t>(band)], m_axis.from(), m_axis.to(), columns)) {
    if (std::abs(m.column - column) > 1) continue;
    const DeviceState* last = StateAt(m_data->devices[static_cast<std::size_t>(band)], m.last);
    return QString("%1: %2 changes from %3 to %4, then %5")
        .arg(name)
        .arg(m.count)
        .arg(m_axis.clockText(m.first), m_axis.clockText(m.last),
             last ? QString::fromStdString(last->text) : QString("no data"));
  }
  const DeviceState* s = StateAt(m_data->devices[static_cast<std::size_t>(band)], t);
  if (!s) return name;
  return QString("%1 %2 since %3")
      .arg(name,
           s->quality == record::Quality::NoData ? QString("no data (%1)").arg(QString::fromStdString(s->text))
                                                 : QString::fromStdString(s->text),
           m_axis.clockText(s->t));
}

bool TimelineView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = tipAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      // A record's texts are plain text: markup in one ("<img src=...>",
      // "<font color=green>") is shown as typed, never followed.
      // On one line, as a plain tooltip is.
      QToolTip::showText(help->globalPos(), "<p style='white-space:pre'>" + tip.toHtmlEscaped() + "</p>", this);
    }
    return true;
  }
  return QWidget::event(event);
}

void TimelineView::wheelEvent(QWheelEvent* event) { m_navigator.wheel(event); }
void TimelineView::mousePressEvent(QMouseEvent* event) { m_navigator.press(event); }
void TimelineView::mouseMoveEvent(QMouseEvent* event) { m_navigator.move(event); }
void TimelineView::mouseReleaseEvent(QMouseEvent* event) { m_navigator.release(event); }
void TimelineView::leaveEvent(QEvent*) { m_navigator.leave(); }

}  // namespace halvorn::history
