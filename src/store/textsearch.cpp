#include "store/textsearch.h"

#include "core/searchtext.h"
#include "store/connection.h"
#include "store/dayindexes.h"
#include "store/searchindex.h"
#include "store/values.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <limits>
#include <time.h>

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

// A code folded as SQLite's NOCASE folds it: ASCII letters only.
QString asciiFolded(QString code)
{
    for (QChar &c : code)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return code;
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

// The index answers only when it is whole and built to the end.
bool indexReady(Connection &db)
{
    return !db.isServer() && InspectSearchIndex(db) == IndexShape::Whole &&
           stateValue(db, "ready") == QLatin1String("1");
}

// Puts one day's items into the index as they stand now, replacing what it held for the day. A day is its
// first working-time row and the items whose code equals the row's without regard to ASCII case, as a
// load reads it; each entry keeps the day's code as that row holds it and the item's place in the day's
// order, which tells two items of one number apart. Its statements run on the file's own SQLite
// connection: a build inserts millions of entries.
class DayIndexer
{
public:
    explicit DayIndexer(Connection &db)
        : m_dropBodies(db, QStringLiteral("DELETE FROM WKSEARCH WHERE rowid IN (SELECT ID FROM WKSEARCH_ITEM "
                                          "WHERE PJCODE = ? AND WKYMD = ?)")),
          m_dropItems(db, QStringLiteral("DELETE FROM WKSEARCH_ITEM WHERE PJCODE = ? AND WKYMD = ?")),
          m_items(db, QStringLiteral("SELECT t.PJCODE, c.WKHEAD, c.DETAIL FROM (SELECT PJCODE FROM DF_WKTIME "
                                     "WHERE PJCODE = ?1 COLLATE NOCASE AND WKYMD = ?2 ORDER BY rowid LIMIT 1) t "
                                     "JOIN DF_WKCONT c ON c.PJCODE = ?1 COLLATE NOCASE AND c.WKYMD = ?2 "
                                     "ORDER BY CAST(c.WKCODE AS INTEGER), c.WKCODE, c.rowid")),
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
        int place = 0;
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
            added = added && m_addItem.run({next, QString::fromUtf8(item[0]), date, place++}) &&
                    m_addBody.run({next, bodyOf(QString::fromUtf8(item[1]), QString::fromUtf8(item[2]))});
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
    if (!db.queryFirst(QStringLiteral("SELECT 1 FROM WKSEARCH_DIRTY LIMIT 1"), {}, any))
        return false;
    if (!any)
        return true;
    if (!db.begin())
        return false;
    QList<std::pair<QVariant, QVariant>> logged;
    if (!db.eachRow(QStringLiteral("SELECT DISTINCT PJCODE, WKYMD FROM WKSEARCH_DIRTY"), {},
                    [&logged](const QByteArrayView *row) {
                        logged.append({QString::fromUtf8(row[0]), QString::fromUtf8(row[1])});
                        return true;
                    }))
        return false;
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
    result.busy = db.busy();
    return result;
}

// The project names of the hits, from the master.
bool nameHits(Connection &db, QList<SearchHit> &hits)
{
    Statement name(db, QStringLiteral("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE ORDER BY rowid "
                                      "LIMIT 1"));
    QHash<QString, QString> names;
    for (SearchHit &hit : hits) {
        const QString key = asciiFolded(hit.code);
        auto it = names.find(key);
        if (it == names.end()) {
            QString found;
            if (!name.run({hit.code}, [&found](const QByteArrayView *row) {
                    found = QString::fromUtf8(row[0]);
                    return false;
                }))
                return false;
            it = names.insert(key, found);
        }
        hit.name = *it;
    }
    return true;
}

SearchPage searchIndex(Connection &db, const SearchRequest &request, const QStringList &words,
                       const QString &before, int pageSize)
{
    QString sql = QStringLiteral("SELECT i.ID, i.PJCODE, i.WKYMD, i.ORD FROM WKSEARCH f JOIN WKSEARCH_ITEM i "
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

    // Each hit with its item's place in the day's order.
    struct Found {
        SearchHit hit;
        int place;
    };
    QList<Found> found;
    qint64 lastId = 0;
    int fetched = 0;
    Statement hits(db, sql);
    const auto take = [&](const QVariantList &bound) {
        return hits.run(bound, [&](const QByteArrayView *row) {
            lastId = row[0].toByteArray().toLongLong();
            ++fetched;
            found.append({SearchHit{QString::fromUtf8(row[2]), QString::fromUtf8(row[1]), {}, {}, {}, {}},
                          row[3].toByteArray().toInt()});
            return true;
        });
    };
    if (!take(QVariantList(values) << pageSize))
        return failed<SearchPage>(db);
    SearchPage page;
    page.indexed = true;
    if (fetched == pageSize) {
        // The rest of the last day, so that the page ends with a whole day.
        const qint64 lastDay = lastId >> DayShift << DayShift;
        QVariantList rest = values;
        rest[0] = lastId;
        rest[1] = std::max(lower, lastDay);
        if (!take(rest << -1))
            return failed<SearchPage>(db);
        page.nextBefore = found.last().hit.date;
        if (lastDay == 0) // the dates that are not dates come last, all at once
            page.nextBefore.reset();
    }

    // In the order a page shows them, as the items are read: newest day first, then code, then the day's
    // own order of its items.
    std::stable_sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        if (a.hit.date != b.hit.date)
            return a.hit.date > b.hit.date;
        if (const int c = asciiFolded(a.hit.code).compare(asciiFolded(b.hit.code)))
            return c < 0;
        return a.place < b.place;
    });
    // Numbers, titles and details from the items themselves, found by their place in the day: each day's
    // items read once, as far as its last hit.
    Statement items(db, QStringLiteral("SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE "
                                       "AND WKYMD = ? ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid LIMIT ?"));
    for (qsizetype first = 0; first < found.size();) {
        const SearchHit &day = found.at(first).hit;
        qsizetype end = first;
        while (end < found.size() && found.at(end).hit.date == day.date &&
               asciiFolded(found.at(end).hit.code) == asciiFolded(day.code))
            ++end;
        QList<WorkItem> read;
        if (!items.run({day.code, day.date, found.at(end - 1).place + 1}, [&read](const QByteArrayView *row) {
                read.append({QString::fromUtf8(row[0]), QString::fromUtf8(row[1]), QString::fromUtf8(row[2])});
                return true;
            }))
            return failed<SearchPage>(db);
        for (; first < end; ++first) {
            SearchHit &hit = found[first].hit;
            if (const int place = found.at(first).place; place < read.size()) {
                hit.itemCode = read.at(place).code;
                hit.head = read.at(place).head;
                hit.detail = read.at(place).detail;
            }
            page.hits.append(std::move(hit));
        }
    }
    if (!nameHits(db, page.hits))
        return failed<SearchPage>(db);
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
    sql += QStringLiteral(" ORDER BY t.WKYMD DESC, t.PJCODE COLLATE NOCASE, t.rowid, CAST(c.WKCODE AS INTEGER), "
                          "c.WKCODE, c.rowid");

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
            const QString key = date + QLatin1Char('\t') + asciiFolded(NullToEmpty(query.value(1)));
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
    status.ready = indexReady(db);
    status.writable = !db.isServer() && !m_noRoom && ReadOnlyReason(m_path).isEmpty() &&
                      InspectSearchIndex(db) != IndexShape::Foreign;
    return status;
}

