#include "store/reportstore.h"

#include "core/clock.h"
#include "store/connection.h"
#include "store/dayindexes.h"
#include "store/schema.h"
#include "store/values.h"

#include <QCryptographicHash>
#include <QVarLengthArray>

#include <algorithm>
#include <tuple>
#include <vector>
#include <QSqlQuery>

namespace worvane
{

namespace
{
Outcome failure(const Connection &connection)
{
    return Outcome{false,          connection.error(), connection.unreachable(), connection.conflict(),
                   connection.busy(), connection.diskFull()};
}

template <class Result> Result failed(const Connection &connection)
{
    Result result;
    static_cast<Outcome &>(result) = failure(connection);
    return result;
}
// Opens the file for a range query, with the range indexes. A range is read day by day over them, each
// page about once, so SQLite's default page cache is enough for a range of any length.
bool openForRange(Connection &db)
{
    if (!db.open())
        return false;
    EnsureDayIndexes(db);
    return true;
}

// Appends text in UTF-8 as QString::toUtf8 writes it (a lone surrogate as '?'), the bytes a string is
// stored as (see Statement), without a QByteArray of its own. out has room for 3 bytes a UTF-16 unit.
char *writeUtf8(char *out, QStringView text)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const char32_t c = *p++;
        if (c < 0x80) {
            *out++ = char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t u = QChar::surrogateToUcs4(char16_t(c), *p++);
            *out++ = char(0xF0 | (u >> 18));
            *out++ = char(0x80 | ((u >> 12) & 0x3F));
            *out++ = char(0x80 | ((u >> 6) & 0x3F));
            *out++ = char(0x80 | (u & 0x3F));
        } else {
            *out++ = '?';
        }
    }
    return out;
}

// An item's number as the list orders items: its code read as a whole number, blanks around it allowed.
int itemNumber(QStringView code)
{
    return code.trimmed().toInt();
}

// The same of a code in UTF-8; a code is ASCII but in a file made elsewhere.
int itemNumber(QByteArrayView code)
{
    QVarLengthArray<char16_t, 8> wide;
    for (const char c : code) {
        if (uchar(c) >= 0x80)
            return itemNumber(QString::fromUtf8(code));
        wide.append(char16_t(uchar(c)));
    }
    return itemNumber(QStringView(wide.constData(), wide.size()));
}

// A day's texts as its stamp takes them (see DayStamp): in UTF-8, each followed by a zero byte, all in
// one buffer, without an allocation per text.
class StampTexts
{
public:
    explicit StampTexts(qsizetype items) { m_items.reserve(size_t(items)); }

    void add(QByteArrayView code, QByteArrayView head, QByteArrayView detail)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + code.size() + head.size() + detail.size() + 3);
        char *out = m_bytes.data() + at;
        for (const QByteArrayView text : {code, head, detail}) {
            out = std::copy(text.begin(), text.end(), out);
            *out++ = '\0';
        }
        m_items.push_back({itemNumber(code), at, code.size(), head.size(), detail.size()});
    }

    void add(const WorkItem &item)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + 3 * (item.code.size() + item.head.size() + item.detail.size()) + 3);
        char *const start = m_bytes.data() + at;
        char *out = start;
        qsizetype sizes[3];
        for (int t = 0; t < 3; ++t) {
            char *const text = out;
            out = writeUtf8(out, t == 0 ? item.code : t == 1 ? item.head : item.detail);
            sizes[t] = out - text;
            *out++ = '\0';
        }
        m_bytes.truncate(at + (out - start));
        m_items.push_back({itemNumber(QStringView(item.code)), at, sizes[0], sizes[1], sizes[2]});
    }

    QString stamp(bool hasTimeRow, QByteArrayView startTime, QByteArrayView endTime)
    {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const QByteArrayView text : {QByteArrayView(hasTimeRow ? "day" : "none"), startTime, endTime}) {
            hash.addData(text);
            hash.addData(QByteArrayView("\0", 1));
        }
        // In one order, whatever order a list or the store holds them in: the texts' when the numbers are
        // equal. Items already in that order, as stored ones mostly are, are taken in one piece.
        const auto before = [this](const Item &a, const Item &b) {
            const auto key = [this](const Item &item) {
                const char *text = m_bytes.constData() + item.at;
                return std::tuple(item.number, QByteArrayView(text, item.code),
                                  QByteArrayView(text + item.code + 1, item.head),
                                  QByteArrayView(text + item.code + item.head + 2, item.detail));
            };
            return key(a) < key(b);
        };
        if (std::is_sorted(m_items.begin(), m_items.end(), before)) {
            hash.addData(m_bytes);
        } else {
            std::stable_sort(m_items.begin(), m_items.end(), before);
            for (const Item &item : m_items)
                hash.addData(QByteArrayView(m_bytes.constData() + item.at, item.code + item.head + item.detail + 3));
        }
        return QString::fromLatin1(hash.result().toHex());
    }

