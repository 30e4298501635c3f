#pragma once

#include "store/results.h"

#include <QString>

namespace worvane::postgres
{

// Sets up the team database at the URI (an existing database, empty or already set up): the tables, the
// group roles worvane_user and worvane_lead, the policies that keep each person's days their own, and the
// search body with its trigram index; with demo a handful of projects. Running it again changes nothing.
Outcome SetUpServer(const QString &uri, bool demo);

} // namespace worvane::postgres