namespace
{
// A build's steps: each holds the write lock for about this long, then leaves it free for a while, so that
// another program's save gets in between two steps (the program's own waits ask again every millisecond).
constexpr qint64 StepMs = 50;
constexpr long GapNs = 5 * 1000 * 1000;
constexpr int StepDays = 200;
} // namespace

Outcome TextSearch::build(const std::function<bool(qint64, qint64)> &progress) const
{
    if (m_noRoom)
        return Outcome{false, QStringLiteral("no room left for the search index")};
    if (const QString why = ReadOnlyReason(m_path); !why.isEmpty())
        return Outcome{false, why};
    Connection db(m_path, m_busyTimeoutMs);
    if (!db.open())
        return failed<Outcome>(db);
    // A build that ran out of room is removed whole: a half index helps no search, and its pages are the
    // room the next save needs.
    const auto fail = [&]() {
        Outcome failure = failed<Outcome>(db);
        failure.diskFull = db.diskFull();
        db.rollback();
        if (failure.diskFull) {
            m_noRoom = true;
            RemoveSearchIndex(db);
        }
        return failure;
    };
    EnsureDayIndexes(db); // the build reads the days by date and their items by day
    switch (InspectSearchIndex(db)) {
    case IndexShape::Foreign:
        return Outcome{false, QStringLiteral("another program's tables or indexes hold the search index's names")};
    case IndexShape::Damaged:
        if (!RemoveSearchIndex(db))
            return fail();
        [[fallthrough]];
    case IndexShape::Absent:
        if (!CreateSearchIndex(db))
            return fail();
        break;
    case IndexShape::Whole:
        break;
    }
    if (stateValue(db, "ready") == QLatin1String("1"))
        return {};

    // A larger page cache than the default 2 MB: the index's pages are written many times over.
    db.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    std::optional<QVariant> total;
    if (!db.queryFirst(QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME"), {}, total))
        return fail();
    // The days in (date, code) order, a step of them per transaction; where the build stands is kept
    // with each step, so that a stopped build goes on from there.
    for (;;) {
        if (!db.begin())
            return fail();
        const QString date = stateValue(db, "built_to"), code = stateValue(db, "built_code");
        qint64 done = stateValue(db, "built_days").toLongLong();
        QList<std::pair<QString, QString>> step;
        if (!db.eachRow(QStringLiteral("SELECT PJCODE, WKYMD FROM DF_WKTIME WHERE (WKYMD, PJCODE) > (?, ?) "
                                       "ORDER BY WKYMD, PJCODE LIMIT ?"),
                        {date, code, StepDays}, [&step](const QByteArrayView *row) {
                            step.append({QString::fromUtf8(row[0]), QString::fromUtf8(row[1])});
                            return true;
                        }))
            return fail();
        DayIndexer indexer(db);
        QElapsedTimer took;
        took.start();
        qsizetype indexed = 0;
        while (indexed < step.size() && (indexed == 0 || took.elapsed() < StepMs)) {
            if (!indexer.reindex(step.at(indexed).first, step.at(indexed).second))
                return fail();
            ++indexed;
        }
        done += indexed;
        const bool finished = indexed == step.size() && step.size() < StepDays;
        if ((indexed > 0 && !(setState(db, "built_to", step.at(indexed - 1).second) &&
                              setState(db, "built_code", step.at(indexed - 1).first))) ||
            !setState(db, "built_days", done) || (finished && !setState(db, "ready", 1)) || !db.commit())
            return fail();
        if (finished)
            return {};
        if (progress && !progress(done, std::max(done, total->toLongLong())))
            return {};
        const timespec gap{0, GapNs};
        ::nanosleep(&gap, nullptr);
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
    // The index answers when it is whole, built and holds every change; a file that cannot be written,
    // and whose log is not empty, is read item by item. (An index that is not whole was removed when the
    // file was opened.)
    const bool ready = indexReady(db);
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
