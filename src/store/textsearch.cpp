#include "store/textsearch.h"

#include "rules/searchtext.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/values.h"

#include <QDate>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <limits>

namespace worvane
{

namespace
{
// An item's key in the index: its day in the high bits, so that the index hands out hits newest first
// by walking its keys downwards; a running number for the items of one date in the low bits. Dates
// that are not dates share day 0, after every real one.
constexpr int DayShift = 32;

qint64 dayBase(const QString &ymd)
{
    const QDate date = QDate::fromString(ymd, QStringLiteral("yyyy/MM/dd"));
    return date.isValid() ? qint64(date.toJulianDay()) << DayShift : 0;
}

const char *const indexStatements[] = {
    "CREATE TABLE WKSEARCH_ITEM (ID INTEGER PRIMARY KEY, PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, WKCODE TEXT)",
    "CREATE INDEX WKSEARCH_ITEM_DAY ON WKSEARCH_ITEM (PJCODE, WKYMD)",
    "CREATE VIRTUAL TABLE WKSEARCH USING fts5(BODY, tokenize = 'trigram case_sensitive 1', detail = none)",
    "CREATE TABLE WKSEARCH_DIRTY (PJCODE TEXT COLLATE NOCASE, WKYMD TEXT)",
    "CREATE TABLE WKSEARCH_STATE (NAME TEXT PRIMARY KEY, VALUE TEXT)",
    "INSERT INTO WKSEARCH_STATE VALUES ('built_to', ''), ('built_code', ''), ('built_days', '0'), ('ready', '0')",
    DateIndexStatement,
    DayItemsIndexStatement,
};

// Every change of a day's items or of its working-time row's key logs the day, unless the log holds it
// already: the WHEN clause keeps a save of many items of one day from running the trigger's body for
// each. Plain SQL, no function of this program: any program that writes the file keeps the log.
const char *const triggerNames[] = {"WKSEARCH_CONT_INSERT", "WKSEARCH_CONT_DELETE", "WKSEARCH_CONT_UPDATE",
                                    "WKSEARCH_TIME_INSERT", "WKSEARCH_TIME_DELETE", "WKSEARCH_TIME_UPDATE"};
QString triggerStatement(int which)
{
    static const char *const events[] = {"INSERT ON DF_WKCONT",   "DELETE ON DF_WKCONT",
                                         "UPDATE ON DF_WKCONT",   "INSERT ON DF_WKTIME",
                                         "DELETE ON DF_WKTIME",   "UPDATE OF PJCODE, WKYMD ON DF_WKTIME"};
    const auto unlogged = [](const char *row) {
        return QStringLiteral("NOT EXISTS (SELECT 1 FROM WKSEARCH_DIRTY d WHERE d.PJCODE = %1.PJCODE AND "
                              "d.WKYMD = %1.WKYMD)")
            .arg(QLatin1String(row));
    };
    const auto log = [&](const char *row) {
        return QStringLiteral("INSERT INTO WKSEARCH_DIRTY SELECT %1.PJCODE, %1.WKYMD WHERE %2; ")
            .arg(QLatin1String(row), unlogged(row));
    };
    const bool isInsert = which % 3 == 0, isDelete = which % 3 == 1;
    QStringList when;
    QString body;
    for (const char *row : {"old", "new"}) {
        if ((row[0] == 'o' && isInsert) || (row[0] == 'n' && isDelete))
            continue;
        when << unlogged(row);
        body += log(row);
    }
    return QStringLiteral("CREATE TRIGGER %1 AFTER %2 WHEN %3 BEGIN %4END")
        .arg(QLatin1String(triggerNames[which]), QLatin1String(events[which]), when.join(QStringLiteral(" OR ")),
             body);
}

// The condition that finds a word anywhere in an item's search form. The search form is already
// case-folded, so the case-sensitive GLOB is the right comparison, and the trigram index serves it.
// The index serves words of three characters and more only, and this engine's trigram code mistakes
// shorter words (it finds nothing, or fails): those, and words holding GLOB's own characters, are
// compared with instr() while the rows are read.
std::pair<QString, QString> wordCondition(const QString &word)
{
    const bool indexable = word.toUcs4().size() >= 3 && !word.contains(u'*') && !word.contains(u'?') &&
                           !word.contains(u'[');
    if (indexable)
        return {QStringLiteral(" AND f.BODY GLOB ?"), QLatin1Char('*') + word + QLatin1Char('*')};
    return {QStringLiteral(" AND instr(f.BODY, ?) > 0"), word};
}

QString bodyOf(const QString &head, const QString &detail)
{
    return SearchForm(head) + QLatin1Char('\n') + SearchForm(detail);
}

bool matchesAll(const QString &body, const QStringList &words)
{
    return std::all_of(words.begin(), words.end(), [&](const QString &w) { return body.contains(w); });
}

bool exists(Connection &db, const char *table)
{
    if (db.isServer())
        return false; // a team database is searched by reading its items
    std::optional<QVariant> found;
    return db.queryFirst(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = ?"), {QLatin1String(table)},
                         found) &&
           found.has_value();
}

// Makes the log's triggers the ones above, replacing any that an earlier version of the program made
// (or that another program changed); in a transaction of its own unless the caller holds one. False
// when that could not be done.
bool ensureTriggers(Connection &db, bool inTransaction = false)
{
    QSqlQuery stored = db.newQuery();
    if (!db.exec(stored, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'trigger'")))
        return false;
    QHash<QString, QString> have;
    while (stored.next())
        have.insert(stored.value(0).toString(), stored.value(1).toString());
    stored.finish();
    QList<int> stale;
    for (int t = 0; t < int(std::size(triggerNames)); ++t)
        if (have.value(QLatin1String(triggerNames[t])) != triggerStatement(t))
            stale.append(t);
    if (stale.isEmpty())
        return true;
    if (!inTransaction && !db.begin())
        return false;
    for (const int t : stale)
        if (!db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(triggerNames[t]))) ||
            !db.exec(triggerStatement(t))) {
            if (!inTransaction)
                db.rollback();
            return false;
        }
    return inTransaction || db.commit();
}

QString stateValue(Connection &db, const char *name)
{
    std::optional<QVariant> value;
    db.queryFirst(QStringLiteral("SELECT VALUE FROM WKSEARCH_STATE WHERE NAME = ?"), {QLatin1String(name)}, value);
    return value ? NullToEmpty(*value) : QString();
}

bool setState(Connection &db, const char *name, const QVariant &value)
{
    return db.exec(QStringLiteral("UPDATE WKSEARCH_STATE SET VALUE = ? WHERE NAME = ?"),
                   {value, QLatin1String(name)});
}

// Puts one day's items into the index as they stand now, replacing what it held for the day. Its
// statements run on the file's own SQLite connection: a build inserts millions of entries.
class DayIndexer
{
public:
    explicit DayIndexer(Connection &db)
        : m_dropBodies(db, QStringLiteral("DELETE FROM WKSEARCH WHERE rowid IN (SELECT ID FROM WKSEARCH_ITEM "
                                          "WHERE PJCODE = ? AND WKYMD = ?)")),
          m_dropItems(db, QStringLiteral("DELETE FROM WKSEARCH_ITEM WHERE PJCODE = ? AND WKYMD = ?")),
          m_items(db, QStringLiteral("SELECT c.PJCODE, c.WKCODE, c.WKHEAD, c.DETAIL FROM DF_WKCONT c WHERE "
                                     "c.PJCODE = ? AND c.WKYMD = ? AND EXISTS (SELECT 1 FROM DF_WKTIME t "
                                     "WHERE t.PJCODE = c.PJCODE AND t.WKYMD = c.WKYMD)")),
          m_top(db, QStringLiteral("SELECT MAX(ID) FROM WKSEARCH_ITEM WHERE ID BETWEEN ? AND ?")),
          m_addItem(db, QStringLiteral("INSERT INTO WKSEARCH_ITEM VALUES (?, ?, ?, ?)")),
          m_addBody(db, QStringLiteral("INSERT INTO WKSEARCH (rowid, BODY) VALUES (?, ?)"))
    {
    }

