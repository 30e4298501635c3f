// worvane-newdb PATH [--demo] | --upgrade URI: creates a new, empty Worvane database file, or sets up (or
// upgrades) a team database.
#include "store/open/openstore.h"

#include <QCoreApplication>
#include <QTextStream>

namespace
{
void usage(QTextStream &err)
{
    err << "usage: worvane-newdb PATH [--demo]\n"
           "       worvane-newdb --upgrade URI\n"
           "       worvane-newdb --help | --version\n"
           "  Creates a new database file at PATH with the tables DM_PRJMST, DF_WKTIME and DF_WKCONT.\n"
           "  --demo  adds a few example projects.\n"
           "  An existing PATH is never touched.\n"
           "  PATH may be a postgresql://[user@]host[:port]/dbname URI instead: the team database is set up in\n"
           "  that existing database (tables, row-level security, the roles worvane_user and worvane_lead);\n"
           "  running it again changes nothing but the yearly partitions of the day tables (this year's and\n"
           "  the next are made, and days of other years waiting in the default partition get their own).\n"
           "  Run it once a year, before the new year, to keep the default partition empty.\n"
           "  --upgrade  partitions by year the day tables of a team database set up by an earlier version,\n"
           "             its days copied and counted, in one transaction (all or nothing).\n";
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString path;
    bool demo = false;
    bool upgrade = false;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (const QString &arg : args) {
        if (arg == QLatin1String("--demo")) {
            demo = true;
        } else if (arg == QLatin1String("--upgrade")) {
            upgrade = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            usage(out);
            return 0;
        } else if (arg == QLatin1String("--version")) {
            out << "worvane-newdb " << WORVANE_VERSION << "\n";
            return 0;
        } else if (arg.startsWith(QLatin1String("--")) || !path.isEmpty()) {
            err << "worvane-newdb: unexpected argument: " << arg << "\n";
            usage(err);
            return 2;
        } else {
            path = arg;
        }
    }
    if (path.isEmpty()) {
        usage(err);
        return 2;
    }

    const worvane::Result<QString> made = worvane::CreateDatabase(path, demo, upgrade);
    if (!made.ok()) {
        err << "worvane-newdb: " << made.error->text << "\n";
        return 1;
    }
    out << made.value << (demo ? " with demo projects" : "") << "\n";
    return 0;
}
