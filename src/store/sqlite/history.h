#pragma once

// A file's history of its days: WKHISTORY, beside the three tables as the search index is, one row per save
// through this program holding what that save stored. It is made by the first save that needs it (a file
// nobody saves to, or cannot, never gets one) and is written in the save's own transaction, so that a day
// and its history are always both old or both new.
#include "core/values.h"
#include "store/sqlite/sqlitedb.h"

namespace worvane::sqlite
{

// Keeps the day as this save stores it; in the save's transaction.
bool RecordVersion(Database &db, const DaySave &day, const QString &savedAt);
// The day's versions, newest first; none where the file has no history yet.
bool ReadVersions(Database &db, const QString &code, const QString &date, QList<DayVersion> &versions);

} // namespace worvane::sqlite
