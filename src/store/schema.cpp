#include "store/schema.h"

#include "common/clock.h"
#include "store/connection.h"

#include <QFile>
#include <QFileInfo>

namespace worvane
{

namespace
{
// Codes and names carry NOCASE so that the indexes serve the case-blind comparisons of every statement.
// DF_WKCONT has exactly these five columns in this order: items are inserted without naming columns.
const char *const schemaStatements[] = {
    "CREATE TABLE DM_PRJMST (PJCODE TEXT COLLATE NOCASE, PJNAME TEXT COLLATE NOCASE, "
    "ENTYMD TEXT, UPDYMD TEXT)",
    "CREATE UNIQUE INDEX DM_PRJMST_PJCODE ON DM_PRJMST (PJCODE)",
    "CREATE TABLE DF_WKTIME (PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, WSTIME TEXT, WETIME TEXT, "
    "ENTYMD TEXT, UPDYMD TEXT)",
    "CREATE UNIQUE INDEX DF_WKTIME_DAY ON DF_WKTIME (PJCODE, WKYMD)",
    "CREATE TABLE DF_WKCONT (PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, WKCODE TEXT, WKHEAD TEXT, DETAIL TEXT)",
    "CREATE INDEX DF_WKCONT_DAY ON DF_WKCONT (PJCODE, WKYMD)",
    DateIndexStatement,
};

struct DemoProject {
    const char *code;
    const char *name;
};
const DemoProject demoProjects[] = {
    {"A0012345", "ワーベーン開発"},
    {"A0012346", "販売管理システム保守"},
    {"B0000001", "社内ネットワーク更改"},
    {"C1000010", "顧客サポート"},
    {"Z9999999", "社内業務"},
};

Outcome createTables(Connection &db, bool demo)
{
    if (!db.open() || !db.begin())
        return Outcome{false, db.error()};
    for (const char *sql : schemaStatements) {
        if (!db.exec(QString::fromUtf8(sql)))
            return Outcome{false, db.error()};
    }
    if (demo) {
        const QString timestamp = Clock::timestamp();
        for (const DemoProject &project : demoProjects) {
            if (!db.exec(QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES (?, ?, ?)"),
                         {QString::fromUtf8(project.code), QString::fromUtf8(project.name), timestamp}))
                return Outcome{false, db.error()};
        }
    }
    if (!db.commit())
        return Outcome{false, db.error()};
    return {};
}
} // namespace

Outcome CreateDatabase(const QString &path, bool demo)
{
    if (path.isEmpty())
        return Outcome{false, QStringLiteral("no path given")};
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return Outcome{false, QStringLiteral("%1 already exists; it is left as it is").arg(path)};

    // Claim the name first, so that a file made meanwhile by someone else is never touched.
    QFile claim(path);
    if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Outcome{false, QStringLiteral("cannot create %1: %2").arg(path, claim.errorString())};
    claim.close();

    Outcome outcome;
    {
        Connection db(path, ReportStore::DefaultBusyTimeoutMs);
        outcome = createTables(db, demo);
    }
    if (!outcome.ok) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
    }
    return outcome;
}

} // namespace worvane
