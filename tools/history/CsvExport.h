// The readings of a time range as CSV for a spreadsheet: one row at each
// moment a gauge or flow reading arrived, columns `time` (ISO 8601, local),
// `G1`..`G8` in mBar and `MFC1`..`MFC4` in percent. A cell holds the reading
// in force at that moment when it was a valid value, and is empty otherwise
// (below or over range, a fault, no data, nothing yet, or lost by the record
// in a gap): a gap is never filled with the reading before it.
#pragma once

#include <ostream>

#include "SessionData.h"

namespace halvorn::history {

// Writes the header and the rows of [from, to] (session clock).
void WriteCsv(std::ostream& out, const SessionData& data, Nanoseconds from, Nanoseconds to);

}  // namespace halvorn::history
