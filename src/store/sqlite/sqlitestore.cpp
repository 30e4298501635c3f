#include "store/sqlite/sqlitestore.h"

#include "core/clock.h"
#include "store/sqlite/backup.h"
#include "store/sqlite/dayindexes.h"
#include "store/sqlite/history.h"
#include "store/sqlite/sqlitefile.h"
#include "store/storerules.h"

#include <QFileInfo>

namespace worvane::sqlite
{

namespace
{
QVariant nullWhenEmpty(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

QVariant orNull(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : QVariant(QMetaType(QMetaType::QString));
}

// The name of the project with the code, or nothing when the master has no such code.
bool readProjectName(Database &db, const QString &code, std::optional<QString> &name)
{
    name.reset();
    return db.run("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE", {code}, [&name](const Row &row) {
        name = row.text(0);
        return false;
    });
}

// A day's items as stored (in the order they were stored), their texts as bytes for its stamp too.
constexpr const char *DayItemsSql = "SELECT WKCODE, WKHEAD, DETAIL, WKCODE IS NULL FROM DF_WKCONT "
                                    "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? ORDER BY rowid";

// What of a stored day readDay reads besides its working-time row.
enum class DayPart { Whole, StampOnly, TimeRowOnly };

// The day as stored: its first working-time row, then its items, and the stamp of the two; StampOnly
// leaves the items in the stamp only, TimeRowOnly reads neither. timeRow is set to the working-time row's
// rowid (0 when there is none).
bool readDay(Database &db, const QString &code, const QString &date, DayLoad &day, DayPart part, qint64 *timeRow = nullptr)
{
    day = DayLoad{};
    qint64 rowid = 0;
    if (!db.run("SELECT WSTIME, WETIME, rowid FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                "ORDER BY rowid LIMIT 1",
                {code, date}, [&](const Row &row) {
                    day.hasTimeRow = true;
                    day.startTime = row.text(0);
                    day.endTime = row.text(1);
                    rowid = row.integer(2);
                    return true;
                }))
        return false;
    if (timeRow)
        *timeRow = rowid;
    if (part == DayPart::TimeRowOnly)
        return true;
    StampTexts stamped(100);
    std::vector<ReadItem> items;
    if (day.hasTimeRow && !db.run(DayItemsSql, {code, date}, [&](const Row &row) {
            stamped.add(row.bytes(0), row.bytes(1), row.bytes(2));
            if (part == DayPart::Whole)
                items.push_back({WorkItem{row.text(0), row.text(1), row.text(2)}, row.integer(3) != 0});
            return true;
        }))
        return false;
    day.items = InListOrder(std::move(items));
    day.stamp = stamped.stamp(day.hasTimeRow, day.startTime.toUtf8(), day.endTime.toUtf8());
    return true;
}
} // namespace

SqliteStore::SqliteStore(QString path, int waitMs) : m_waitMs(waitMs), m_db(std::move(path), waitMs)
{
}

std::unique_ptr<Store> SqliteStore::another() const
{
    return std::make_unique<SqliteStore>(m_db.path(), m_waitMs);
}

std::optional<StoreError> SqliteStore::missingAtStart() const
{
    if (m_db.path().isEmpty() || !QFileInfo(m_db.path()).isFile())
        return StoreError{StoreError::Kind::Other, QStringLiteral("no database file at %1").arg(m_db.path())};
    return std::nullopt;
}

bool SqliteStore::readItems(const QString &code, const QString &date, QList<WorkItem> &items)
{
    std::vector<ReadItem> read;
    if (!m_db.run(DayItemsSql, {code, date}, [&read](const Row &row) {
            read.push_back({WorkItem{row.text(0), row.text(1), row.text(2)}, row.integer(3) != 0});
            return true;
        }))
        return false;
    items = InListOrder(std::move(read));
    return true;
}

// ---- The project master -----------------------------------------------------------------------------

Result<std::optional<QString>> SqliteStore::lookupProjectName(const QString &code)
{
    Operation op(m_db);
    Result<std::optional<QString>> result;
    if (!op.open() || !readProjectName(m_db, code, result.value))
        return failed<std::optional<QString>>();
    return result;
}

Result<ProjectPage> SqliteStore::searchProjects(const ProjectQuery &query)
{
    QString sql = QStringLiteral("SELECT PJCODE, PJNAME FROM DM_PRJMST");
    QVariantList values;
    QStringList conditions;
    if (query.codePattern) {
        conditions << QStringLiteral("PJCODE LIKE ? ESCAPE '\\'");
        values << LikePattern(*query.codePattern);
    }
    if (query.namePattern) {
        conditions << QStringLiteral("PJNAME LIKE ? ESCAPE '\\'");
        values << LikePattern(*query.namePattern);
    }
    if (query.after) {
        // What the code index seeks to: the last code listed, whose rows listed are passed over below.
        conditions << QStringLiteral("PJCODE COLLATE NOCASE >= ? COLLATE NOCASE");
        values << query.after->code;
    }
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY PJCODE COLLATE NOCASE, rowid");
    if (query.limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << query.limit;
        if (query.after) {
            sql += QStringLiteral(" OFFSET ?");
            values << query.after->listedOfCode;
        }
    }

    Operation op(m_db);
    Result<ProjectPage> result;
    if (!op.open() || !m_db.run(sql, values, [&result](const Row &row) {
            result.value.rows.append(row.bytes(0), row.bytes(1));
            return true;
        }))
        return failed<ProjectPage>();
    result.value.next = NextPageStart(result.value.rows, query.limit, query.after);
    return result;
}

Outcome SqliteStore::updateProjectMaster(const QString &code, const QString &name)
{
    const QString timestamp = Clock::timestamp();
    Operation op(m_db);
    if (!op.open() || !m_db.begin())
        return failed<Done>();
    std::optional<QVariant> rowid, others;
    if (!m_db.first("SELECT rowid FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE OR PJNAME = ? COLLATE NOCASE "
                    "ORDER BY rowid LIMIT 1",
                    {code, name}, rowid))
        return failed<Done>();
    if (rowid) {
        if (!m_db.first("SELECT COUNT(*) FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE AND rowid <> ?",
                        {code, *rowid}, others))
            return failed<Done>();
        if (others && others->toInt() > 0) {
            m_db.fail(StoreError::Kind::Refused, QStringLiteral("another project already has the code %1").arg(code));
            return failed<Done>();
        }
        if (!m_db.run("UPDATE DM_PRJMST SET PJCODE = ?, PJNAME = ?, UPDYMD = ? WHERE rowid = ?",
                      {code, name, timestamp, *rowid}))
            return failed<Done>();
    } else if (!m_db.run("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES (?, ?, ?)", {code, name, timestamp})) {
        return failed<Done>();
    }
    if (!m_db.commit())
        return failed<Done>();
    return {};
}

// ---- Days -------------------------------------------------------------------------------------------

Result<DayLoad> SqliteStore::loadDay(const QString &code, const QString &date)
{
    Operation op(m_db);
    Result<DayLoad> result;
    std::optional<QString> name;
    if (!op.open() || !readProjectName(m_db, code, name) || !readDay(m_db, code, date, result.value, DayPart::Whole))
        return failed<DayLoad>();
    result.value.projectName = name;
    return result;
}

Result<std::optional<EarlierDay>> SqliteStore::loadLatestDayBefore(const QString &code, const QString &date)
{
    Operation op(m_db);
    std::optional<QVariant> found;
    if (!op.open() ||
        !m_db.first("SELECT t.WKYMD FROM DF_WKTIME t WHERE t.PJCODE = ? COLLATE NOCASE AND t.WKYMD < ? AND "
                    "(IFNULL(t.WSTIME, '') <> '' OR IFNULL(t.WETIME, '') <> '' OR EXISTS (SELECT 1 FROM DF_WKCONT c "
                    "WHERE c.PJCODE = t.PJCODE COLLATE NOCASE AND c.WKYMD = t.WKYMD)) ORDER BY t.WKYMD DESC LIMIT 1",
                    {code, date}, found))
        return failed<std::optional<EarlierDay>>();
    Result<std::optional<EarlierDay>> result;
    if (!found)
        return result;
    EarlierDay earlier{found->toString(), {}};
    std::optional<QString> name;
    if (!readProjectName(m_db, code, name) || !readDay(m_db, code, earlier.date, earlier.day, DayPart::Whole))
        return failed<std::optional<EarlierDay>>();
    earlier.day.projectName = name;
    result.value = std::move(earlier);
    return result;
}

Result<QString> SqliteStore::saveDay(const DaySave &day)
{
    const QString timestamp = Clock::timestamp();
    Operation op(m_db);
    if (!op.open() || !m_db.begin())
        return failed<QString>();

    // The day as stored, locked: its items only when it must still be the one loaded.
    DayLoad stored;
    qint64 timeRow = 0;
    if (!readDay(m_db, day.code, day.date, stored, day.loadedStamp ? DayPart::StampOnly : DayPart::TimeRowOnly,
                 &timeRow))
        return failed<QString>();
    if (day.loadedStamp && stored.stamp != *day.loadedStamp) {
        m_db.fail(StoreError::Kind::Conflict, QStringLiteral("%1 %2 was changed since it was loaded").arg(day.code, day.date));
        return failed<QString>();
    }

    const bool timeWritten =
        stored.hasTimeRow
            ? m_db.run("UPDATE DF_WKTIME SET WSTIME = ?, WETIME = ?, UPDYMD = ? WHERE rowid = ?",
                       {nullWhenEmpty(day.startTime), nullWhenEmpty(day.endTime), timestamp, timeRow})
            : m_db.run("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD) VALUES (?, ?, ?, ?, ?)",
                       {day.code, day.date, nullWhenEmpty(day.startTime), nullWhenEmpty(day.endTime), timestamp});
    if (!timeWritten ||
        !m_db.run("DELETE FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ?", {day.code, day.date}))
        return failed<QString>();
    // DF_WKCONT's five columns in order: the insert names none, as a file made elsewhere may name them
    // otherwise.
    Statement &insert = m_db.statement("INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)");
    for (const WorkItem &item : day.items)
        if (!insert.run({day.code, day.date, item.code, item.head, item.detail}))
            return failed<QString>();
    if (!RecordVersion(m_db, day, timestamp) || !m_db.commit())
        return failed<QString>();
    return Result<QString>{DayStamp(true, day.startTime, day.endTime, day.items), std::nullopt};
}

// ---- A range of days --------------------------------------------------------------------------------

bool SqliteStore::walkRange(const RangeSelection &range, bool countItems,
                            const std::function<bool(DaySummary &&)> &visit)
{
    if (range.people.others()) {
        m_db.fail(StoreError::Kind::Refused, QStringLiteral("a file holds one person's days"));
        return false;
    }
    QString sql = QStringLiteral("SELECT t.PJCODE, (SELECT p.PJNAME FROM DM_PRJMST p WHERE p.PJCODE = t.PJCODE COLLATE "
                                 "NOCASE ORDER BY p.rowid LIMIT 1), t.WKYMD, t.WSTIME, t.WETIME");
    if (countItems)
        sql += QStringLiteral(", (SELECT COUNT(*) FROM DF_WKCONT c WHERE c.PJCODE = t.PJCODE COLLATE NOCASE AND "
                              "c.WKYMD = t.WKYMD)");
    sql += QStringLiteral(" FROM DF_WKTIME t WHERE t.WKYMD BETWEEN ? AND ?");
    QVariantList values{range.from, range.to};
    if (range.codePattern) {
        sql += QStringLiteral(" AND t.PJCODE LIKE ? ESCAPE '\\'");
        values << LikePattern(*range.codePattern);
    }
    sql += QStringLiteral(" ORDER BY t.WKYMD, t.PJCODE COLLATE NOCASE, t.rowid");
    QByteArray previous; // date and code of the last day, compared as NOCASE compares: ASCII letters only
    return m_db.run(sql, values, [&](const Row &row) {
        QByteArray key = row.bytes(2).toByteArray() + '\t' + row.bytes(0).toByteArray();
        if (SameWithoutAsciiCase(key, previous))
            return true;
        previous = std::move(key);
        return visit(DaySummary{row.text(0), row.text(1), row.text(2), row.text(3), row.text(4),
                                countItems ? int(row.integer(5)) : 0, QString()});
    });
}

Result<QList<DaySummary>> SqliteStore::summarizeRange(const RangeSelection &range, ItemCounts counts)
{
    Operation op(m_db);
    if (!op.open())
        return failed<QList<DaySummary>>();
    EnsureDayIndexes(m_db);
    RangeSummaries days;
    if (!walkRange(range, counts == ItemCounts::Counted, [&days](DaySummary &&day) {
            days.append(std::move(day));
            return true;
        }))
        return failed<QList<DaySummary>>();
    return {days.take(), std::nullopt};
}

Outcome SqliteStore::forEachDay(const RangeSelection &range, const std::function<bool(const StoredDay &)> &take)
{
    Operation op(m_db);
    if (!op.open())
        return failed<Done>();
    EnsureDayIndexes(m_db);
    // Each day's items as the day comes: a few rows per day read in order instead of a sort of the range.
    bool itemsRead = true;
    const bool walked = walkRange(range, false, [&](DaySummary &&summary) {
        StoredDay day{std::move(summary), {}};
        itemsRead = readItems(day.summary.code, day.summary.date, day.items);
        day.summary.itemCount = int(day.items.size());
        return itemsRead && take(day);
    });
    if (!walked || !itemsRead)
        return failed<Done>();
    return {};
}

Result<TeamPeople> SqliteStore::teamPeople()
{
    return {}; // a file is one person's: no lead, no names
}

// ---- History -----------------------------------------------------------------------------------------

Result<QList<DayVersion>> SqliteStore::dayHistory(const QString &code, const QString &date)
{
    Operation op(m_db);
    Result<QList<DayVersion>> result;
    if (!op.open() || !ReadVersions(m_db, code, date, result.value))
        return failed<QList<DayVersion>>();
    return result;
}

// ---- A team's day: a file is one person's, with no states, no comments and no lead -------------------

namespace
{
StoreError teamOnly()
{
    return {StoreError::Kind::Refused, QStringLiteral("a file has no team"), StoreError::Rule::TeamOnly};
}
} // namespace

Result<QList<DayState>> SqliteStore::dayStates(const RangeSelection &range)
{
    Operation op(m_db);
    Result<QList<DayState>> result;
    if (!op.open() || !m_db.run("SELECT DISTINCT WKYMD FROM DF_WKTIME WHERE WKYMD BETWEEN ? AND ? ORDER BY WKYMD",
                                {range.from, range.to}, [&result](const Row &row) {
                                    result.value.append({QString(), row.text(0), QString()});
                                    return true;
                                }))
        return failed<QList<DayState>>();
    return result;
}

Result<QList<DayComment>> SqliteStore::dayComments(const QString &, const QString &)
{
    return {};
}

Result<DayReview> SqliteStore::dayReview(const QString &)
{
    return {};
}

Result<QString> SqliteStore::reviewDay(const QString &, const QString &, Verdict, const QString &)
{
    return Result<QString>::failure(teamOnly());
}

Result<int> SqliteStore::approveMonth(const QString &, const QString &)
{
    return Result<int>::failure(teamOnly());
}

Outcome SqliteStore::commentDay(const QString &, const QString &, const QString &)
{
    return Outcome::failure(teamOnly());
}

Outcome SqliteStore::closeThrough(const QString &)
{
    return Outcome::failure(teamOnly());
}

Outcome SqliteStore::reopen(const QString &, const QString &)
{
    return Outcome::failure(teamOnly());
}

// ---- Upkeep and moving reports ----------------------------------------------------------------------

Result<BackupDone> SqliteStore::backUp(const QDate &today, const QString &fallbackFolder)
{
    return BackUpDatabaseFile(m_db.path(), today, fallbackFolder, m_waitMs);
}

Outcome SqliteStore::compact()
{
    return CompactDatabaseFile(m_db.path(), CompactionTemporaryPath(m_db.path()), m_waitMs);
}

Result<ReportRows> SqliteStore::readReports(const QString &)
{
    Operation op(m_db);
    Result<ReportRows> result;
    ReportRows &rows = result.value;
    if (!op.open() ||
        !m_db.run("SELECT PJCODE, PJNAME, ENTYMD, UPDYMD FROM DM_PRJMST ORDER BY rowid", {},
                  [&rows](const Row &row) {
                      rows.projects.append({row.text(0), row.nullable(1), row.nullable(2), row.nullable(3)});
                      return true;
                  }) ||
        !m_db.run("SELECT PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD FROM DF_WKTIME ORDER BY rowid", {},
                  [&rows](const Row &row) {
                      rows.days.append({row.text(0), row.text(1), row.nullable(2), row.nullable(3), row.nullable(4),
                                        row.nullable(5)});
                      return true;
                  }) ||
        !m_db.run("SELECT PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL FROM DF_WKCONT ORDER BY rowid", {},
                  [&rows](const Row &row) {
                      rows.items.append({row.text(0), row.text(1), row.nullable(2), row.nullable(3), row.nullable(4)});
                      return true;
                  }))
        return failed<ReportRows>();
    return result;
}

Result<CopyCounts> SqliteStore::writeReports(const ReportRows &rows, const QString &)
{
    Operation op(m_db);
    if (!op.open() || !m_db.begin())
        return failed<CopyCounts>();
    const auto count = [this](qint64 &days, qint64 &items) {
        std::optional<QVariant> d, i;
        const bool read = m_db.first("SELECT COUNT(*) FROM DF_WKTIME", {}, d) &&
                          m_db.first("SELECT COUNT(*) FROM DF_WKCONT", {}, i);
        days = d ? d->toLongLong() : 0;
        items = i ? i->toLongLong() : 0;
        return read;
    };
    qint64 daysBefore = 0, itemsBefore = 0, daysAfter = 0, itemsAfter = 0;
    Result<CopyCounts> result;
    CopyCounts &counts = result.value;
    if (!count(daysBefore, itemsBefore))
        return failed<CopyCounts>();
    for (const ReportRows::Project &p : rows.projects) {
        std::optional<QVariant> known;
        if (!m_db.first("SELECT COUNT(*) FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE", {p.code}, known))
            return failed<CopyCounts>();
        if (known && known->toInt() > 0) {
            ++counts.projectsKept;
            continue;
        }
        if (!m_db.run("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD, UPDYMD) VALUES (?, ?, ?, ?)",
                      {p.code, orNull(p.name), orNull(p.entered), orNull(p.updated)}))
            return failed<CopyCounts>();
        ++counts.projectsAdded;
    }
    for (const ReportRows::Day &d : rows.days) {
        if (!m_db.run("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD) VALUES (?, ?, ?, ?, ?, ?)",
                      {d.code, d.date, orNull(d.start), orNull(d.end), orNull(d.entered), orNull(d.updated)}))
            return failed<CopyCounts>();
        ++counts.days;
    }
    for (const ReportRows::Item &i : rows.items) {
        if (!m_db.run("INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)",
                      {i.code, i.date, orNull(i.number), orNull(i.head), orNull(i.detail)}))
            return failed<CopyCounts>();
        ++counts.items;
    }
    // The file holds exactly what it held before and what was read.
    if (!count(daysAfter, itemsAfter))
        return failed<CopyCounts>();
    if (daysAfter != daysBefore + rows.days.size() || itemsAfter != itemsBefore + rows.items.size()) {
        m_db.fail(StoreError::Kind::Other, QStringLiteral("the rows written do not add up"));
        return failed<CopyCounts>();
    }
    if (!m_db.commit())
        return failed<CopyCounts>();
    return result;
}

} // namespace worvane::sqlite
