#pragma once

#include "store/reportstore.h"

#include <QString>
#include <functional>

namespace worvane
{

// Compacts the database file: VACUUM INTO the temporary name, then the compacted copy replaces the
// database file in one atomic rename. While it runs, a write lock on the database keeps every other
// writer out, so that nothing written meanwhile can be lost with the old file. On any failure the
// database file is left as it was and no file of this run is left behind; a temporary file that was
// already there makes the compaction fail and is left alone.
Outcome CompactDatabase(const QString &path, const QString &temporaryPath,
                        int busyTimeoutMs = ReportStore::DefaultBusyTimeoutMs);

// The steps of a compaction, for tests that make one of them fail.
enum class CompactionStep { Lock, Vacuum, Sync, Replace };
using CompactionFault = std::function<bool(CompactionStep)>; // true: fail this step
void SetCompactionFault(CompactionFault fault);

} // namespace worvane
