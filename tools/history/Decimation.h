// Reducing a series to what a chart can show: per pixel column the lowest
// and highest valid reading, and what kept the other readings from being
// values (below or over range, a fault, no data). The line of a chart
// breaks wherever a column has no valid reading.
#pragma once

#include <limits>
#include <vector>

#include "SessionData.h"

namespace halvorn::history {

struct Column {
  double min = std::numeric_limits<double>::quiet_NaN();  // of the valid readings
  double max = std::numeric_limits<double>::quiet_NaN();
  double belowBound = std::numeric_limits<double>::quiet_NaN();  // lowest bound of a reading below range
  // What the line through the band goes through: the mean weighted by time
  // where the column was folded from summaries, the last valid reading
  // where from raw rows.
  double line = std::numeric_limits<double>::quiet_NaN();
  bool below = false;
  bool over = false;
  bool fault = false;
  bool noData = false;
  bool hasValue() const { return min == min; }
};

// Splits [from, to) into `columns` equal columns. Each column sees the state
// in force at its start and every row inside it; nothing is known before the
// first row or after `end`, so those columns stay empty.
std::vector<Column> Decimate(const std::vector<Sample>& samples, Nanoseconds from, Nanoseconds to, int columns,
                             Nanoseconds end);

struct TrendPoint {
  Nanoseconds t = 0;
  double value = 0.0;
};

// A column's band (its lowest and highest value) and the line's value, at
// the column's middle.
struct BandPoint {
  Nanoseconds t = 0;
  double min = 0.0;
  double max = 0.0;
  double line = 0.0;
};

// What a chart draws for one series: lines through the columns' lowest and
// highest readings, broken where a column has none, and marks at the middle
// of each column where readings were not values.
struct Trend {
  std::vector<std::vector<TrendPoint>> segments;
  // The same columns as bands with their line, one per column, broken alike.
  std::vector<std::vector<BandPoint>> bands;
  std::vector<TrendPoint> belowRange;  // at the range's bound (NaN where the caption gave none)
  std::vector<Nanoseconds> overRange;
  std::vector<Nanoseconds> faults;
  std::vector<Nanoseconds> noData;
};

Trend TrendOf(const std::vector<Column>& columns, Nanoseconds from, Nanoseconds to);

// The setpoints as step lines over [from, min(to, end)]: the setpoint in
// force at `from` (if any was sent before) and a vertical step at each new
// one; a line ends where a gap begins, and the next starts at the next
// setpoint sent.
using StepLines = std::vector<std::vector<TrendPoint>>;
StepLines SetpointSteps(const std::vector<Setpoint>& setpoints, Nanoseconds from, Nanoseconds to, Nanoseconds end);

}  // namespace halvorn::history
