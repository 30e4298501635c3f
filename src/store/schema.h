#pragma once

#include "store/reportstore.h"

#include <QString>

namespace worvane
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
    void discard();
    QString m_path;
    QString m_part;
    int m_lock = -1;
    bool m_published = false;
};

// Creates a new database file holding the three tables, and with demo set a handful of projects.
// Refuses a path where anything already exists; a failed or killed creation leaves nothing at the path. A postgresql://
// URI sets up the team database instead (an existing, empty or already set-up database): the tables,
// the two group roles worvane_user and worvane_lead, and the policies that keep each person's days
// their own. Running it again changes nothing.
Outcome CreateDatabase(const QString &path, bool demo);

} // namespace worvane