private:
    struct Item {
        int number;
        qsizetype at, code, head, detail; // where its texts begin in the buffer, and their sizes
    };
    QByteArray m_bytes;
    std::vector<Item> m_items;
};

// A day's items: numeric order of WKCODE, then text order.
constexpr const char *DayItemsSql = "SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT "
                                    "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                                    "ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid";

// What of a stored day readDay reads besides its working-time row.
enum class DayPart { Whole, StampOnly, TimeRowOnly };

// The day as stored: its first working-time row, then its items, and the stamp of the two; StampOnly leaves
// the items in the stamp only, TimeRowOnly reads neither. For a save (timeRow given, in the save's
// transaction) also the time row's rowid (0 when there is none), the row locked on a server until the
// commit.
bool readDay(Connection &db, const QString &code, const QString &date, DayLoad &day, DayPart part = DayPart::Whole,
             qint64 *timeRow = nullptr)
{
    QString sql = QStringLiteral("SELECT WSTIME, WETIME, rowid FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND "
                                 "WKYMD = ? ORDER BY rowid LIMIT 1");
    if (timeRow && db.isServer())
        sql += QStringLiteral(" FOR UPDATE");
    day = DayLoad{};
    qint64 rowid = 0;
    if (!db.eachRow(sql, {code, date}, [&](const QByteArrayView *row) {
            day.hasTimeRow = true;
            day.startTime = QString::fromUtf8(row[0]);
            day.endTime = QString::fromUtf8(row[1]);
            rowid = row[2].toByteArray().toLongLong();
            return true;
        }))
        return false;
    if (timeRow)
        *timeRow = rowid;
    if (part == DayPart::TimeRowOnly)
        return true;
    StampTexts stamped(100);
    if (day.hasTimeRow && !db.eachRow(QString::fromLatin1(DayItemsSql), {code, date}, [&](const QByteArrayView *row) {
            stamped.add(row[0], row[1], row[2]);
            if (part == DayPart::Whole)
                day.items.append(
                    WorkItem{QString::fromUtf8(row[0]), QString::fromUtf8(row[1]), QString::fromUtf8(row[2])});
            return true;
        }))
        return false;
    day.stamp = stamped.stamp(day.hasTimeRow, day.startTime.toUtf8(), day.endTime.toUtf8());
    return true;
}

struct RangeQuery {
    QString from;
    QString to;
    std::optional<QString> codePattern;
    bool countItems;
    People people;
};

// On the team database, lets a lead's connection read other people's days (the lead_reads policy); a
// person who is no lead still reads their own only.
bool readOthers(Connection &db, const People &people)
{
    return !db.isServer() || !people.others() || db.exec(QStringLiteral("SET worvane.people = 'all'"));
}

