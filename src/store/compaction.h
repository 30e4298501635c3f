#pragma once

#include "store/reportstore.h"

#include <QString>

namespace worvane
{

// Compacts the database file in place with SQLite's VACUUM: the file keeps its inode, any symbolic link
// to it and its journal mode, so that another program's open connection stays valid; the rewrite goes
// through the journal, so a crash part-way is rolled back on the next open. Only a file that opens as a
// database holding the three tables is touched. Fails, leaving the file as it was, when another program
// is writing (past the busy timeout), when the file or its folder is read-only, and when a file of the
// temporary name is there (that file is left alone).
Outcome CompactDatabase(const QString &path, const QString &temporaryPath,
                        int busyTimeoutMs = ReportStore::DefaultBusyTimeoutMs);

} // namespace worvane
