#include "store/sqlite/sqlitefile.h"

#include "core/clock.h"
#include "store/sqlite/sqlitedb.h"
#include "store/store.h"
#include "store/storerules.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace worvane::sqlite
{

namespace
{
// Codes and names carry NOCASE so that the indexes serve the case-blind comparisons of every statement.
// DF_WKCONT has exactly these five columns in this order: items are inserted without naming columns.
const char *const schemaStatements[] = {
    "CREATE TABLE DM_PRJMST (PJCODE TEXT COLLATE NOCASE, PJNAME TEXT COLLATE NOCASE, ENTYMD TEXT, UPDYMD TEXT)",
    "CREATE UNIQUE INDEX DM_PRJMST_PJCODE ON DM_PRJMST (PJCODE)",
    "CREATE TABLE DF_WKTIME (PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, WSTIME TEXT, WETIME TEXT, ENTYMD TEXT, "
    "UPDYMD TEXT)",
    "CREATE UNIQUE INDEX DF_WKTIME_DAY ON DF_WKTIME (PJCODE, WKYMD)",
    "CREATE TABLE DF_WKCONT (PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, WKCODE TEXT, WKHEAD TEXT, DETAIL TEXT)",
    "CREATE INDEX DF_WKCONT_DAY ON DF_WKCONT (PJCODE, WKYMD)",
    "CREATE INDEX DF_WKTIME_YMD ON DF_WKTIME (WKYMD)",
};

Outcome failed(const Database &db)
{
    return Outcome::failure(db.error());
}

Outcome failed(const QString &why)
{
    return Outcome::failure({StoreError::Kind::Other, why});
}

Outcome createTables(Database &db, bool demo)
{
    Operation op(db);
    if (!op.open() || !db.begin())
        return failed(db);
    for (const char *sql : schemaStatements)
        if (!db.run(QString::fromLatin1(sql)))
            return failed(db);
    const QString timestamp = Clock::timestamp();
    if (demo)
        for (const ProjectRow &project : DemoProjects())
            if (!db.run("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES (?, ?, ?)",
                        {project.code, project.name, timestamp}))
                return failed(db);
    if (!db.commit())
        return failed(db);
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
    if (!m_published && m_lock >= 0) {
        QFile::remove(m_part + QStringLiteral("-journal"));
        QFile::remove(m_part);
    }
    if (m_lock >= 0)
        ::close(m_lock);
}

Outcome NewDatabaseFile::create(bool demo)
{
    if (m_path.isEmpty())
        return failed(QStringLiteral("no path given"));
    const QFileInfo info(m_path);
    if (info.exists() || info.isSymLink())
        return failed(QStringLiteral("%1 already exists; it is left as it is").arg(m_path));
    // The part is locked while it is made: one left by a killed run is taken over, one being made is not.
    m_lock = ::open(QFile::encodeName(m_part).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (m_lock < 0)
        return failed(QStringLiteral("cannot create %1: %2").arg(m_part, QString::fromLocal8Bit(std::strerror(errno))));
    if (::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lock);
        m_lock = -1;
        return failed(QStringLiteral("%1 is being made by another program").arg(m_path));
    }
    QFile::remove(m_part + QStringLiteral("-journal")); // a killed run's: never played into the new file
    if (::ftruncate(m_lock, 0) != 0)
        return failed(QStringLiteral("cannot empty %1").arg(m_part));
    Database db(m_part, Store::DefaultWaitMs, Database::Open::Create);
    return createTables(db, demo);
}

Outcome NewDatabaseFile::publish()
{
    // A link never replaces what is there: a file made at the path meanwhile is left as it is.
    if (::link(QFile::encodeName(m_part).constData(), QFile::encodeName(m_path).constData()) != 0)
        return failed(QStringLiteral("cannot create %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
    m_published = true;
    QFile::remove(m_part);
    return {};
}

Outcome CreateDatabaseFile(const QString &path, bool demo)
{
    NewDatabaseFile file(path);
    if (Outcome made = file.create(demo); !made.ok())
        return made;
    return file.publish();
}

QString CompactionTemporaryPath(const QString &databasePath)
{
    return databasePath + QStringLiteral("TEMP.mdb");
}

Outcome CompactDatabaseFile(const QString &path, const QString &temporaryPath, int waitMs)
{
    const QFileInfo database(path);
    if (path.isEmpty() || !database.isFile())
        return failed(QStringLiteral("the database file is missing: %1").arg(path));
    if (const QString why = ReadOnlyReason(path); !why.isEmpty() || !database.isWritable())
        return Outcome::failure({StoreError::Kind::Refused,
                                 why.isEmpty() ? QStringLiteral("the database file is read-only: %1").arg(path) : why});
    if (QFileInfo::exists(temporaryPath) || QFileInfo(temporaryPath).isSymLink())
        return failed(QStringLiteral("a file of the temporary name is already there: %1").arg(temporaryPath));

    Database db(path, waitMs);
    Operation op(db);
    std::optional<QVariant> tables;
    if (!op.open() ||
        !db.first("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN ('DM_PRJMST', 'DF_WKTIME', "
                  "'DF_WKCONT') COLLATE NOCASE",
                  {}, tables))
        return failed(db);
    if (!tables || tables->toInt() != 3)
        return failed(QStringLiteral("not a report database (the three tables are missing): %1").arg(path));
    if (!db.run("VACUUM"))
        return failed(db);

    // In WAL mode the compacted pages are still in the log: move them into the file and let it shrink.
    // This does not wait: when another program's read keeps it from finishing, the log holds the pages
    // safely until a later checkpoint.
    std::optional<QVariant> journal;
    if (db.first("PRAGMA journal_mode", {}, journal) && journal &&
        journal->toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0 && db.run("PRAGMA busy_timeout = 0"))
        db.run("PRAGMA wal_checkpoint(TRUNCATE)");
    return {};
}

} // namespace worvane::sqlite
