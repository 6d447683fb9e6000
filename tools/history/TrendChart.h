// A chart of readings over the shared time axis: pressures on a logarithmic
// axis, flows on a linear one. Per pixel column a band spans the lowest and
// highest reading, with a line through the mean (of summaries) or the last
// reading (of raw rows); both break where a reading was not a value; such
// gaps are marked: below range at the range's bound, over range
// at the top, faults in red and no data in grey along the bottom, one row per
// channel. Qt Charts draws the axes and the legend (a click on a legend entry
// shows or hides its channel).
#pragma once

#include <QChartView>
#include <QColor>
#include <QString>
#include <memory>
#include <vector>

#include "Decimation.h"
#include "RangeRead.h"
#include "TimeAxis.h"
#include "TimeNavigator.h"

class QDateTimeAxis;
class QLineSeries;
class QAbstractAxis;

namespace halvorn::history {

struct TrendChannel {
  QString name;
  QColor colour;
  int channel = -1;                                  // in the range read (RangeRead.h): G1..G8, MFC1..MFC4
  const std::vector<Sample>* samples = nullptr;      // where no range is read: every reading
  const std::vector<Setpoint>* setpoints = nullptr;  // drawn as dashed steps in the same colour
  double scale = 1.0;                                // multiplies every value (percent to sccm)
};

class TrendChart : public QChartView {
  Q_OBJECT

 public:
  TrendChart(TimeAxis& axis, bool logarithmic, const QString& title, QWidget* parent = nullptr);
  ~TrendChart() override;

  void setChannels(std::vector<TrendChannel> channels);
  void setScale(int channel, double scale);
  void setUnit(const QString& unit);
  // The end of what the record knows (nothing is drawn beyond it).
  void setEnd(Nanoseconds end);
  // What was read of the range around the one shown; it is drawn, at
  // whatever resolution it has, until a newer one comes.
  void setRangeData(std::shared_ptr<const RangeData> range);
  // The resolution channel `channel` is drawn at; raw without range data.
  [[nodiscard]] Detail detailOf(int channel) const;
  // The width of the plot in pixel columns, which a range is read for.
  [[nodiscard]] int columns() const;
  // Recomputes the trends of the visible range and draws them.
  void redraw();

  int channelCount() const { return static_cast<int>(m_channels.size()); }
  const Trend& trend(int channel) const { return m_trends[static_cast<std::size_t>(channel)]; }
  bool isShown(int channel) const;
  void setShown(int channel, bool shown);
  QLineSeries* legendSeries(int channel) const { return m_legend[static_cast<std::size_t>(channel)]; }
  double yMin() const { return m_yMin; }
  double yMax() const { return m_yMax; }
  QRectF plotArea() const;

  // Pixel x in this view of a time, and back.
  const TimeNavigator& navigator() const { return m_navigator; }

 signals:
  void plotAreaChanged();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Traces;
  friend class Traces;
  void fitValueAxis();
  double yOf(double value) const;  // scene y of a value

  TimeAxis& m_axis;
  bool m_logarithmic;
  TimeNavigator m_navigator;
  std::vector<TrendChannel> m_channels;
  std::vector<Trend> m_trends;
  std::vector<StepLines> m_steps;
  std::vector<QLineSeries*> m_legend;
  QDateTimeAxis* m_timeAxis = nullptr;
  QAbstractAxis* m_valueAxis = nullptr;
  Traces* m_traces = nullptr;
  std::shared_ptr<const RangeData> m_range;
  Nanoseconds m_end = 0;
  bool m_redrawing = false;
  double m_yMin = 1e-5;
  double m_yMax = 1e4;
  double m_logMin = -5;  // log10 of the axis' ends, for placing points
  double m_logSpan = 9;
};

}  // namespace halvorn::history
