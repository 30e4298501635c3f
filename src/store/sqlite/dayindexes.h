#pragma once

// The indexes the program's statements need beside the three tables: the days by date, a day's working
// time and its items by code and date, and the project master by code. A statement compares codes without
// regard to ASCII case (COLLATE NOCASE), which only an index whose code column takes the same comparison
// serves; a file made elsewhere may declare its columns without it, or hold an index of another program
// under the name the program would give. So each index is looked for by its columns and their
// comparisons, never by its name, and one that is missing is added under the program's name, or under a
// numbered one where that name is taken.

namespace worvane::sqlite
{

class Database;

// Adds the indexes a writable file lacks. A file that cannot take them is still read, only more slowly.
void EnsureDayIndexes(Database &db);

} // namespace worvane::sqlite
