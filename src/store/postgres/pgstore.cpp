#include "store/postgres/pgstore.h"

#include "core/clock.h"
#include "store/storerules.h"

namespace worvane::postgres
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

// "($1, $2, $3), ($4, $5, $6)": the values of `rows` rows of `columns` columns, numbered from `from` on.
QString valueRows(int rows, int columns, int from = 1)
{
    QStringList all;
    for (int r = 0; r < rows; ++r) {
        QStringList one;
        for (int c = 0; c < columns; ++c)
            one << QLatin1Char('$') + QString::number(from + r * columns + c);
        all << QLatin1Char('(') + one.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    return all.join(QStringLiteral(", "));
}

// Each statement is a round trip: rows go in statements of up to this many (a day has at most 99 items
// in the window; a file made elsewhere may hold more).
constexpr qsizetype RowsPerInsert = 100;

// Inserts rows into a table's columns, RowsPerInsert to a statement.
bool insertRows(Database &db, const char *into, int columns, const QList<QVariantList> &rows)
{
    for (qsizetype first = 0; first < rows.size(); first += RowsPerInsert) {
        const qsizetype count = std::min(RowsPerInsert, rows.size() - first);
        QVariantList values;
        values.reserve(count * columns);
        for (qsizetype r = first; r < first + count; ++r)
            values << rows.at(r);
        if (!db.run(QLatin1String(into) + valueRows(int(count), columns), values))
            return false;
    }
    return true;
}

bool readProjectName(Database &db, const QString &code, std::optional<QString> &name)
{
    name.reset();
    return db.run("SELECT PJNAME FROM DM_PRJMST WHERE PJKEY = $1 ORDER BY ROWNO LIMIT 1", {AsciiFolded(code)},
                  [&name](const Row &row) {
                      name = row.text(0);
                      return false;
                  });
}

// The person the reports of a copy are: the one named, else the login's own.
constexpr const char *PersonSql = "COALESCE(NULLIF($1, ''), session_user)";
} // namespace

PgStore::PgStore(QString uri, int waitMs) : m_waitMs(waitMs), m_db(std::move(uri), waitMs)
{
}

StoreError PgStore::unstorable(const Unstorable &where)
{
    m_db.fail(StoreError::Kind::Refused, where.describe(), StoreError::Rule::UnstorableCharacter);
    return m_db.error();
}

std::unique_ptr<Store> PgStore::another() const
{
    return std::make_unique<PgStore>(m_db.uri(), m_waitMs);
}

// ---- The project master -----------------------------------------------------------------------------

Result<std::optional<QString>> PgStore::lookupProjectName(const QString &code)
{
    Operation op(m_db);
    Result<std::optional<QString>> result;
    if (!op.open() || !readProjectName(m_db, code, result.value))
        return failed<std::optional<QString>>();
    return result;
}