// Hands each day of a range to visit (date order, then code order, by the date index) until visit returns
// false; with countItems each day's items are counted over the (code, date) index, never read. A second
// working-time row of a day is passed over. False when the database fails.
template <class Visit> bool walkRange(Connection &db, const RangeQuery &range, Visit visit)
{
    // On the team database the person is read too (last), and is part of the day.
    const bool server = db.isServer();
    QString sql =
        QStringLiteral("SELECT t.PJCODE, (SELECT p.PJNAME FROM DM_PRJMST p WHERE p.PJCODE = "
                       "t.PJCODE COLLATE NOCASE ORDER BY p.rowid LIMIT 1), t.WKYMD, t.WSTIME, t.WETIME");
    if (range.countItems)
        sql += QStringLiteral(", (SELECT COUNT(*) FROM DF_WKCONT c WHERE c.PJCODE = t.PJCODE COLLATE NOCASE "
                              "AND c.WKYMD = t.WKYMD%1)")
                   .arg(server ? QStringLiteral(" AND c.WKUSER = t.WKUSER") : QString());
    if (server)
        sql += QStringLiteral(", t.WKUSER");
    sql += QStringLiteral(" FROM DF_WKTIME t WHERE t.WKYMD BETWEEN ? AND ?");
    QVariantList values{range.from, range.to};
    if (range.codePattern) {
        sql += QStringLiteral(" AND t.PJCODE LIKE ?");
        values << LikePattern(*range.codePattern);
    }
    if (server && range.people.kind == People::Kind::One) {
        sql += QStringLiteral(" AND t.WKUSER = ?");
        values << range.people.name;
    }
    sql += server ? QStringLiteral(" ORDER BY t.WKYMD, t.PJCODE COLLATE NOCASE, t.WKUSER, t.rowid")
                  : QStringLiteral(" ORDER BY t.WKYMD, t.PJCODE COLLATE NOCASE, t.rowid");

    if (!readOthers(db, range.people))
        return false;
    const int personColumn = range.countItems ? 6 : 5;
    QString previousKey; // date, code and person of the last day, folded as NOCASE folds: ASCII letters only
    return db.eachRow(sql, values, [&](const QByteArrayView *row) {
        DaySummary day{QString::fromUtf8(row[0]),
                       QString::fromUtf8(row[1]),
                       QString::fromUtf8(row[2]),
                       QString::fromUtf8(row[3]),
                       QString::fromUtf8(row[4]),
                       range.countItems ? row[5].toByteArray().toInt() : 0,
                       server ? QString::fromUtf8(row[personColumn]) : QString()};
        QString key = day.date + QLatin1Char('\t') + day.code + QLatin1Char('\t') + day.person;
        for (QChar &c : key)
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                c = QChar(c.unicode() + 32);
        if (key == previousKey)
            return true;
        previousKey = std::move(key);
        return visit(std::move(day));
    });
}
} // namespace

QString DayStamp(bool hasTimeRow, const QString &startTime, const QString &endTime, const QList<WorkItem> &items)
{
    StampTexts stamped(items.size());
    for (const WorkItem &item : items)
        stamped.add(item);
    return stamped.stamp(hasTimeRow, startTime.toUtf8(), endTime.toUtf8());
}

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

namespace
{
// The name of the project with the code, or nothing when the master has no such code.
bool readProjectName(Connection &db, const QString &code, std::optional<QString> &name)
{
    name.reset();
    return db.eachRow(QStringLiteral("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE"), {code},
                      [&name](const QByteArrayView *row) {
                          name = QString::fromUtf8(row[0]);
                          return false;
                      });
}
} // namespace

NameLookup ReportStore::lookupProjectName(const QString &code) const
{
    Connection db(m_path, m_busyTimeoutMs);
    std::optional<QString> name;
    if (!db.open() || !readProjectName(db, code, name))
        return failed<NameLookup>(db);
    NameLookup result;
    result.found = name.has_value();
    result.name = name.value_or(QString());
    return result;
}

