// Which of a record's three resolutions a chart reads for the range it
// shows, and how what it read becomes one band per pixel column.
//
// A record keeps every reading (raw), and per gauge and flow a summary row
// per minute and per hour (lowest, highest, mean weighted by time, last).
// A chart never needs more than about two values per pixel column: a day on
// 1500 columns is 1440 minute rows, not half a million readings. The finest
// resolution that stays within that is read; raw readings only where the
// record still keeps them (retention removes old ones and leaves their
// summaries).
//
// Whatever was read becomes buckets: a stretch of time and what the reading
// did in it. A raw reading is a bucket from its row to the device's next
// row; a summary row is a bucket over its minute or hour. Buckets are then
// folded into pixel columns, each with its lowest and highest value (the
// band, so that a spike is never averaged away) and a line value (the mean
// weighted by time).
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "Decimation.h"
#include "SessionData.h"

namespace halvorn::history {

enum class Detail : std::uint8_t { Raw, Minute, Hour };

[[nodiscard]] std::string_view DetailName(Detail detail);
// The length of a summary interval: a minute or an hour; 0 for raw.
[[nodiscard]] Nanoseconds PeriodOf(Detail detail);

// The most values a read may give per pixel column.
constexpr int kValuesPerColumn = 2;

// What a record has for one channel over [from, to).
struct Holdings {
  std::int64_t rawRows = 0;  // rows in the range, or any number above the bound once counting stopped
  Nanoseconds rawFrom = 0;   // raw readings are kept from here on
};

// The finest resolution that gives at most kValuesPerColumn values per
// column over [from, to): raw when the record keeps raw readings over all
// of it and they are few enough, else minute rows, else hour rows. Where
// raw readings are gone, minute rows are the finest there is.
[[nodiscard]] Detail ChooseDetail(Nanoseconds from, Nanoseconds to, int columns, const Holdings& holdings);

// How far counting raw rows must go to decide: one past the most a range of
// `columns` columns may read raw.
[[nodiscard]] std::int64_t RawRowsBound(int columns);

// A stretch [t, end) of one channel and what its reading did there.
struct Bucket {
  Nanoseconds t = 0;
  Nanoseconds end = 0;
  double min = std::numeric_limits<double>::quiet_NaN();  // of the valid readings
  double max = std::numeric_limits<double>::quiet_NaN();
  double mean = std::numeric_limits<double>::quiet_NaN();  // weighted by time; the value for a raw reading
  double last = std::numeric_limits<double>::quiet_NaN();
  double belowBound = std::numeric_limits<double>::quiet_NaN();  // the range's bound where it was below
  bool below = false;
  bool over = false;
  bool fault = false;
  bool noData = false;
  [[nodiscard]] bool hasValue() const { return min == min; }
};

// One bucket per sample: each holds until the next sample (a gap row ends
// the one before and starts nothing), the last until `end`.
[[nodiscard]] std::vector<Bucket> BucketsOf(const std::vector<Sample>& samples, Nanoseconds end);

// The bucket that holds at `t`, or nullptr where nothing is known.
[[nodiscard]] const Bucket* BucketAt(const std::vector<Bucket>& buckets, Nanoseconds t);

// Folds buckets (in time order) into `columns` equal columns of [from, to):
// every bucket that overlaps a column counts for its band, flags and line
// (the mean of the overlapping buckets, weighted by the overlap). Nothing
// after `end` is known.
[[nodiscard]] std::vector<Column> BandColumns(const std::vector<Bucket>& buckets, Nanoseconds from, Nanoseconds to,
                                              int columns, Nanoseconds end);

}  // namespace halvorn::history
