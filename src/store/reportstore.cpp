#include "store/reportstore.h"

#include "common/clock.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/values.h"

#include <QSqlQuery>

namespace worvane
{

namespace
{
Outcome failure(const Connection &connection)
{
    return Outcome{false, connection.error()};
}

template <class Result> Result failed(const Connection &connection)
{
    Result result;
    result.ok = false;
    result.error = connection.error();
    return result;
}
// Adds the indexes range queries need to a file that lacks them, when the file may be written. A file
// that cannot take them is still read, only more slowly.
void ensureRangeIndexes(Connection &db, const QString &path)
{
    if (!ReadOnlyReason(path).isEmpty())
        return;
    std::optional<QVariant> count;
    if (!db.queryFirst(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND "
                                      "name IN ('DF_WKTIME_YMD', 'DF_WKCONT_DAY')"),
                       {}, count) ||
        (count && count->toInt() == 2))
        return;
    db.exec(QString::fromLatin1(DateIndexStatement)) && db.exec(QString::fromLatin1(DayItemsIndexStatement));
}
} // namespace

QString LikePattern(const QString &typed)
{
    QString pattern = typed;
    pattern.replace(QLatin1Char('*'), QLatin1Char('%'));
    pattern.replace(QLatin1Char('?'), QLatin1Char('_'));
    return pattern;
}

ReportStore::ReportStore(QString databasePath, int busyTimeoutMs)
    : m_path(std::move(databasePath)), m_busyTimeoutMs(busyTimeoutMs)
{
}

NameLookup ReportStore::lookupProjectName(const QString &code) const
{
    Connection db(m_path, m_busyTimeoutMs);
    QSqlQuery query = db.newQuery();
    if (!db.open() ||
        !db.exec(query, QStringLiteral("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE"),
                 {code}))
        return failed<NameLookup>(db);
    NameLookup result;
    if (query.next()) {
        result.found = true;
        result.name = NullToEmpty(query.value(0));
    }
    return result;
}

DayLoad ReportStore::loadDay(const QString &code, const QString &date) const
{
    Connection db(m_path, m_busyTimeoutMs);
    QSqlQuery query = db.newQuery();
    if (!db.open() || !db.exec(query,
                               QStringLiteral("SELECT WSTIME, WETIME FROM DF_WKTIME "
                                              "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                                              "ORDER BY rowid LIMIT 1"),
                               {code, date}))
        return failed<DayLoad>(db);
    DayLoad result;
    if (!query.next())
        return result;
    result.hasTimeRow = true;
    result.startTime = NullToEmpty(query.value(0));
    result.endTime = NullToEmpty(query.value(1));

    if (!db.exec(query,
                 QStringLiteral("SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT "
                                "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                                "ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid"),
                 {code, date}))
        return failed<DayLoad>(db);
    while (query.next())
        result.items.append(
            WorkItem{NullToEmpty(query.value(0)), NullToEmpty(query.value(1)), NullToEmpty(query.value(2))});
    return result;
}

EarlierDay ReportStore::loadLatestDayBefore(const QString &code, const QString &date) const
{
    std::optional<QVariant> found;
    {
        Connection db(m_path, m_busyTimeoutMs);
        if (!db.open() ||
            !db.queryFirst(QStringLiteral("SELECT t.WKYMD FROM DF_WKTIME t WHERE t.PJCODE = ? COLLATE NOCASE AND "
                                          "t.WKYMD < ? AND (IFNULL(t.WSTIME, '') <> '' OR IFNULL(t.WETIME, '') "
                                          "<> '' OR EXISTS (SELECT 1 FROM DF_WKCONT c WHERE c.PJCODE = t.PJCODE "
                                          "AND c.WKYMD = t.WKYMD)) ORDER BY t.WKYMD DESC LIMIT 1"),
                           {code, date}, found))
            return failed<EarlierDay>(db);
    }
    EarlierDay result;
    if (!found)
        return result;
    static_cast<DayLoad &>(result) = loadDay(code, NullToEmpty(*found));
    if (result.ok && result.hasTimeRow)
        result.date = NullToEmpty(*found);
    return result;
}

Outcome ReportStore::saveDay(const DaySave &day) const
{
    const QString timestamp = Clock::timestamp();
    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open() || !db.begin())
        return failure(db);

    std::optional<QVariant> rowid;
    if (!db.queryFirst(
            QStringLiteral("SELECT rowid FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                           "ORDER BY rowid LIMIT 1"),
            {day.code, day.date}, rowid))
        return failure(db);

    const bool timeWritten =
        rowid
            ? db.exec(
                  QStringLiteral("UPDATE DF_WKTIME SET WSTIME = ?, WETIME = ?, UPDYMD = ? WHERE rowid = ?"),
                  {EmptyToNull(day.startTime), EmptyToNull(day.endTime), timestamp, *rowid})
            : db.exec(QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD) "
                                     "VALUES (?, ?, ?, ?, ?)"),
                      {day.code, day.date, EmptyToNull(day.startTime), EmptyToNull(day.endTime), timestamp});
    if (!timeWritten)
        return failure(db);

    if (!db.exec(QStringLiteral("DELETE FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ?"),
                 {day.code, day.date}))
        return failure(db);

    // DF_WKCONT has exactly five columns in this order; the insert names none of them.
    QSqlQuery insert = db.newQuery();
    if (!db.prepare(insert, QStringLiteral("INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)")))
        return failure(db);
    for (const WorkItem &item : day.items) {
        if (!db.run(insert, {day.code, day.date, item.code, item.head, item.detail}))
            return failure(db);
    }
    insert.finish();

    if (!db.commit())
        return failure(db);
    return {};
}

