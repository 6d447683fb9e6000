// The readings of a time range as CSV for a spreadsheet: one row at each
// moment a gauge or flow reading arrived, columns `time` (ISO 8601, local),
// `G1`..`G8` in mBar and `MFC1`..`MFC4` in percent. A cell holds the reading
// in force at that moment when it was a valid value, and is empty otherwise
// (below or over range, a fault, no data, nothing yet, or lost by the record
// in a gap): a gap is never filled with the reading before it.
#pragma once

#include <ostream>

#include "DetailLevel.h"
#include "RecordReader.h"
#include "SessionData.h"

namespace halvorn::history {

// Writes the header and the rows of [from, to] (session clock).
void WriteCsv(std::ostream& out, const SessionData& data, Nanoseconds from, Nanoseconds to);

// The record's summaries of [from, to] at `detail` (Minute or Hour) as
// CSV: one row per interval that overlaps the range, `time` its start,
// then per gauge and flow its lowest, mean (weighted by time) and highest
// valid reading, the columns named with the resolution: `G1 min 1m`,
// `G1 mean 1m`, `G1 max 1m`, ... An empty cell had no valid reading; an
// interval the session's end cuts is the part up to the end. Read a
// thousand intervals at a time, so that a year of minutes never sits in
// memory at once.
void WriteSummaryCsv(std::ostream& out, RecordReader& reader, const Session& session, Detail detail, Nanoseconds from,
                     Nanoseconds to);

}  // namespace halvorn::history
