#pragma once

#include <QString>

// The full-text search index's objects in a database file, beside the three tables: its tables (an FTS5
// table over each item's search form, the items it holds, a log of changed days, its state) and the
// triggers on the two day tables that fill the log, whoever writes.
//
// The index never stops a write to the three tables. Its triggers exist only together with the tables
// they write, made with them in one transaction; an index that is not whole (a table or trigger dropped or
// changed by another program, an earlier version's) is removed, triggers first, before the program does
// anything else with the file, and built anew when next asked for. Names held by another program's
// objects are left to it, and the file then has no index.

namespace worvane::sqlite
{

class Database;

enum class IndexShape {
    Absent,  // nothing of the index is there
    Whole,   // every object as this version makes it
    Damaged, // ours, but not whole, or an earlier version's: removed
    Foreign, // another program's object holds one of its names: the file cannot keep an index
};

// What the file holds of the index.
IndexShape InspectSearchIndex(Database &db);

// Removes every object of the index that is ours, triggers first, in one transaction. False when that
// could not be done.
bool RemoveSearchIndex(Database &db);

// Run when a file is opened and whenever its schema has changed since: an index that is not whole is
// removed, so that no trigger writes to a table that is not there. A file that cannot be written is left
// as it is.
void GuardSearchIndex(Database &db);

// Makes the index's tables and triggers in one transaction, on a file without any of them. False when that
// could not be done (nothing is left behind).
bool CreateSearchIndex(Database &db);

// The statement that makes the trigger number `which` (0 to 5) of the index.
QString SearchTriggerStatement(int which);
inline constexpr int SearchTriggerCount = 6;

} // namespace worvane::sqlite
