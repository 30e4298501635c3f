#include "store/compaction.h"

#include "store/connection.h"

#include <QFileInfo>

namespace worvane
{

Outcome CompactDatabase(const QString &path, const QString &temporaryPath, int busyTimeoutMs)
{
    const QFileInfo database(path);
    if (path.isEmpty() || !database.isFile())
        return Outcome{false, QStringLiteral("the database file is missing: %1").arg(path)};
    if (const QString why = ReadOnlyReason(path); !why.isEmpty() || !database.isWritable())
        return Outcome{false,
                       why.isEmpty() ? QStringLiteral("the database file is read-only: %1").arg(path) : why};
    if (QFileInfo::exists(temporaryPath) || QFileInfo(temporaryPath).isSymLink())
        return Outcome{
            false, QStringLiteral("a file of the temporary name is already there: %1").arg(temporaryPath)};

    Connection db(path, busyTimeoutMs);
    std::optional<QVariant> tables;
    if (!db.open() ||
        !db.queryFirst(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                                      "('DM_PRJMST', 'DF_WKTIME', 'DF_WKCONT') COLLATE NOCASE"),
                       {}, tables))
        return Outcome{false, db.error()};
    if (!tables || tables->toInt() != 3)
        return Outcome{false,
                       QStringLiteral("not a report database (the three tables are missing): %1").arg(path)};
    if (!db.exec(QStringLiteral("VACUUM")))
        return Outcome{false, db.error()};

    // In WAL mode the compacted pages are still in the log: move them into the file and let it shrink.
    // This does not wait: when another program's read keeps it from finishing, the log holds the pages
    // safely until a later checkpoint.
    std::optional<QVariant> journal;
    if (db.queryFirst(QStringLiteral("PRAGMA journal_mode"), {}, journal) && journal &&
        journal->toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0 &&
        db.exec(QStringLiteral("PRAGMA busy_timeout = 0")))
        db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return Outcome{};
}

} // namespace worvane
