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
    "CREATE INDEX DF_WKTIME_YMD ON DF_WKTIME (WKYMD)",
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

// The demo projects, with the insert the engine takes (on a server, one that a second set-up leaves be).
bool insertDemoProjects(Connection &db, const QString &insert)
{
    const QString timestamp = Clock::timestamp();
    for (const DemoProject &project : demoProjects)
        if (!db.exec(insert, {QString::fromUtf8(project.code), QString::fromUtf8(project.name), timestamp}))
            return false;
    return true;
}

Outcome createTables(Connection &db, bool demo)
{
    if (!db.open() || !db.begin())
        return Outcome{false, db.error()};
    for (const char *sql : schemaStatements) {
        if (!db.exec(QString::fromUtf8(sql)))
            return Outcome{false, db.error()};
    }
    if (demo && !insertDemoProjects(db, QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES (?, ?, ?)")))
        return Outcome{false, db.error()};
    if (!db.commit())
        return Outcome{false, db.error()};
    return {};
}
} // namespace

namespace
{
// The team database: the same three tables (names unquoted, so that psql and hand-written SQL use the
// file's names), each with a row number ROWNO in place of SQLite's rowid and the code folded to lower
// case (PJKEY, kept by the server) for the comparisons that ignore case, and the day tables with the
// person (WKUSER, the login role) whose day it is. Row-level security keeps each person to their own
// days, whatever SQL they type: members of worvane_user read and write their own, members of
// worvane_lead read everyone's too. The project master is shared. Every statement may run again.
const char *const serverStatements[] = {
    // Roles belong to the whole cluster: a set-up of another database at the same moment may make them
    // first, which is as good.
    R"(DO $$ BEGIN
         BEGIN
           CREATE ROLE worvane_user NOLOGIN;
         EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
         END;
         BEGIN
           CREATE ROLE worvane_lead NOLOGIN IN ROLE worvane_user;
         EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
         END;
       END $$)",
    "CREATE TABLE IF NOT EXISTS DM_PRJMST (PJCODE text, PJNAME text, ENTYMD text, UPDYMD text, "
    "ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, PJKEY text GENERATED ALWAYS AS (lower(PJCODE)) STORED)",
    "CREATE UNIQUE INDEX IF NOT EXISTS DM_PRJMST_PJCODE ON DM_PRJMST (PJKEY)",
    "CREATE TABLE IF NOT EXISTS DF_WKTIME (PJCODE text, WKYMD text, WSTIME text, WETIME text, ENTYMD text, "
    "UPDYMD text, WKUSER text NOT NULL DEFAULT current_user, "
    "ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, PJKEY text GENERATED ALWAYS AS (lower(PJCODE)) STORED)",
    "CREATE UNIQUE INDEX IF NOT EXISTS DF_WKTIME_DAY ON DF_WKTIME (WKUSER, PJKEY, WKYMD)",
    "CREATE INDEX IF NOT EXISTS DF_WKTIME_YMD ON DF_WKTIME (WKYMD)",
    "CREATE TABLE IF NOT EXISTS DF_WKCONT (PJCODE text, WKYMD text, WKCODE text, WKHEAD text, DETAIL text, "
    "WKUSER text NOT NULL DEFAULT current_user, ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
    "PJKEY text GENERATED ALWAYS AS (lower(PJCODE)) STORED)",
    "CREATE INDEX IF NOT EXISTS DF_WKCONT_DAY ON DF_WKCONT (PJKEY, WKYMD, WKUSER)",
    "GRANT SELECT, INSERT, UPDATE, DELETE ON DM_PRJMST, DF_WKTIME, DF_WKCONT TO worvane_user",
    R"(DO $$ DECLARE t text; BEGIN
         FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
           EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
           EXECUTE format('ALTER TABLE %I FORCE ROW LEVEL SECURITY', t);
           IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'own_days') THEN
             EXECUTE format('CREATE POLICY own_days ON %I TO worvane_user '
                            'USING (WKUSER = current_user) WITH CHECK (WKUSER = current_user)', t);
           END IF;
           IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'lead_reads') THEN
             EXECUTE format('CREATE POLICY lead_reads ON %I FOR SELECT TO worvane_lead '
                            'USING (current_setting(''worvane.people'', true) = ''all'')', t);
           END IF;
         END LOOP;
       END $$)",
};

Outcome createServerSchema(const QString &uri, bool demo)
{
    Connection db(uri, ReportStore::DefaultBusyTimeoutMs);
    if (!db.open() || !db.begin())
        return Outcome{false, db.error()};
    for (const char *sql : serverStatements)
        if (!db.exec(QString::fromUtf8(sql)))
            return Outcome{false, db.error()};
    if (demo && !insertDemoProjects(db, QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES "
                                                       "(?, ?, ?) ON CONFLICT DO NOTHING")))
        return Outcome{false, db.error()};
    if (!db.commit())
        return Outcome{false, db.error()};
    return {};
}
} // namespace

Outcome CreateDatabase(const QString &path, bool demo)
{
    if (IsServerUri(path))
        return createServerSchema(path, demo);
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