DayLoad ReportStore::loadDay(const QString &code, const QString &date) const
{
    Connection db(m_path, m_busyTimeoutMs);
    DayLoad result;
    std::optional<QString> name;
    if (!db.open() || !readProjectName(db, code, name) || !readDay(db, code, date, result))
        return failed<DayLoad>(db);
    result.projectName = name;
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

    // The day as stored, locked: its items only when it must still be the one loaded.
    DayLoad stored;
    qint64 timeRow = 0;
    if (!readDay(db, day.code, day.date, stored, day.loadedStamp ? DayPart::StampOnly : DayPart::TimeRowOnly,
                 &timeRow))
        return failure(db);
    if (day.loadedStamp && stored.stamp != *day.loadedStamp) {
        Outcome changed{false, QStringLiteral("%1 %2 was changed since it was loaded").arg(day.code, day.date)};
        changed.conflict = true;
        return changed;
    }

    const bool timeWritten =
        stored.hasTimeRow
            ? db.exec(QStringLiteral("UPDATE DF_WKTIME SET WSTIME = ?, WETIME = ?, UPDYMD = ? WHERE rowid = ?"),
                      {EmptyToNull(day.startTime), EmptyToNull(day.endTime), timestamp, timeRow})
            : db.exec(QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD) "
                                     "VALUES (?, ?, ?, ?, ?)"),
                      {day.code, day.date, EmptyToNull(day.startTime), EmptyToNull(day.endTime), timestamp});
    if (!timeWritten)
        return failure(db);

    if (!db.exec(QStringLiteral("DELETE FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ?"),
                 {day.code, day.date}))
        return failure(db);

    // The items, DF_WKCONT's five columns in order (the insert names none): on a file one row per run of
    // one prepared statement; on a server, where each statement is a round trip, up to 100 rows per
    // statement (the window lets a day have 99; a file made elsewhere may hold more).
    const qsizetype rowsPerInsert = db.isServer() ? 100 : 1;
    std::optional<Statement> insert;
    qsizetype preparedRows = 0;
    for (qsizetype first = 0; first < day.items.size(); first += rowsPerInsert) {
        const qsizetype rows = std::min(rowsPerInsert, day.items.size() - first);
        if (rows != preparedRows) {
            insert.emplace(db, QStringLiteral("INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)") +
                                   QStringLiteral(", (?, ?, ?, ?, ?)").repeated(rows - 1));
            preparedRows = rows;
        }
        QVariantList values;
        values.reserve(5 * rows);
        for (qsizetype i = first; i < first + rows; ++i) {
            const WorkItem &item = day.items.at(i);
            values << day.code << day.date << item.code << item.head << item.detail;
        }
        if (!insert->run(values))
            return failure(db);
    }

    if (!db.commit())
        return failure(db);
    return {};
}

RangeSummary ReportStore::summarizeRange(const QString &from, const QString &to,
                                         const std::optional<QString> &codePattern, const People &people,
                                         ItemCounts counts) const
{
    Connection db(m_path, m_busyTimeoutMs);
    RangeSummary result;
    if (!openForRange(db) ||
        !walkRange(db, {from, to, codePattern, counts == ItemCounts::Counted, people}, [&result](DaySummary &&day) {
            result.days.append(std::move(day));
            return true;
        }))
        return failed<RangeSummary>(db);
    return result;
}