Result<ProjectPage> PgStore::searchProjects(const ProjectQuery &query)
{
    QString sql = QStringLiteral("SELECT PJCODE, PJNAME FROM DM_PRJMST");
    QVariantList values;
    QStringList conditions;
    const auto value = [&values](const QVariant &v) {
        values << v;
        return QStringLiteral("$%1").arg(values.size());
    };
    if (query.codePattern)
        conditions << QStringLiteral("PJKEY LIKE %1 ESCAPE '\\'").arg(value(AsciiFolded(LikePattern(*query.codePattern))));
    if (query.namePattern)
        conditions << QStringLiteral("PJNAMEKEY LIKE %1 ESCAPE '\\'").arg(value(AsciiFolded(LikePattern(*query.namePattern))));
    if (query.after) // what the code index seeks to: the last code listed, whose rows listed are passed over
        conditions << QStringLiteral("PJKEY >= %1").arg(value(AsciiFolded(query.after->code)));
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY PJKEY, ROWNO");
    if (query.limit > 0) {
        sql += QStringLiteral(" LIMIT ") + value(query.limit);
        if (query.after)
            sql += QStringLiteral(" OFFSET ") + value(query.after->listedOfCode);
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

Outcome PgStore::updateProjectMaster(const QString &code, const QString &name)
{
    if (const std::optional<Unstorable> bad = FindUnstorableProject(code, name))
        return Outcome::failure(unstorable(*bad));
    const QString timestamp = Clock::timestamp();
    Operation op(m_db);
    if (!op.open())
        return failed<Done>();
    std::optional<QString> row, others;
    if (!m_db.first("SELECT ROWNO FROM DM_PRJMST WHERE PJKEY = $1 OR PJNAMEKEY = $2 ORDER BY ROWNO LIMIT 1 FOR UPDATE",
                    {AsciiFolded(code), AsciiFolded(name)}, row))
        return failed<Done>();
    if (row) {
        if (!m_db.first("SELECT COUNT(*) FROM DM_PRJMST WHERE PJKEY = $1 AND ROWNO <> $2", {AsciiFolded(code), *row},
                        others))
            return failed<Done>();
        if (others && others->toInt() > 0) {
            m_db.fail(StoreError::Kind::Refused, QStringLiteral("another project already has the code %1").arg(code));
            return failed<Done>();
        }
        if (!m_db.run("UPDATE DM_PRJMST SET PJCODE = $1, PJNAME = $2, UPDYMD = $3 WHERE ROWNO = $4",
                      {code, name, timestamp, *row}))
            return failed<Done>();
    } else if (!m_db.run("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES ($1, $2, $3)", {code, name, timestamp})) {
        return failed<Done>();
    }
    if (!m_db.commit())
        return failed<Done>();
    return {};
}

// ---- Days -------------------------------------------------------------------------------------------

// The reader's day as stored: its first working-time row, then (with items) its items and the stamp of
// the two. For a save (timeRow given, in its transaction) the working-time row's ROWNO (0 when none),
// that row locked until the commit.
bool PgStore::readDay(const QString &code, const QString &date, DayLoad &day, bool items, qint64 *timeRow)
{
    day = DayLoad{};
    qint64 rowNumber = 0;
    const QVariantList key{AsciiFolded(code), date, m_db.person()};
    const auto timeRead = [&](const Row &row) {
        day.hasTimeRow = true;
        day.startTime = row.text(0);
        day.endTime = row.text(1);
        rowNumber = row.integer(2);
        return true;
    };
    if (!(timeRow ? m_db.run("SELECT WSTIME, WETIME, ROWNO FROM DF_WKTIME WHERE WKUSER = $3 AND PJKEY = $1 "
                             "AND WKYMD = $2 ORDER BY ROWNO LIMIT 1 FOR UPDATE",
                             key, timeRead)
                  : m_db.run("SELECT WSTIME, WETIME, ROWNO FROM DF_WKTIME WHERE WKUSER = $3 AND PJKEY = $1 "
                             "AND WKYMD = $2 ORDER BY ROWNO LIMIT 1",
                             key, timeRead)))
        return false;
    if (timeRow)
        *timeRow = rowNumber;
    if (!items)
        return true;
    StampTexts stamped(100);
    std::vector<ReadItem> read;
    if (day.hasTimeRow &&
        !m_db.run("SELECT WKCODE, WKHEAD, DETAIL, WKCODE IS NULL FROM DF_WKCONT WHERE WKUSER = $3 AND PJKEY = $1 "
                  "AND WKYMD = $2 ORDER BY ROWNO",
                  key, [&](const Row &row) {
                      stamped.add(row.bytes(0), row.bytes(1), row.bytes(2));
                      read.push_back({WorkItem{row.text(0), row.text(1), row.text(2)}, row.truth(3)});
                      return true;
                  }))
        return false;
    day.items = InListOrder(std::move(read));
    day.stamp = stamped.stamp(day.hasTimeRow, day.startTime.toUtf8(), day.endTime.toUtf8());
    return true;
}

Result<DayLoad> PgStore::loadDay(const QString &code, const QString &date)
{
    Operation op(m_db);
    Result<DayLoad> result;
    std::optional<QString> name;
    if (!op.open() || !readProjectName(m_db, code, name) || !readDay(code, date, result.value, true))
        return failed<DayLoad>();
    result.value.projectName = name;
    return result;
}

Result<std::optional<EarlierDay>> PgStore::loadLatestDayBefore(const QString &code, const QString &date)
{
    Operation op(m_db);
    std::optional<QString> found;
    if (!op.open() ||
        !m_db.first("SELECT t.WKYMD FROM DF_WKTIME t WHERE t.WKUSER = $3 AND t.PJKEY = $1 AND t.WKYMD < $2 "
                    "AND (COALESCE(t.WSTIME, '') <> '' OR COALESCE(t.WETIME, '') <> '' OR EXISTS (SELECT 1 FROM "
                    "DF_WKCONT c WHERE c.WKUSER = t.WKUSER AND c.PJKEY = t.PJKEY AND c.WKYMD = t.WKYMD)) "
                    "ORDER BY t.WKYMD DESC LIMIT 1",
                    {AsciiFolded(code), date, m_db.person()}, found))
        return failed<std::optional<EarlierDay>>();
    Result<std::optional<EarlierDay>> result;
    if (!found)
        return result;
    EarlierDay earlier{*found, {}};
    std::optional<QString> name;
    if (!readProjectName(m_db, code, name) || !readDay(code, earlier.date, earlier.day, true))
        return failed<std::optional<EarlierDay>>();
    earlier.day.projectName = name;
    result.value = std::move(earlier);
    return result;
}

Result<QString> PgStore::saveDay(const DaySave &day)
{
    if (const std::optional<Unstorable> bad = FindUnstorable(day))
        return Result<QString>::failure(unstorable(*bad));
    const QString timestamp = Clock::timestamp();
    Operation op(m_db);
    if (!op.open())
        return failed<QString>();
    // The day as stored, its row locked: its items only when it must still be the one loaded.
    DayLoad stored;
    qint64 timeRow = 0;
    if (!readDay(day.code, day.date, stored, day.loadedStamp.has_value(), &timeRow))
        return failed<QString>();
    if (day.loadedStamp && stored.stamp != *day.loadedStamp) {
        m_db.fail(StoreError::Kind::Conflict, QStringLiteral("%1 %2 was changed since it was loaded").arg(day.code, day.date));
        return failed<QString>();
    }
    const bool timeWritten =
        stored.hasTimeRow
            ? m_db.run("UPDATE DF_WKTIME SET WSTIME = $1, WETIME = $2, UPDYMD = $3 WHERE ROWNO = $4 AND WKYMD = $5",
                       {nullWhenEmpty(day.startTime), nullWhenEmpty(day.endTime), timestamp, timeRow, day.date})
            : m_db.run("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD) VALUES ($1, $2, $3, $4, $5)",
                       {day.code, day.date, nullWhenEmpty(day.startTime), nullWhenEmpty(day.endTime), timestamp});
    if (!timeWritten || !m_db.run("DELETE FROM DF_WKCONT WHERE WKUSER = $3 AND PJKEY = $1 AND WKYMD = $2",
                                  {AsciiFolded(day.code), day.date, m_db.person()}))
        return failed<QString>();
    QList<QVariantList> rows;
    rows.reserve(day.items.size());
    for (const WorkItem &item : day.items)
        rows.append({day.code, day.date, item.code, item.head, item.detail});
    if (!insertRows(m_db, "INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL) VALUES ", 5, rows) ||
        !m_db.commit())
        return failed<QString>();
    return Result<QString>{DayStamp(true, day.startTime, day.endTime, day.items), std::nullopt};
}

// ---- A range of days --------------------------------------------------------------------------------

// A lead's reading of other people's days, for this operation's transaction only (the lead_reads
// policy); anyone else still reads their own only.
bool PgStore::readOthers(const People &people)
{
    return !people.others() || m_db.run("SELECT set_config('worvane.people', 'all', true)");
}

bool PgStore::walkRange(const RangeSelection &range, bool countItems, const std::function<bool(DaySummary &&)> &visit)
{
    QString sql = QStringLiteral("SELECT t.PJCODE, (SELECT p.PJNAME FROM DM_PRJMST p WHERE p.PJKEY = t.PJKEY ORDER BY "
                                 "p.ROWNO LIMIT 1), t.WKYMD, t.WSTIME, t.WETIME, t.WKUSER");
    if (countItems)
        sql += QStringLiteral(", (SELECT COUNT(*) FROM DF_WKCONT c WHERE c.WKUSER = t.WKUSER AND c.PJKEY = t.PJKEY "
                              "AND c.WKYMD = t.WKYMD)");
    sql += QStringLiteral(" FROM DF_WKTIME t WHERE t.WKYMD BETWEEN $1 AND $2");
    QVariantList values{range.from, range.to};
    if (range.people.kind != People::Kind::Everyone) {
        values << (range.people.kind == People::Kind::Own ? m_db.person() : range.people.name);
        sql += QStringLiteral(" AND t.WKUSER = $%1").arg(values.size());
    }
    if (range.codePattern) {
        values << AsciiFolded(LikePattern(*range.codePattern));
        sql += QStringLiteral(" AND t.PJKEY LIKE $%1 ESCAPE '\\'").arg(values.size());
    }
    sql += QStringLiteral(" ORDER BY t.WKYMD, t.PJKEY, t.WKUSER, t.ROWNO");
    if (!readOthers(range.people))
        return false;
    // A second working-time row of a day (date, code and person) is passed over.
    QByteArray previous;
    QList<DaySummary> days; // a server's rows are in hand before the first is handed over
    if (!m_db.run(sql, values, [&](const Row &row) {
            QByteArray key = row.bytes(2).toByteArray() + '\t' + row.bytes(0).toByteArray() + '\t' +
                             row.bytes(5).toByteArray();
            if (SameWithoutAsciiCase(key, previous))
                return true;
            previous = std::move(key);
            days.append(DaySummary{row.text(0), row.text(1), row.text(2), row.text(3), row.text(4),
                                   countItems ? int(row.integer(6)) : 0, row.text(5)});
            return true;
        }))
        return false;
    for (DaySummary &day : days)
        if (!visit(std::move(day)))
            break;
    return true;
}

Result<QList<DaySummary>> PgStore::summarizeRange(const RangeSelection &range, ItemCounts counts)
{
    Operation op(m_db, Wait::Long);
    RangeSummaries days;
    if (!op.open() || !walkRange(range, counts == ItemCounts::Counted, [&days](DaySummary &&day) {
            days.append(std::move(day));
            return true;
        }))
        return failed<QList<DaySummary>>();
    return {days.take(), std::nullopt};
}

Outcome PgStore::forEachDay(const RangeSelection &range, const std::function<bool(const StoredDay &)> &take)
{
    Operation op(m_db, Wait::Long);
    if (!op.open())
        return failed<Done>();
    // Each day's items are the person's, for two people may save the same project and date.
    bool itemsRead = true;
    const bool walked = walkRange(range, false, [&](DaySummary &&summary) {
        StoredDay day{std::move(summary), {}};
        std::vector<ReadItem> read;
        itemsRead = m_db.run("SELECT WKCODE, WKHEAD, DETAIL, WKCODE IS NULL FROM DF_WKCONT WHERE WKUSER = $1 AND "
                             "PJKEY = $2 AND WKYMD = $3 ORDER BY ROWNO",
                             {day.summary.person, AsciiFolded(day.summary.code), day.summary.date},
                             [&read](const Row &row) {
                                 read.push_back({WorkItem{row.text(0), row.text(1), row.text(2)}, row.truth(3)});
                                 return true;
                             });
        day.items = InListOrder(std::move(read));
        day.summary.itemCount = int(day.items.size());
        return itemsRead && take(day);
    });
    if (!walked || !itemsRead)
        return failed<Done>();
    return {};
}

Result<TeamPeople> PgStore::teamPeople()
{
    Operation op(m_db);
    Result<TeamPeople> result;
    TeamPeople &people = result.value;
    if (!op.open() || !m_db.run("SELECT session_user, pg_has_role(session_user, 'worvane_lead', 'MEMBER')", {},
                                [&people](const Row &row) {
                                    people.self = row.text(0);
                                    people.lead = row.truth(1);
                                    return false;
                                }) ||
        !readOthers(People::everyone()) ||
        // Everyone with a saved day the reader reads (each name found in the day index by a step past the
        // last, instead of reading every day); for a lead, every login of worvane_user too.
        !m_db.run("WITH RECURSIVE saved(name) AS ((SELECT WKUSER FROM DF_WKTIME ORDER BY WKUSER LIMIT 1) UNION ALL "
                  "SELECT (SELECT WKUSER FROM DF_WKTIME WHERE WKUSER > saved.name ORDER BY WKUSER LIMIT 1) FROM "
                  "saved WHERE saved.name IS NOT NULL) "
                  "SELECT name FROM (SELECT name FROM saved WHERE name IS NOT NULL UNION SELECT r.rolname::text "
                  "FROM pg_roles r WHERE r.rolcanlogin AND NOT r.rolsuper AND pg_has_role(session_user, "
                  "'worvane_lead', 'MEMBER') AND pg_has_role(r.oid, 'worvane_user', 'MEMBER')) n "
                  "ORDER BY name COLLATE \"C\"",
                  {}, [&people](const Row &row) {
            people.names << row.text(0);
            return true;
        }))
        return failed<TeamPeople>();
    return result;
}

// ---- Moving reports ---------------------------------------------------------------------------------

Result<ReportRows> PgStore::readReports(const QString &person)
{
    Operation op(m_db, Wait::Long);
    Result<ReportRows> result;
    ReportRows &rows = result.value;
    const QVariantList whose{person};
    if (!op.open() || !readOthers(People::everyone()) ||
        !m_db.run("SELECT PJCODE, PJNAME, ENTYMD, UPDYMD FROM DM_PRJMST ORDER BY ROWNO", {},
                  [&rows](const Row &row) {
                      rows.projects.append({row.text(0), row.nullable(1), row.nullable(2), row.nullable(3)});
                      return true;
                  }) ||
        !m_db.run(QStringLiteral("SELECT PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD FROM DF_WKTIME WHERE WKUSER = %1 "
                                 "ORDER BY ROWNO")
                      .arg(QLatin1String(PersonSql)),
                  whose,
                  [&rows](const Row &row) {
                      rows.days.append({row.text(0), row.text(1), row.nullable(2), row.nullable(3), row.nullable(4),
                                        row.nullable(5)});
                      return true;
                  }) ||
        !m_db.run(QStringLiteral("SELECT PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL FROM DF_WKCONT WHERE WKUSER = %1 "
                                 "ORDER BY ROWNO")
                      .arg(QLatin1String(PersonSql)),
                  whose,
                  [&rows](const Row &row) {
                      rows.items.append({row.text(0), row.text(1), row.nullable(2), row.nullable(3), row.nullable(4)});
                      return true;
                  }))
        return failed<ReportRows>();
    return result;
}

Result<CopyCounts> PgStore::writeReports(const ReportRows &rows, const QString &person)
{
    if (const std::optional<Unstorable> bad = FindUnstorable(rows))
        return Result<CopyCounts>::failure(unstorable(*bad));
    Operation op(m_db, Wait::Long);
    if (!op.open())
        return failed<CopyCounts>();
    const auto count = [&](qint64 &days, qint64 &items) {
        std::optional<QString> d, i;
        const bool read =
            m_db.first("SELECT COUNT(*) FROM DF_WKTIME WHERE WKUSER = COALESCE(NULLIF($1, ''), session_user)", {person}, d) &&
            m_db.first("SELECT COUNT(*) FROM DF_WKCONT WHERE WKUSER = COALESCE(NULLIF($1, ''), session_user)", {person}, i);
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
        std::optional<QString> known;
        if (!m_db.first("SELECT COUNT(*) FROM DM_PRJMST WHERE PJKEY = $1", {AsciiFolded(p.code)}, known))
            return failed<CopyCounts>();
        if (known && known->toInt() > 0) {
            ++counts.projectsKept;
            continue;
        }
        if (!m_db.run("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD, UPDYMD) VALUES ($1, $2, $3, $4)",
                      {p.code, orNull(p.name), orNull(p.entered), orNull(p.updated)}))
            return failed<CopyCounts>();
        ++counts.projectsAdded;
    }
    std::optional<QString> who;
    if (!m_db.first("SELECT COALESCE(NULLIF($1, ''), session_user)", {person}, who))
        return failed<CopyCounts>();
    QList<QVariantList> days, items;
    for (const ReportRows::Day &d : rows.days)
        days.append({d.code, d.date, orNull(d.start), orNull(d.end), orNull(d.entered), orNull(d.updated), *who});
    for (const ReportRows::Item &i : rows.items)
        items.append({i.code, i.date, orNull(i.number), orNull(i.head), orNull(i.detail), *who});
    if (!insertRows(m_db, "INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD, WKUSER) VALUES ", 7,
                    days) ||
        !insertRows(m_db, "INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER) VALUES ", 6, items))
        return failed<CopyCounts>();
    counts.days = int(rows.days.size());
    counts.items = int(rows.items.size());
    // The destination holds exactly what it held before and what was read.
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

} // namespace worvane::postgres
