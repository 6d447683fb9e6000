#include "TrendChart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPainterPath>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <memory>

namespace halvorn::history {

// The traces and their marks, painted straight into the chart's scene: one
// path per channel with a break wherever the trend has one, which a series
// of Qt Charts cannot draw (it skips a NaN point and joins its neighbours).
class TrendChart::Traces : public QGraphicsItem {
 public:
  explicit Traces(TrendChart& chart) : m_chart(chart) { setZValue(10); }

  QRectF boundingRect() const override { return m_chart.plotArea(); }
  void plotMoved() { prepareGeometryChange(); }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    const QRectF plot = m_chart.plotArea();
    painter->setClipRect(plot);
    painter->setRenderHint(QPainter::Antialiasing, true);
    const TimeNavigator& nav = m_chart.m_navigator;
    for (int c = 0; c < m_chart.channelCount(); ++c) {
      if (!m_chart.isShown(c)) continue;
      const TrendChannel& channel = m_chart.m_channels[static_cast<std::size_t>(c)];
      const Trend& trend = m_chart.m_trends[static_cast<std::size_t>(c)];
      // The band between the lowest and highest value of each column, and
      // the line through it.
      QPainterPath band;
      QPainterPath line;
      std::size_t points = 0;
      for (const auto& segment : trend.bands) {
        points += segment.size();
        const auto at = [&](Nanoseconds t, double value) {
          return QPointF(nav.xOf(t), m_chart.yOf(value * channel.scale));
        };
        line.moveTo(at(segment.front().t, segment.front().line));
        // A lone column still shows as a dot.
        if (segment.size() == 1) line.lineTo(at(segment.front().t, segment.front().line) + QPointF(1, 0));
        for (const BandPoint& p : segment) line.lineTo(at(p.t, p.line));
        bool wide = false;
        for (const BandPoint& p : segment) wide = wide || p.max != p.min;
        if (!wide) continue;
        band.moveTo(at(segment.front().t, segment.front().max));
        for (const BandPoint& p : segment) band.lineTo(at(p.t, p.max));
        for (auto p = segment.rbegin(); p != segment.rend(); ++p) band.lineTo(at(p->t, p->min));
        band.closeSubpath();
      }
      if (!band.isEmpty()) {
        QColor fill = channel.colour;
        fill.setAlpha(70);
        // Filled only: stroking the outline of a year's band (thousands of
        // steep edges) costs the raster engine more than the whole picture.
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawPath(band);
        painter->setBrush(Qt::NoBrush);
      }
      // A hairline where the columns are crowded: the wide pen's stroker
      // costs more than all the rest of a whole day's drawing.
      QPen linePen(channel.colour, points > plot.width() / 2 ? 1.0 : 1.6);
      // A cosmetic hairline is drawn without the stroker.
      linePen.setCosmetic(linePen.widthF() <= 1.0);
      painter->setPen(linePen);
      painter->drawPath(line);
      QPainterPath stepPath;
      std::size_t steps = 0;
      for (const auto& stepLine : m_chart.m_steps[static_cast<std::size_t>(c)]) {
        steps += stepLine.size();
        stepPath.moveTo(nav.xOf(stepLine.front().t), m_chart.yOf(stepLine.front().value * channel.scale));
        for (const TrendPoint& p : stepLine) stepPath.lineTo(nav.xOf(p.t), m_chart.yOf(p.value * channel.scale));
      }
      if (!stepPath.isEmpty()) {
        // Dashes are cut along the whole path by the stroker: a year of
        // daily setpoints is metres of it. Crowded steps are a pale
        // hairline instead, which says the same at that scale.
        QPen stepPen(channel.colour, 1.2, Qt::DashLine);
        if (steps > plot.width() / 4) {
          QColor pale = channel.colour;
          pale.setAlpha(110);
          stepPen = QPen(pale, 1.0);
          stepPen.setCosmetic(true);
        }
        painter->setPen(stepPen);
        painter->drawPath(stepPath);
      }
      paintMarks(painter, plot, c, channel.colour, trend);
    }
    const Nanoseconds cursor = m_chart.m_axis.cursor();
    if (cursor != TimeAxis::kNoCursor) {
      painter->setRenderHint(QPainter::Antialiasing, false);
      painter->setPen(QPen(QColor(40, 40, 40), 1, Qt::DotLine));
      const double x = nav.xOf(cursor);
      painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
  }

