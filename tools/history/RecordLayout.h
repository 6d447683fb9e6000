// The tables the viewer reads, as a record's layout has them. Checked in
// `sqlite_schema` before any row is read: each must be a real table (not a
// view, nor a virtual table whose rows some module makes up) with every
// column the viewer asks for stored in it (not computed). Tables, columns
// and indexes that the viewer does not read are left alone, so that a later
// layout can add its own.
#pragma once

#include <string>

#include "record/Database.h"

namespace halvorn::history {

// Throws record::DatabaseError ("FILE is not a Halvorn record: ...") at
// the first table that is missing or is not as the layout has it.
void CheckRecordLayout(record::Database& db, const std::string& path);

}  // namespace halvorn::history
