#pragma once

#include "store/results.h"

#include <QString>

namespace worvane::postgres
{

// Sets up the team database at the URI (an existing database, empty or already set up): the tables, the
// group roles worvane_user and worvane_lead, the policies that keep each person's days their own, and the
// search body with its trigram index, the day tables partitioned by year; with demo a handful of projects.
// Running it again changes nothing but the partitions (this year's and the next, and any year's days
// waiting in the default partition). With upgrade, a database set up before the day tables were
// partitioned gets them partitioned, its days copied and counted, in the set-up's one transaction.
Outcome SetUpServer(const QString &uri, bool demo, bool upgrade = false);

} // namespace worvane::postgres