 private:
  void paintMarks(QPainter* painter, const QRectF& plot, int c, const QColor& colour, const Trend& trend) {
    const TimeNavigator& nav = m_chart.m_navigator;
    painter->setRenderHint(QPainter::Antialiasing, false);
    // Each mark a filled 2 x 3 px dash: a year has a mark in every column,
    // and a wide pen's line goes through the stroker, a rectangle does not.
    const auto dash = [&](double x, double y, const QColor& fill) {
      painter->fillRect(QRectF(x - 1, y - 1.5, 2, 3), fill);
    };
    // Below range: a dash at the bound, in the channel's colour.
    for (const TrendPoint& p : trend.belowRange)
      dash(nav.xOf(p.t), std::isnan(p.value) ? plot.bottom() - 2 : m_chart.yOf(p.value), colour);
    for (const Nanoseconds t : trend.overRange) dash(nav.xOf(t), plot.top() + 2, colour);
    // Faults and no data: one row per channel along the bottom.
    const double row = plot.bottom() - 3 - 4 * c;
    for (const Nanoseconds t : trend.faults) dash(nav.xOf(t), row, QColor(255, 0, 0));
    for (const Nanoseconds t : trend.noData) dash(nav.xOf(t), row, QColor(150, 150, 150));
  }

  TrendChart& m_chart;
};

TrendChart::TrendChart(TimeAxis& axis, bool logarithmic, const QString& title, QWidget* parent)
    : QChartView(parent), m_axis(axis), m_logarithmic(logarithmic), m_navigator(axis, this, [this] {
        const QRectF plot = plotArea();
        const QPointF left = mapFromScene(plot.topLeft());
        const QPointF right = mapFromScene(plot.topRight());
        return std::pair<double, double>(left.x(), right.x());
      }) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->setMargins(QMargins(4, 4, 4, 4));
  m_timeAxis = new QDateTimeAxis;
  m_timeAxis->setFormat("hh:mm:ss");
  m_timeAxis->setTickCount(7);
  chart->addAxis(m_timeAxis, Qt::AlignBottom);
  if (logarithmic) {
    auto* log = new QLogValueAxis;
    log->setBase(10);
    log->setLabelFormat("%.0e");
    m_valueAxis = log;
  } else {
    auto* linear = new QValueAxis;
    linear->setLabelFormat("%g");
    m_valueAxis = linear;
  }
  chart->addAxis(m_valueAxis, Qt::AlignLeft);
  // The view owns the chart given; the one it made for itself it only lets
  // go of, so it goes here.
  std::unique_ptr<QChart> made(this->chart());
  setChart(chart);
  setRenderHint(QPainter::Antialiasing);
  setMouseTracking(true);
  setDragMode(QGraphicsView::NoDrag);
  m_traces = new Traces(*this);
  chart->scene()->addItem(m_traces);
  // Queued: redrawing sets the axes' ranges, and doing that inside the
  // chart's own layout leaves the chart at a stale size.
  connect(
      chart, &QChart::plotAreaChanged, this,
      [this] {
        m_traces->plotMoved();
        redraw();
        emit plotAreaChanged();
      },
      Qt::QueuedConnection);
  connect(&m_axis, &TimeAxis::cursorChanged, this, [this] { m_traces->update(); });
}

TrendChart::~TrendChart() = default;

QRectF TrendChart::plotArea() const { return chart()->plotArea(); }