    bool reindex(const QVariant &code, const QVariant &date)
    {
        if (!m_dropBodies.run({code, date}) || !m_dropItems.run({code, date}))
            return false;
        const qint64 base = dayBase(NullToEmpty(date));
        qint64 next = -1;
        bool added = true;
        const bool read = m_items.run({code, date}, [&](const QByteArrayView *item) {
            if (next < 0) {
                // The items of one date, whatever their project, are numbered on from the last one held.
                next = base;
                added = m_top.run({base, base + (qint64(1) << DayShift) - 1}, [&](const QByteArrayView *top) {
                    if (!top[0].isEmpty())
                        next = top[0].toByteArray().toLongLong() + 1;
                    return true;
                });
            }
            added = added && m_addItem.run({next, QString::fromUtf8(item[0]), date, QString::fromUtf8(item[1])}) &&
                    m_addBody.run({next, bodyOf(QString::fromUtf8(item[2]), QString::fromUtf8(item[3]))});
            ++next;
            return added;
        });
        return read && added;
    }

private:
    Statement m_dropBodies, m_dropItems, m_items, m_top, m_addItem, m_addBody;
};

// Indexes the logged days again and empties the log, in one transaction. False when that could not be
// done (the index is then not used for this search).
bool refresh(Connection &db)
{
    std::optional<QVariant> any;
    if (!ensureTriggers(db) || !db.queryFirst(QStringLiteral("SELECT 1 FROM WKSEARCH_DIRTY LIMIT 1"), {}, any))
        return false;
    if (!any)
        return true;
    if (!db.begin())
        return false;
    QSqlQuery days = db.newQuery();
    if (!db.exec(days, QStringLiteral("SELECT DISTINCT PJCODE, WKYMD FROM WKSEARCH_DIRTY")))
        return false;
    QList<std::pair<QVariant, QVariant>> logged;
    while (days.next())
        logged.append({days.value(0), days.value(1)});
    DayIndexer indexer(db);
    for (const auto &[code, date] : logged)
        if (!indexer.reindex(code, date))
            return false;
    return db.exec(QStringLiteral("DELETE FROM WKSEARCH_DIRTY")) && db.commit();
}

template <class Result> Result failed(const Connection &db)
{
    Result result;
    result.ok = false;
    result.error = db.error();
    return result;
}

// Hits in the order a page shows them: newest day first, then code, then item number.
void sortHits(QList<SearchHit> &hits)
{
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit &a, const SearchHit &b) {
        if (a.date != b.date)
            return a.date > b.date;
        if (const int c = a.code.compare(b.code, Qt::CaseInsensitive))
            return c < 0;
        return a.itemCode.toInt() < b.itemCode.toInt();
    });
}

