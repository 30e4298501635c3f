#pragma once

#include "store/results.h"

#include <QString>

namespace worvane::sqlite
{

// A new database file made under a part name beside its path (".NAME.worvane-part", locked while it is
// made), filled, then put in place whole: a run killed half way leaves no file at the path, and the next
// run takes the part over.
class NewDatabaseFile
{
public:
    explicit NewDatabaseFile(QString path);
    ~NewDatabaseFile(); // removes the part unless it was put in place
    NewDatabaseFile(const NewDatabaseFile &) = delete;
    NewDatabaseFile &operator=(const NewDatabaseFile &) = delete;

    // Refuses a path where anything exists, then makes the part with the three tables (and the demo
    // projects when asked).
    Outcome create(bool demo);
    // Where to fill it before it is put in place.
    const QString &partPath() const { return m_part; }
    // Puts the part in place under the path; never over a file made there meanwhile.
    Outcome publish();

private:
    QString m_path;
    QString m_part;
    int m_lock = -1;
    bool m_published = false;
};

// Creates a new database file holding the three tables, and with demo set a handful of projects. Refuses
// a path where anything already exists; a failed or killed creation leaves nothing at the path.
Outcome CreateDatabaseFile(const QString &path, bool demo);

// Compacts the database file in place with SQLite's VACUUM: the file keeps its inode, any symbolic link to
// it and its journal mode, so that another program's open connection stays valid; the rewrite goes
// through the journal, so a crash part-way is rolled back on the next open. Only a file that opens as a
// database holding the three tables is touched. Fails, leaving the file as it was, when another program is
// writing (past the wait), when the file or its folder is read-only, and when a file of the temporary name
// is there (that file is left alone).
Outcome CompactDatabaseFile(const QString &path, const QString &temporaryPath, int waitMs);

// The temporary name of the compaction at exit: the database path followed by "TEMP.mdb".
QString CompactionTemporaryPath(const QString &databasePath);

} // namespace worvane::sqlite