void TrendChart::setChannels(std::vector<TrendChannel> channels) {
  // Adding a series makes the chart lay itself out and redraw: no channel
  // is in use until its legend entry exists.
  m_channels.clear();
  m_trends.clear();
  m_steps.clear();
  for (QLineSeries* s : m_legend) {
    chart()->removeSeries(s);
    delete s;
  }
  m_legend.clear();
  for (std::size_t c = 0; c < channels.size(); ++c) {
    // An empty series gives the channel its legend entry; the traces are
    // painted by Traces.
    auto* series = new QLineSeries;
    series->setName(channels[c].name);
    series->setColor(channels[c].colour);
    chart()->addSeries(series);
    series->attachAxis(m_timeAxis);
    series->attachAxis(m_valueAxis);
    m_legend.push_back(series);
    QLegendMarker* marker = chart()->legend()->markers(series).value(0);
    connect(marker, &QLegendMarker::clicked, this,
            [this, c] { setShown(static_cast<int>(c), !isShown(static_cast<int>(c))); });
  }
  m_trends.assign(channels.size(), Trend{});
  m_steps.assign(channels.size(), {});
  m_channels = std::move(channels);
  redraw();
}

bool TrendChart::isShown(int channel) const { return m_legend[static_cast<std::size_t>(channel)]->isVisible(); }

void TrendChart::setShown(int channel, bool shown) {
  QLineSeries* series = m_legend[static_cast<std::size_t>(channel)];
  series->setVisible(shown);
  // A hidden series keeps its legend entry, dimmed, so it can be shown again.
  QLegendMarker* marker = chart()->legend()->markers(series).value(0);
  marker->setVisible(true);
  QBrush label = marker->labelBrush();
  QColor colour = label.color();
  colour.setAlphaF(shown ? 1.0 : 0.35);
  label.setColor(colour);
  marker->setLabelBrush(label);
  redraw();
}

void TrendChart::setScale(int channel, double scale) { m_channels[static_cast<std::size_t>(channel)].scale = scale; }

void TrendChart::setUnit(const QString& unit) { m_valueAxis->setTitleText(unit); }

void TrendChart::setEnd(Nanoseconds end) { m_end = end; }

void TrendChart::setRangeData(std::shared_ptr<const RangeData> range) {
  m_range = std::move(range);
  redraw();
}

Detail TrendChart::detailOf(int channel) const {
  const int read = m_channels[static_cast<std::size_t>(channel)].channel;
  return m_range && read >= 0 ? m_range->channels[static_cast<std::size_t>(read)].detail : Detail::Raw;
}

int TrendChart::columns() const { return std::max(1, static_cast<int>(plotArea().width())); }

void TrendChart::redraw() {
  // Setting the axes' ranges lays the chart out again, which reports a new
  // plot area, which asks for a redraw: once is enough.
  if (m_redrawing) return;
  m_redrawing = true;
  const QRectF plot = plotArea();
  const int columns = std::max(1, static_cast<int>(plot.width()));
  const Nanoseconds from = m_axis.from();
  const Nanoseconds to = m_axis.to();
  for (std::size_t c = 0; c < m_channels.size(); ++c) {
    const TrendChannel& channel = m_channels[c];
    if (m_range && channel.channel >= 0 && channel.channel < kChannelCount) {
      const auto& read = m_range->channels[static_cast<std::size_t>(channel.channel)].buckets;
      m_trends[c] = TrendOf(BandColumns(read, from, to, columns, std::min(m_end, m_range->to)), from, to);
    } else {
      m_trends[c] = channel.samples ? TrendOf(Decimate(*channel.samples, from, to, columns, m_end), from, to) : Trend{};
    }
    m_steps[c] = channel.setpoints ? SetpointSteps(*channel.setpoints, from, to, m_end) : StepLines{};
  }
  const qint64 startMs = m_axis.startWallNs() / 1'000'000;
  m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(startMs + from / 1'000'000),
                       QDateTime::fromMSecsSinceEpoch(startMs + to / 1'000'000));
  const bool dates = m_axis.showsDates();
  m_timeAxis->setFormat(to - from > 120 * kNanosecondsPerSecond ? (dates ? "MM-dd hh:mm" : "hh:mm:ss")
                                                                : (dates ? "MM-dd hh:mm:ss.z" : "hh:mm:ss.z"));
  fitValueAxis();
  m_traces->update();
  m_redrawing = false;
}