// The project names of the hits, from the master.
bool nameHits(Connection &db, QList<SearchHit> &hits)
{
    QSqlQuery query = db.newQuery();
    if (!db.prepare(query, QStringLiteral("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? ORDER BY rowid LIMIT 1")))
        return false;
    QHash<QString, QString> names;
    for (SearchHit &hit : hits) {
        const QString key = hit.code.toUpper();
        auto it = names.find(key);
        if (it == names.end()) {
            if (!db.run(query, {hit.code}))
                return false;
            it = names.insert(key, query.next() ? NullToEmpty(query.value(0)) : QString());
        }
        hit.name = *it;
    }
    return true;
}

SearchPage searchIndex(Connection &db, const SearchRequest &request, const QStringList &words,
                       const QString &before, int pageSize)
{
    QString sql = QStringLiteral("SELECT i.ID, i.PJCODE, i.WKYMD, i.WKCODE FROM WKSEARCH f JOIN WKSEARCH_ITEM i "
                                 "ON i.ID = f.rowid WHERE f.rowid < ? AND f.rowid >= ?");
    qint64 upper = std::numeric_limits<qint64>::max();
    if (!before.isEmpty())
        upper = dayBase(before);
    else if (!request.to.isEmpty())
        upper = dayBase(request.to) + (qint64(1) << DayShift);
    const qint64 lower = request.from.isEmpty() ? std::numeric_limits<qint64>::min() : dayBase(request.from);
    QVariantList values{upper, lower};
    for (const QString &word : words) {
        const auto [condition, value] = wordCondition(word);
        sql += condition;
        values << value;
    }
    if (request.codePattern) {
        sql += QStringLiteral(" AND i.PJCODE LIKE ?");
        values << LikePattern(*request.codePattern);
    }
    sql += QStringLiteral(" ORDER BY f.rowid DESC LIMIT ?");

    SearchPage page;
    page.indexed = true;
    QSqlQuery query = db.newQuery();
    qint64 lastId = 0;
    int fetched = 0;
    const auto take = [&](const QVariantList &bound) {
        if (!db.exec(query, sql, bound))
            return false;
        while (query.next()) {
            lastId = query.value(0).toLongLong();
            ++fetched;
            page.hits.append(SearchHit{NullToEmpty(query.value(2)), NullToEmpty(query.value(1)), {},
                                       NullToEmpty(query.value(3)), {}, {}});
        }
        return true;
    };
    if (!take(QVariantList(values) << pageSize))
        return failed<SearchPage>(db);
    if (fetched == pageSize) {
        // The rest of the last day, so that the page ends with a whole day.
        const qint64 lastDay = lastId >> DayShift << DayShift;
        QVariantList rest = values;
        rest[0] = lastId;
        rest[1] = std::max(lower, lastDay);
        if (!take(rest << -1))
            return failed<SearchPage>(db);
        page.nextBefore = page.hits.last().date;
        if (lastDay == 0) // the dates that are not dates come last, all at once
            page.nextBefore.reset();
    }

    // Titles and details from the items themselves.
    QSqlQuery item = db.newQuery();
    if (!db.prepare(item, QStringLiteral("SELECT WKHEAD, DETAIL FROM DF_WKCONT WHERE PJCODE = ? AND WKYMD = ? "
                                         "AND WKCODE = ? ORDER BY rowid LIMIT 1")))
        return failed<SearchPage>(db);
    for (SearchHit &hit : page.hits) {
        if (!db.run(item, {hit.code, hit.date, hit.itemCode}))
            return failed<SearchPage>(db);
        if (item.next()) {
            hit.head = NullToEmpty(item.value(0));
            hit.detail = NullToEmpty(item.value(1));
        }
    }
    if (!nameHits(db, page.hits))
        return failed<SearchPage>(db);
    sortHits(page.hits);
    return page;
}