RangeLoad ReportStore::loadRange(const QString &from, const QString &to,
                                 const std::optional<QString> &codePattern) const
{
    // One pass over the days of the range (by the date index), each joined to its items; a day without
    // items gives one row whose item columns are Null.
    QString sql = QStringLiteral(
        "SELECT t.PJCODE, (SELECT p.PJNAME FROM DM_PRJMST p WHERE p.PJCODE = t.PJCODE COLLATE NOCASE "
        "ORDER BY p.rowid LIMIT 1), t.WKYMD, t.WSTIME, t.WETIME, c.rowid IS NOT NULL, c.WKCODE, c.WKHEAD, "
        "c.DETAIL, t.rowid "
        "FROM DF_WKTIME t LEFT JOIN DF_WKCONT c ON c.PJCODE = t.PJCODE COLLATE NOCASE AND c.WKYMD = t.WKYMD "
        "WHERE t.WKYMD BETWEEN ? AND ?");
    QVariantList values{from, to};
    if (codePattern) {
        sql += QStringLiteral(" AND t.PJCODE LIKE ?");
        values << LikePattern(*codePattern);
    }
    sql += QStringLiteral(" ORDER BY t.WKYMD, t.PJCODE COLLATE NOCASE, t.rowid, CAST(c.WKCODE AS INTEGER), "
                          "c.WKCODE, c.rowid");

    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open())
        return failed<RangeLoad>(db);
    ensureRangeIndexes(db, m_path);
    // A range reads many pages once each: a larger page cache than the default 2 MB halves the reads.
    db.exec(QStringLiteral("PRAGMA cache_size = -32768"));
    QSqlQuery query = db.newQuery();
    if (!db.exec(query, sql, values))
        return failed<RangeLoad>(db);

    RangeLoad result;
    QVariant dayRow;     // the working-time row the last day came from
    QString previousKey; // date and code of the last day: a second time row of the same day is skipped
    bool skipping = false;
    while (query.next()) {
        const QVariant row = query.value(9);
        if (row != dayRow) {
            dayRow = row;
            const QString code = NullToEmpty(query.value(0));
            const QString date = NullToEmpty(query.value(2));
            QString key = date + QLatin1Char('\t') + code;
            for (QChar &c : key) // NOCASE folds ASCII letters only
                if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                    c = QChar(c.unicode() + 32);
            skipping = !result.days.isEmpty() && key == previousKey;
            if (skipping)
                continue;
            previousKey = key;
            result.days.append(StoredDay{code,
                                         NullToEmpty(query.value(1)),
                                         date,
                                         NullToEmpty(query.value(3)),
                                         NullToEmpty(query.value(4)),
                                         {}});
        }
        if (!skipping && query.value(5).toBool())
            result.days.last().items.append(WorkItem{NullToEmpty(query.value(6)), NullToEmpty(query.value(7)),
                                                     NullToEmpty(query.value(8))});
    }
    return result;
}

ProjectSearch ReportStore::searchProjects(const std::optional<QString> &codePattern,
                                          const std::optional<QString> &namePattern) const
{
    QString sql = QStringLiteral("SELECT PJCODE, PJNAME FROM DM_PRJMST");
    QVariantList values;
    QStringList conditions;
    if (codePattern) {
        conditions << QStringLiteral("PJCODE LIKE ?");
        values << LikePattern(*codePattern);
    }
    if (namePattern) {
        conditions << QStringLiteral("PJNAME LIKE ?");
        values << LikePattern(*namePattern);
    }
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY PJCODE COLLATE NOCASE, rowid");

    Connection db(m_path, m_busyTimeoutMs);
    QSqlQuery query = db.newQuery();
    if (!db.open() || !db.exec(query, sql, values))
        return failed<ProjectSearch>(db);
    ProjectSearch result;
    while (query.next())
        result.rows.append(ProjectRow{NullToEmpty(query.value(0)), NullToEmpty(query.value(1))});
    return result;
}

Outcome ReportStore::updateProjectMaster(const QString &code, const QString &name) const
{
    const QString timestamp = Clock::timestamp();
    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open() || !db.begin())
        return failure(db);

    std::optional<QVariant> rowid;
    if (!db.queryFirst(QStringLiteral("SELECT rowid FROM DM_PRJMST "
                                      "WHERE PJCODE = ? COLLATE NOCASE OR PJNAME = ? COLLATE NOCASE "
                                      "ORDER BY rowid LIMIT 1"),
                       {code, name}, rowid))
        return failure(db);

    if (rowid) {
        std::optional<QVariant> others;
        if (!db.queryFirst(
                QStringLiteral(
                    "SELECT COUNT(*) FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE AND rowid <> ?"),
                {code, *rowid}, others))
            return failure(db);
        if (others && others->toInt() > 0)
            return Outcome{false, QStringLiteral("another project already has the code %1").arg(code)};
        if (!db.exec(
                QStringLiteral("UPDATE DM_PRJMST SET PJCODE = ?, PJNAME = ?, UPDYMD = ? WHERE rowid = ?"),
                {code, name, timestamp, *rowid}))
            return failure(db);
    } else if (!db.exec(QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES (?, ?, ?)"),
                        {code, name, timestamp})) {
        return failure(db);
    }
    if (!db.commit())
        return failure(db);
    return {};
}

} // namespace worvane