Outcome ReportStore::forEachDay(const QString &from, const QString &to,
                                const std::optional<QString> &codePattern,
                                const std::function<bool(const StoredDay &)> &take, const People &people) const
{
    Connection db(m_path, m_busyTimeoutMs);
    if (!openForRange(db))
        return failure(db);
    // Each day's items as the day comes: a sort of a few rows per day instead of one of the whole range.
    // On the team database a day's items are the person's, for two people may save the same project and
    // date.
    const bool server = db.isServer();
    Statement items(db, server ? QString::fromLatin1(DayItemsSql)
                                     .replace(QStringLiteral(" ORDER BY"), QStringLiteral(" AND WKUSER = ? ORDER BY"))
                               : QString::fromLatin1(DayItemsSql));
    if (!items.isValid())
        return failure(db);
    bool itemsRead = true;
    const auto withItems = [&](DaySummary &&summary) {
        StoredDay day{std::move(summary.code),      std::move(summary.name),    std::move(summary.date),
                      std::move(summary.startTime), std::move(summary.endTime), {},
                      std::move(summary.person)};
        itemsRead = items.run(server ? QVariantList{day.code, day.date, day.person} : QVariantList{day.code, day.date},
                              [&day](const QByteArrayView *row) {
                                  day.items.append(WorkItem{QString::fromUtf8(row[0]), QString::fromUtf8(row[1]),
                                                            QString::fromUtf8(row[2])});
                                  return true;
                              });
        return itemsRead && take(day);
    };
    // A statement's rows are in hand before the first is handed over (a server's whole result), so each
    // day's items are read while the days are walked, on either engine.
    const bool walked = walkRange(db, {from, to, codePattern, false, people}, withItems);
    if (!walked || !itemsRead)
        return failure(db);
    return {};
}

TeamPeople ReportStore::teamPeople() const
{
    TeamPeople result;
    if (!IsServerUri(m_path))
        return result;
    Connection db(m_path, m_busyTimeoutMs);
    std::optional<QVariant> self, lead;
    if (!db.open() || !db.queryFirst(QStringLiteral("SELECT current_user"), {}, self) ||
        !db.queryFirst(QStringLiteral("SELECT pg_has_role('worvane_lead', 'MEMBER')"), {}, lead) ||
        !readOthers(db, People::everyone()))
        return failed<TeamPeople>(db);
    result.self = self ? self->toString() : QString();
    result.lead = lead && lead->toBool();
    QSqlQuery query = db.newQuery();
    if (!db.exec(query, QStringLiteral("SELECT DISTINCT WKUSER FROM DF_WKTIME ORDER BY WKUSER")))
        return failed<TeamPeople>(db);
    while (query.next())
        result.names << query.value(0).toString();
    if (!db.finished(query))
        return failed<TeamPeople>(db);
    return result;
}

ProjectSearch ReportStore::searchProjects(const std::optional<QString> &codePattern,
                                          const std::optional<QString> &namePattern, int limit,
                                          const std::optional<ProjectPageEnd> &after) const
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
    if (after) {
        // What the code index seeks to: the last code listed, whose rows listed are passed over below.
        conditions << QStringLiteral("PJCODE COLLATE NOCASE >= ? COLLATE NOCASE");
        values << after->code;
    }
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY PJCODE COLLATE NOCASE, rowid");
    if (limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << limit;
        if (after) {
            sql += QStringLiteral(" OFFSET ?");
            values << after->listedOfCode;
        }
    }

    Connection db(m_path, m_busyTimeoutMs);
    ProjectSearch result;
    if (!db.open() || !db.eachRow(sql, values, [&result](const QByteArrayView *columns) {
            result.rows.append(columns[0], columns[1]);
            return true;
        }))
        return failed<ProjectSearch>(db);
    if (limit > 0 && result.rows.size() == limit) {
        // The rows of the last code at the page's end, and before them those of the pages before when
        // the page held that code alone. Codes compare as the engine's NOCASE does: ASCII letters only.
        const qsizetype last = result.rows.size() - 1;
        const QByteArrayView code = result.rows.codeBytes(last);
        const auto sameCode = [&code](QByteArrayView other) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
            return other.size() == code.size() &&
                   std::equal(other.begin(), other.end(), code.begin(),
                              [&lower](char a, char b) { return lower(a) == lower(b); });
        };
        qsizetype row = last;
        while (row > 0 && sameCode(result.rows.codeBytes(row - 1)))
            --row;
        int listed = int(last - row + 1);
        if (row == 0 && after && sameCode(after->code.toUtf8()))
            listed += after->listedOfCode;
        result.next = ProjectPageEnd{result.rows.code(last), listed};
    }
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
