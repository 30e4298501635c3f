#pragma once

#include "store/reportstore.h"

#include <QString>

// Moving one person's reports between a single-user file and the team database.

namespace worvane
{

struct CopyReport : Outcome {
    int projectsAdded = 0; // projects the destination did not have (codes compared without ASCII case)
    int projectsKept = 0;  // projects it had already: left as they are
    int days = 0;          // working-time rows copied
    int items = 0;         // work items copied
};

// Copies from a file into the team database (every day, as the days of `person`, or of the URI's person
// when empty), or from the team database into a new file (the days of `person`, or of the URI's person).
// The project master is merged by code. Everything is written in one transaction on the destination and
// the counts written are checked against the counts read: on any failure nothing is written (a new file
// is removed again). A day the destination already holds for that person fails the copy.
CopyReport CopyReports(const QString &source, const QString &destination, const QString &person = {});

} // namespace worvane
