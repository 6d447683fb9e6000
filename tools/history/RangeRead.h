// Reading the gauges and flows of one range of a session at the resolution
// its chart needs (see DetailLevel.h): never a whole session, only the range
// on screen and half its width on either side, so that a pan shows
// something at once. Memory is bounded by the columns, not by the record:
// raw rows are read only when they are few, and summaries that the record
// does not hold yet (an older record, the unfinished hour of a live one)
// are computed from its raw rows as they are read, keeping only the rows of
// the range.
#pragma once

#include <array>
#include <cstdint>

#include "DetailLevel.h"
#include "record/Database.h"

namespace halvorn::history {

// G1..G8, then MFC1..MFC4.
constexpr int kChannelCount = kGaugeCount + kFlowCount;

struct RangeRequest {
  std::int64_t session = 0;
  Nanoseconds from = 0;  // the range on screen
  Nanoseconds to = 0;
  int columns = 1;  // its width in pixel columns
};

struct ChannelRange {
  Detail detail = Detail::Raw;
  std::vector<Bucket> buckets;  // in time order, over the range read
};

struct RangeData {
  RangeRequest request;
  Nanoseconds from = 0;  // what was read: the request and half its width each side, within the session
  Nanoseconds to = 0;
  Nanoseconds end = 0;              // the session's end when it was read
  Nanoseconds summarisedUntil = 0;  // the record's summaries were complete up to here
  Nanoseconds rawFrom = 0;          // and its raw readings kept from here
  std::array<ChannelRange, kChannelCount> channels;
};

// Reads `request` from `db` (a record of layout `layout`, in a read
// transaction the caller holds).
[[nodiscard]] RangeData ReadRange(record::Database& db, std::int64_t layout, const RangeRequest& request);

// The summaries of [from, to) of each channel at its period in `periods`
// (a minute or an hour; 0: none wanted): the rows the record holds, and
// where its summaries end (an older record, the unfinished hour of a live
// one) rows computed from its raw readings, in a read transaction the
// caller holds. Intervals that `to` or the session's end cut come cut.
[[nodiscard]] std::array<std::vector<Bucket>, kChannelCount> SummaryBuckets(
    record::Database& db, std::int64_t layout, std::int64_t session,
    const std::array<Nanoseconds, kChannelCount>& periods, Nanoseconds from, Nanoseconds to);

// Every row of channel `c` in [from, to) and the one in force at `from`,
// with the record's gaps among them, as samples (see SessionData.h).
[[nodiscard]] std::vector<Sample> ReadSamples(record::Database& db, std::int64_t layout, std::int64_t session, int c,
                                              Nanoseconds from, Nanoseconds to);

// The time of the newest reading of any gauge or flow of `session`; 0 for none.
[[nodiscard]] Nanoseconds NewestReading(record::Database& db, std::int64_t session);

// The name of channel `c` in the record: "G1".."G8", "MFC1".."MFC4".
[[nodiscard]] std::string ChannelName(int c);

}  // namespace halvorn::history