SearchPage searchByReading(Connection &db, const SearchRequest &request, const QStringList &words,
                           const QString &before, int pageSize)
{
    QString sql = QStringLiteral("SELECT t.WKYMD, t.PJCODE, c.WKCODE, c.WKHEAD, c.DETAIL, t.rowid FROM DF_WKTIME t "
                                 "JOIN DF_WKCONT c ON c.PJCODE = t.PJCODE COLLATE NOCASE AND c.WKYMD = t.WKYMD "
                                 "WHERE 1 = 1");
    QVariantList values;
    const auto bound = [&](const char *condition, const QVariant &value) {
        sql += QLatin1String(condition);
        values << value;
    };
    if (!before.isEmpty())
        bound(" AND t.WKYMD < ?", before);
    if (!request.from.isEmpty())
        bound(" AND t.WKYMD >= ?", request.from);
    if (!request.to.isEmpty())
        bound(" AND t.WKYMD <= ?", request.to);
    if (request.codePattern)
        bound(" AND t.PJCODE LIKE ?", LikePattern(*request.codePattern));
    sql += QStringLiteral(" ORDER BY t.WKYMD DESC, t.PJCODE, t.rowid, CAST(c.WKCODE AS INTEGER), c.WKCODE, c.rowid");

    QSqlQuery query = db.newQuery();
    if (!db.exec(query, sql, values))
        return failed<SearchPage>(db);
    SearchPage page;
    QString dayKey;    // date and code of the day being read
    QVariant dayRow;   // its working-time row: a second row of the same day is skipped
    bool skipping = false;
    while (query.next()) {
        const QString date = NullToEmpty(query.value(0));
        if (page.hits.size() >= pageSize && date != page.hits.last().date) {
            page.nextBefore = page.hits.last().date;
            break;
        }
        const QVariant row = query.value(5);
        if (row != dayRow) {
            const QString key = date + QLatin1Char('\t') + NullToEmpty(query.value(1)).toLower();
            skipping = key == dayKey;
            dayKey = key;
            dayRow = row;
        }
        if (skipping)
            continue;
        const QString head = NullToEmpty(query.value(3)), detail = NullToEmpty(query.value(4));
        if (matchesAll(bodyOf(head, detail), words))
            page.hits.append(SearchHit{date, NullToEmpty(query.value(1)), {}, NullToEmpty(query.value(2)), head, detail});
    }
    query.finish(); // a server's connection answers one query at a time
    if (!nameHits(db, page.hits))
        return failed<SearchPage>(db);
    return page;
}
} // namespace

TextSearch::TextSearch(QString databasePath, int busyTimeoutMs)
    : m_path(std::move(databasePath)), m_busyTimeoutMs(busyTimeoutMs)
{
}

