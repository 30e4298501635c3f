#pragma once

#include "store/store.h"

#include <QString>

#include <memory>

// Which engine a path names, and the few things done with a path rather than a store: a new database,
// and moving one person's reports between two.

namespace worvane
{

// True for a postgresql:// (or postgres://) URI: the team database on a server.
bool IsServerUri(const QString &path);

// The store of the database the path names: a file, or the team database on a server. Nothing is opened
// until the first operation.
std::unique_ptr<Store> OpenStore(const QString &path, int waitMs = Store::DefaultWaitMs);

// Creates a new database file holding the three tables (refusing a path where anything exists; a failed or
// killed creation leaves nothing there), or sets up the team database a URI names (running it again
// changes nothing); with demo a handful of projects. What was done comes back in words: "created PATH", or
// "set up HOST:PORT/DB".
Result<QString> CreateDatabase(const QString &path, bool demo, bool upgrade = false);

// Copies from a file into the team database (every day, as the days of `person`, or of the URI's login
// when empty), or from the team database into a new file (the days of `person`, or of the login). The
// project master is merged by code. Everything is written in one transaction on the destination and the
// counts written are checked against the counts read: on any failure nothing is written (a new file is
// made whole or not at all). A day the destination already holds for that person fails the copy.
Result<CopyCounts> CopyReports(const QString &source, const QString &destination, const QString &person = {});

} // namespace worvane