void TrendChart::fitValueAxis() {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (std::size_t c = 0; c < m_channels.size(); ++c) {
    if (!isShown(static_cast<int>(c))) continue;
    const double scale = m_channels[c].scale;
    for (const auto& segment : m_trends[c].bands)
      for (const BandPoint& p : segment) {
        low = std::min(low, p.min * scale);
        high = std::max(high, p.max * scale);
      }
    for (const TrendPoint& p : m_trends[c].belowRange)
      if (!std::isnan(p.value)) low = std::min(low, p.value * scale);
    for (const auto& steps : m_steps[c])
      for (const TrendPoint& p : steps) high = std::max(high, p.value * scale);
  }
  if (m_logarithmic) {
    if (!(low > 0) || !(high >= low)) {
      low = 1e-5;
      high = 1e3;
    }
    // Whole decades, with a decade below the lowest for the fault rows.
    m_yMin = std::pow(10.0, std::floor(std::log10(low)) - 1);
    m_yMax = std::pow(10.0, std::ceil(std::log10(high * 1.01)));
  } else {
    auto* linear = static_cast<QValueAxis*>(m_valueAxis);
    linear->setRange(0.0, std::max(high * 1.05, 1.0));
    linear->applyNiceNumbers();
    m_yMin = linear->min();
    m_yMax = linear->max();
    return;
  }
  m_logMin = std::log10(m_yMin);
  m_logSpan = std::log10(m_yMax) - m_logMin;
  m_valueAxis->setRange(m_yMin, m_yMax);
}

double TrendChart::yOf(double value) const {
  const QRectF plot = plotArea();
  double fraction = 0.0;
  if (m_logarithmic) {
    fraction = value > 0 ? (std::log10(value) - m_logMin) / m_logSpan : -1.0;
  } else {
    fraction = (value - m_yMin) / (m_yMax - m_yMin);
  }
  return plot.bottom() - fraction * plot.height();
}

// Every chart gets the same plot edges, so that one time lies at one x in
// all of them and on the timeline.
void TrendChart::resizeEvent(QResizeEvent* event) {
  // A fixed plot area also fixes the chart's background and legend where
  // they were: let the chart lay itself out for the new size first.
  chart()->setPlotArea(QRectF());
  QChartView::resizeEvent(event);
  const QSize size = event->size();
  constexpr double kLeft = 82, kRight = 96, kTop = 30, kBottom = 34;
  chart()->setPlotArea(QRectF(kLeft, kTop, std::max(10.0, size.width() - kLeft - kRight),
                              std::max(10.0, size.height() - kTop - kBottom)));
}

void TrendChart::wheelEvent(QWheelEvent* event) { m_navigator.wheel(event); }
// Outside the plot (the legend) the chart's own handling applies.
void TrendChart::mousePressEvent(QMouseEvent* event) {
  if (plotArea().contains(mapToScene(event->position().toPoint()))) {
    m_navigator.press(event);
  } else {
    QChartView::mousePressEvent(event);
  }
}
void TrendChart::mouseMoveEvent(QMouseEvent* event) { m_navigator.move(event); }
void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
  m_navigator.release(event);
  QChartView::mouseReleaseEvent(event);
}
void TrendChart::leaveEvent(QEvent*) { m_navigator.leave(); }

}  // namespace halvorn::history