IndexStatus TextSearch::status() const
{
    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open())
        return failed<IndexStatus>(db);
    IndexStatus status;
    status.writable = ReadOnlyReason(m_path).isEmpty() && !db.isServer();
    status.ready = exists(db, "WKSEARCH_STATE") && stateValue(db, "ready") == QLatin1String("1");
    return status;
}

Outcome TextSearch::build(const std::function<bool(qint64, qint64)> &progress) const
{
    if (const QString why = ReadOnlyReason(m_path); !why.isEmpty())
        return Outcome{false, why};
    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open())
        return Outcome{false, db.error()};
    // A larger page cache than the default 2 MB: the index's pages are written many times over.
    db.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    if (!exists(db, "WKSEARCH_STATE")) {
        if (!db.begin())
            return Outcome{false, db.error()};
        for (const char *sql : indexStatements)
            if (!db.exec(QString::fromLatin1(sql)))
                return Outcome{false, db.error()};
        if (!ensureTriggers(db, true) || !db.commit())
            return Outcome{false, db.error()};
    } else if (!ensureTriggers(db)) {
        return Outcome{false, db.error()};
    }
    if (stateValue(db, "ready") == QLatin1String("1"))
        return {};

    std::optional<QVariant> total;
    if (!db.queryFirst(QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME"), {}, total))
        return Outcome{false, db.error()};
    // The days in (date, code) order, a step of them per transaction; where the build stands is kept
    // with each step, so that a stopped build goes on from there.
    constexpr int Step = 200;
    for (;;) {
        if (!db.begin())
            return Outcome{false, db.error()};
        const QString date = stateValue(db, "built_to"), code = stateValue(db, "built_code");
        qint64 done = stateValue(db, "built_days").toLongLong();
        QSqlQuery days = db.newQuery();
        if (!db.exec(days,
                     QStringLiteral("SELECT PJCODE, WKYMD FROM DF_WKTIME WHERE (WKYMD, PJCODE) > (?, ?) "
                                    "ORDER BY WKYMD, PJCODE LIMIT ?"),
                     {date, code, Step}))
            return Outcome{false, db.error()};
        QList<std::pair<QVariant, QVariant>> step;
        while (days.next())
            step.append({days.value(0), days.value(1)});
        DayIndexer indexer(db);
        for (const auto &[c, d] : step)
            if (!indexer.reindex(c, d))
                return Outcome{false, db.error()};
        done += step.size();
        const bool finished = step.size() < Step;
        if ((!step.isEmpty() && !(setState(db, "built_to", step.last().second) &&
                                  setState(db, "built_code", step.last().first))) ||
            !setState(db, "built_days", done) || (finished && !setState(db, "ready", 1)) || !db.commit())
            return Outcome{false, db.error()};
        if (finished)
            return {};
        if (progress && !progress(done, std::max(done, total->toLongLong())))
            return {};
    }
}

SearchPage TextSearch::search(const SearchRequest &request, const QString &before, int pageSize) const
{
    const QStringList words = SearchWords(request.text);
    if (words.isEmpty())
        return {};
    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open())
        return failed<SearchPage>(db);
    // The index answers when it is built and holds every change; a file that cannot be written, and
    // whose log is not empty, is read item by item.
    const bool ready = exists(db, "WKSEARCH_STATE") && stateValue(db, "ready") == QLatin1String("1");
    const bool fresh = ready && (ReadOnlyReason(m_path).isEmpty() ? refresh(db) : [&] {
        std::optional<QVariant> any;
        return db.queryFirst(QStringLiteral("SELECT 1 FROM WKSEARCH_DIRTY LIMIT 1"), {}, any) && !any;
    }());
    if (ready && !fresh)
        db.rollback();
    return fresh ? searchIndex(db, request, words, before, pageSize)
                 : searchByReading(db, request, words, before, pageSize);
}

qint64 TextSearch::indexBytes() const
{
    Connection db(m_path, m_busyTimeoutMs);
    std::optional<QVariant> bytes;
    if (!db.open() || !db.queryFirst(QStringLiteral("SELECT SUM(pgsize) FROM dbstat WHERE name LIKE 'WKSEARCH%'"),
                                     {}, bytes) ||
        !bytes)
        return -1;
    return bytes->toLongLong();
}

} // namespace worvane
