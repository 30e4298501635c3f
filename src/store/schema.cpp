#include "store/schema.h"

#include "core/clock.h"
#include "store/connection.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

NewDatabaseFile::NewDatabaseFile(QString path) : m_path(std::move(path))
{
    const QFileInfo info(m_path);
    m_part = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".worvane-part");
}

NewDatabaseFile::~NewDatabaseFile()
{
    if (!m_published)
        discard();
    if (m_lock >= 0)
        ::close(m_lock);
}

void NewDatabaseFile::discard()
{
    if (m_lock < 0)
        return;
    QFile::remove(m_part + QStringLiteral("-journal"));
    QFile::remove(m_part);
}

Outcome NewDatabaseFile::create(bool demo)
{
    if (m_path.isEmpty())
        return Outcome{false, QStringLiteral("no path given")};
    const QFileInfo info(m_path);
    if (info.exists() || info.isSymLink())
        return Outcome{false, QStringLiteral("%1 already exists; it is left as it is").arg(m_path)};
    // The part is locked while it is made: one left by a killed run is taken over, one being made is not.
    m_lock = ::open(QFile::encodeName(m_part).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (m_lock < 0)
        return Outcome{false, QStringLiteral("cannot create %1: %2").arg(m_part, QString::fromLocal8Bit(std::strerror(errno)))};
    if (::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lock);
        m_lock = -1;
        return Outcome{false, QStringLiteral("%1 is being made by another program").arg(m_path)};
    }
    QFile::remove(m_part + QStringLiteral("-journal")); // a killed run's: never played into the new file
    if (::ftruncate(m_lock, 0) != 0)
        return Outcome{false, QStringLiteral("cannot empty %1").arg(m_part)};
    Connection db(m_part, ReportStore::DefaultBusyTimeoutMs);
    return createTables(db, demo);
}

Outcome NewDatabaseFile::publish()
{
    // A link never replaces what is there: a file made at the path meanwhile is left as it is.
    if (::link(QFile::encodeName(m_part).constData(), QFile::encodeName(m_path).constData()) != 0)
        return Outcome{false, QStringLiteral("cannot create %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)))};
    m_published = true;
    QFile::remove(m_part);
    return {};
}

Outcome CreateDatabase(const QString &path, bool demo)
{
    if (IsServerUri(path))
        return createServerSchema(path, demo);
    NewDatabaseFile file(path);
    if (Outcome made = file.create(demo); !made.ok)
        return made;
    return file.publish();
}

} // namespace worvane
