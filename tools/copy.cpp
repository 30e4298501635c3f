// worvane-copy SOURCE DEST [--user NAME]: one person's reports from a file into the team database, or
// from the team database into a new file.
#include "store/open/openstore.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace worvane;

namespace
{
const char *const Usage =
    "usage: worvane-copy SOURCE DEST [--user NAME]\n"
    "  Copies every day of the database file SOURCE into the team database DEST (postgresql://...) as the\n"
    "  days of NAME (else DEST's user), or the days of NAME (else SOURCE's user) from the team database\n"
    "  SOURCE into the new file DEST. Projects are merged by code. The row counts are checked; on any\n"
    "  failure nothing is written.\n"
    "  Exit status: 0 done, 1 failed (the reason on standard error), 2 bad arguments.\n";
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList places;
    QString user;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << Usage;
            return 0;
        }
        if (arg == QLatin1String("--version")) {
            out << "worvane-copy " << WORVANE_VERSION << "\n";
            return 0;
        }
        if (arg == QLatin1String("--user") && i + 1 < args.size())
            user = args.at(++i);
        else if (!arg.startsWith(QLatin1String("--")))
            places << arg;
        else {
            err << "worvane-copy: unexpected argument: " << arg << "\n" << Usage;
            return 2;
        }
    }
    if (places.size() != 2) {
        err << Usage;
        return 2;
    }
    // Another person's days are a lead's to read: a member naming someone else is told so, rather than
    // given an empty copy (the server would show them nothing).
    if (!user.isEmpty())
        for (const QString &place : places) {
            const Result<TeamPeople> team = OpenStore(place)->teamPeople();
            if (!team.ok()) {
                err << "worvane-copy: nothing was copied: " << team.error->text << "\n";
                return 1;
            }
            if (!team.value.self.isEmpty() && !team.value.lead && team.value.self != user) {
                err << "worvane-copy: --user " << user
                    << ": only a lead (a member of worvane_lead) reaches other people's days\n";
                return 2;
            }
        }
    const Result<CopyCounts> copied = CopyReports(places[0], places[1], user);
    if (!copied.ok()) {
        err << "worvane-copy: nothing was copied: " << copied.error->text << "\n";
        return 1;
    }
    const CopyCounts &report = copied.value;
    out << "projects: " << report.projectsAdded << " added, " << report.projectsKept << " already there\n"
        << "days: " << report.days << "\nitems: " << report.items << "\n";
    return 0;
}
