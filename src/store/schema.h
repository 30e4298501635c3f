#pragma once

#include "store/reportstore.h"

#include <QString>

namespace worvane
{

// Creates a new database file holding the three tables, and with demo set a handful of projects.
// Refuses a path where anything already exists; a failed creation leaves nothing behind.
Outcome CreateDatabase(const QString &path, bool demo);

} // namespace worvane
