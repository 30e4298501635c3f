#pragma once

#include "store/reportstore.h"

#include <QString>

namespace worvane
{

// Creates a new database file holding the three tables, and with demo set a handful of projects.
// Refuses a path where anything already exists; a failed creation leaves nothing behind. A postgresql://
// URI sets up the team database instead (an existing, empty or already set-up database): the tables,
// the two group roles worvane_user and worvane_lead, and the policies that keep each person's days
// their own. Running it again changes nothing.
Outcome CreateDatabase(const QString &path, bool demo);

} // namespace worvane
