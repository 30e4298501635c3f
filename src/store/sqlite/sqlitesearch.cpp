// The full-text search of a file. The index lives in the file beside the three tables (see
// searchindex.h): an FTS5 table (trigram) over the search form of each item, and a log of changed days
// that triggers on the two day tables fill, whoever writes. Before each search the logged days are indexed
// again, so a search never sees stale text. Without a usable index (not built yet, not whole, another
// program's tables under its names, or a read-only file whose log is not empty) the items are read and
// compared one by one: slower, never wrong, and the same hits in the same order.
#include "store/sqlite/sqlitestore.h"

#include "core/searchtext.h"
#include "store/sqlite/dayindexes.h"
#include "store/sqlite/searchindex.h"
#include "store/storerules.h"

#include <QDate>
#include <QElapsedTimer>
#include <QHash>

#include <algorithm>
#include <limits>
#include <time.h>

namespace worvane::sqlite
{

namespace
{
// An item's key in the index: its day in the high bits, so that the index hands out hits newest first by
// walking its keys downwards; a running number for the items of one date in the low bits. Dates that are
// not dates share day 0, after every real one.
constexpr int DayShift = 32;

qint64 dayBase(const QString &ymd)
{
    const QDate date = QDate::fromString(ymd, QStringLiteral("yyyy/MM/dd"));
    return date.isValid() ? qint64(date.toJulianDay()) << DayShift : 0;
}

// How the index finds a word anywhere in an item's search form. The search form is already case-folded,
// so the case-sensitive GLOB is the right comparison for a word of three characters or more, and the
// trigram index serves it; shorter words are pairs in the pair table (this engine's trigram code mistakes
// them: it finds nothing, or fails). A word holding GLOB's own characters is compared with instr() while
// the rows are read.
enum class WordIndex { Trigram, Pairs, None };

WordIndex indexFor(const QString &word)
{
    if (word.contains(u'*') || word.contains(u'?') || word.contains(u'['))
        return word.toUcs4().size() <= 2 ? WordIndex::Pairs : WordIndex::None;
    return word.toUcs4().size() >= 3 ? WordIndex::Trigram : WordIndex::Pairs;
}

QString stateValue(Database &db, const char *name)
{
    std::optional<QVariant> value;
    db.first("SELECT VALUE FROM WKSEARCH_STATE WHERE NAME = ?", {QString::fromLatin1(name)}, value);
    return value ? value->toString() : QString();
}

bool setState(Database &db, const char *name, const QVariant &value)
{
    return db.run("UPDATE WKSEARCH_STATE SET VALUE = ? WHERE NAME = ?", {value, QString::fromLatin1(name)});
}

// The index answers only when it is whole and built to the end.
bool indexReady(Database &db)
{
    return InspectSearchIndex(db) == IndexShape::Whole && stateValue(db, "ready") == QLatin1String("1");
}

// A day's items in list order, as a load reads them.
constexpr const char *DayItemsSql = "SELECT WKCODE, WKHEAD, DETAIL, WKCODE IS NULL FROM DF_WKCONT "
                                    "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? ORDER BY rowid";

bool dayItems(Database &db, const QString &code, const QString &date, QList<WorkItem> &items)
{
    std::vector<ReadItem> read;
    if (!db.run(DayItemsSql, {code, date}, [&read](const Row &row) {
            read.push_back({WorkItem{row.text(0), row.text(1), row.text(2)}, row.integer(3) != 0});
            return true;
        }))
        return false;
    items = InListOrder(std::move(read));
    return true;
}

// Puts one day's items into the index as they stand now, replacing what it held for the day. A day is
// its first working-time row and the items whose code equals the row's without regard to ASCII case, as a
// load reads it; each entry keeps the day's code as that row holds it and the item's place in the day's
// list order, which tells two items of one number apart.
bool reindex(Database &db, const QString &code, const QString &date)
{
    // The pair table keeps no text: its entries go by giving their pairs again, from the texts held.
    QList<std::pair<qint64, QString>> held;
    if (!db.run("SELECT rowid, BODY FROM WKSEARCH WHERE rowid IN (SELECT ID FROM WKSEARCH_ITEM WHERE PJCODE = ? AND "
                "WKYMD = ?)",
                {code, date}, [&held](const Row &row) {
                    held.append({row.integer(0), row.text(1)});
                    return true;
                }))
        return false;
    Statement &dropGrams =
        db.statement("INSERT INTO WKSEARCH_GRAM (WKSEARCH_GRAM, rowid, GRAMS) VALUES ('delete', ?, ?)");
    for (const auto &[id, body] : held)
        if (!dropGrams.run({id, SearchGrams(body)}))
            return false;
    if (!db.run("DELETE FROM WKSEARCH WHERE rowid IN (SELECT ID FROM WKSEARCH_ITEM WHERE PJCODE = ? AND WKYMD = ?)",
                {code, date}) ||
        !db.run("DELETE FROM WKSEARCH_ITEM WHERE PJCODE = ? AND WKYMD = ?", {code, date}))
        return false;
    std::optional<QVariant> dayCode;
    if (!db.first("SELECT PJCODE FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? ORDER BY rowid LIMIT 1",
                  {code, date}, dayCode))
        return false;
    if (!dayCode)
        return true; // no longer a saved day
    QList<WorkItem> items;
    if (!dayItems(db, code, date, items))
        return false;
    if (items.isEmpty())
        return true;
    // The items of one date, whatever their project, are numbered on from the last one held.
    const qint64 base = dayBase(date);
    qint64 next = base;
    if (!db.run("SELECT MAX(ID) FROM WKSEARCH_ITEM WHERE ID BETWEEN ? AND ?", {base, base + (qint64(1) << DayShift) - 1},
                [&next](const Row &row) {
                    if (!row.isNull(0))
                        next = row.integer(0) + 1;
                    return false;
                }))
        return false;
    Statement &addItem = db.statement("INSERT INTO WKSEARCH_ITEM VALUES (?, ?, ?, ?)");
    Statement &addBody = db.statement("INSERT INTO WKSEARCH (rowid, BODY) VALUES (?, ?)");
    Statement &addGrams = db.statement("INSERT INTO WKSEARCH_GRAM (rowid, GRAMS) VALUES (?, ?)");
    const QVariant shown = *dayCode;
    for (int place = 0; place < items.size(); ++place, ++next) {
        const QString body = SearchBody(items.at(place).head, items.at(place).detail);
        if (!addItem.run({next, shown, date, place}) || !addBody.run({next, body}) ||
            !addGrams.run({next, SearchGrams(body)}))
            return false;
    }
    return true;
}

// Indexes the logged days again and empties the log, in one transaction. False when that could not be
// done (the index is then not used for this search).
bool refresh(Database &db)
{
    std::optional<QVariant> any;
    if (!db.first("SELECT 1 FROM WKSEARCH_DIRTY LIMIT 1", {}, any))
        return false;
    if (!any)
        return true;
    if (!db.begin())
        return false;
    QList<std::pair<QString, QString>> logged;
    if (!db.run("SELECT DISTINCT PJCODE, WKYMD FROM WKSEARCH_DIRTY", {}, [&logged](const Row &row) {
            logged.append({row.text(0), row.text(1)});
            return true;
        }))
        return false;
    for (const auto &[code, date] : logged)
        if (!reindex(db, code, date))
            return false;
    return db.run("DELETE FROM WKSEARCH_DIRTY") && db.commit();
}

// The project names of the hits, from the master.
bool nameHits(Database &db, QList<SearchHit> &hits)
{
    QHash<QString, QString> names;
    for (SearchHit &hit : hits) {
        const QString key = AsciiFolded(hit.code);
        auto it = names.find(key);
        if (it == names.end()) {
            std::optional<QVariant> name;
            if (!db.first("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE ORDER BY rowid LIMIT 1",
                          {hit.code}, name))
                return false;
            it = names.insert(key, name ? name->toString() : QString());
        }
        hit.name = *it;
    }
    return true;
}

// A page from the index: the newest entries that hold every word, the rest of the last one's day, then
// the items themselves, each day's read once. The entries are walked newest first in the table that
// serves the words best: the trigrams when a word has three characters or more, else the pairs.
bool searchIndex(Database &db, const SearchRequest &request, const QStringList &words, const QString &before,
                 int pageSize, SearchPage &page)
{
    QStringList globs, pairs, compared;
    for (const QString &word : words)
        switch (indexFor(word)) {
        case WordIndex::Trigram:
            globs << QLatin1Char('*') + word + QLatin1Char('*');
            break;
        case WordIndex::Pairs:
            pairs << GramQuery(word);
            break;
        case WordIndex::None:
            compared << word;
            break;
        }
    const bool byPairs = globs.isEmpty() && !pairs.isEmpty();
    if (!byPairs) // the pairs' words are compared on the trigram table's rows
        for (const QString &word : words)
            if (indexFor(word) == WordIndex::Pairs)
                compared << word;
    // k: the table walked; f: the text, where a word is compared.
    QString sql = byPairs ? QStringLiteral("SELECT i.ID, i.PJCODE, i.WKYMD, i.ORD FROM WKSEARCH_GRAM k JOIN "
                                           "WKSEARCH_ITEM i ON i.ID = k.rowid")
                          : QStringLiteral("SELECT i.ID, i.PJCODE, i.WKYMD, i.ORD FROM WKSEARCH k JOIN "
                                           "WKSEARCH_ITEM i ON i.ID = k.rowid");
    if (byPairs && !compared.isEmpty())
        sql += QStringLiteral(" JOIN WKSEARCH f ON f.rowid = k.rowid");
    sql += QStringLiteral(" WHERE k.rowid < ? AND k.rowid >= ?");
    qint64 upper = std::numeric_limits<qint64>::max();
    if (!before.isEmpty())
        upper = dayBase(before);
    else if (!request.to.isEmpty())
        upper = dayBase(request.to) + (qint64(1) << DayShift);
    const qint64 lower = request.from.isEmpty() ? std::numeric_limits<qint64>::min() : dayBase(request.from);
    QVariantList values{upper, lower};
    if (byPairs) {
        sql += QStringLiteral(" AND WKSEARCH_GRAM MATCH ?");
        values << pairs.join(QStringLiteral(" AND "));
    }
    for (const QString &glob : globs) {
        sql += QStringLiteral(" AND k.BODY GLOB ?");
        values << glob;
    }
    for (const QString &word : compared) {
        sql += byPairs ? QStringLiteral(" AND instr(f.BODY, ?) > 0") : QStringLiteral(" AND instr(k.BODY, ?) > 0");
        values << word;
    }
    if (request.codePattern) {
        sql += QStringLiteral(" AND i.PJCODE LIKE ? ESCAPE '\\'");
        values << LikePattern(*request.codePattern);
    }
    sql += QStringLiteral(" ORDER BY k.rowid DESC LIMIT ?");

    // Each hit with its item's place in the day's order.
    struct Found {
        SearchHit hit;
        int place;
    };
    QList<Found> found;
    qint64 lastId = 0;
    int fetched = 0;
    Statement hits(db, sql.toUtf8());
    const auto take = [&](const QVariantList &bound) {
        return hits.run(bound, [&](const Row &row) {
            lastId = row.integer(0);
            ++fetched;
            found.append({SearchHit{row.text(2), row.text(1), {}, {}, {}, {}}, int(row.integer(3))});
            return true;
        });
    };
    if (!take(QVariantList(values) << pageSize))
        return false;
    page.indexed = true;
    if (fetched == pageSize) {
        // The rest of the last day, so that the page ends with a whole day.
        const qint64 lastDay = lastId >> DayShift << DayShift;
        QVariantList rest = values;
        rest[0] = lastId;
        rest[1] = std::max(lower, lastDay);
        if (!take(rest << -1))
            return false;
        page.nextBefore = found.last().hit.date;
        if (lastDay == 0) // the dates that are not dates come last, all at once
            page.nextBefore.reset();
    }

    // In the order a page shows them, as reading the items gives them: newest day first, then code,
    // then the day's own list order.
    std::stable_sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        if (a.hit.date != b.hit.date)
            return a.hit.date > b.hit.date;
        if (const int c = AsciiFolded(a.hit.code).compare(AsciiFolded(b.hit.code)))
            return c < 0;
        return a.place < b.place;
    });
    for (qsizetype first = 0; first < found.size();) {
        const SearchHit &day = found.at(first).hit;
        qsizetype end = first;
        while (end < found.size() && found.at(end).hit.date == day.date &&
               AsciiFolded(found.at(end).hit.code) == AsciiFolded(day.code))
            ++end;
        QList<WorkItem> read;
        if (!dayItems(db, day.code, day.date, read))
            return false;
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
    return nameHits(db, page.hits);
}

constexpr qint64 ReadSliceMs = 100;

// A page by reading every item of the range, in the page's order, day by day.
bool searchByReading(Database &db, const SearchRequest &request, const QStringList &words, const QString &before,
                     int pageSize, SearchPage &page)
{
    QString sql = QStringLiteral("SELECT t.WKYMD, t.PJCODE FROM DF_WKTIME t WHERE 1 = 1");
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
        bound(" AND t.PJCODE LIKE ? ESCAPE '\\'", LikePattern(*request.codePattern));
    sql += QStringLiteral(" ORDER BY t.WKYMD DESC, t.PJCODE COLLATE NOCASE, t.rowid");

    // The days first (a second working-time row of a day passed over), then each day's items.
    QList<std::pair<QString, QString>> days;
    QByteArray previous;
    Statement walk(db, sql.toUtf8());
    if (!walk.run(values, [&](const Row &row) {
            QByteArray key = row.bytes(0).toByteArray() + '\t' + row.bytes(1).toByteArray();
            if (!SameWithoutAsciiCase(key, previous))
                days.append({row.text(0), row.text(1)});
            previous = std::move(key);
            return true;
        }))
        return false;
    // A slice of reading at a time: a page ends early, between two dates, once it has taken ReadSliceMs,
    // so that what is found shows while the rest is read, and a search no longer wanted stops soon.
    QElapsedTimer reading;
    reading.start();
    QString lastDate;
    for (const auto &[date, code] : days) {
        if (date != lastDate && !lastDate.isEmpty() &&
            (page.hits.size() >= pageSize || reading.elapsed() >= ReadSliceMs)) {
            page.nextBefore = lastDate;
            break;
        }
        lastDate = date;
        QList<WorkItem> items;
        if (!dayItems(db, code, date, items))
            return false;
        for (WorkItem &item : items)
            if (MatchesAllWords(SearchBody(item.head, item.detail), words))
                page.hits.append(SearchHit{date, code, {}, item.code, item.head, item.detail});
    }
    return nameHits(db, page.hits);
}

// A build's steps: each holds the write lock for about this long, then leaves it free for a while, so that
// another program's save gets in between two steps (the program's own waits ask again every millisecond).
constexpr qint64 StepMs = 50;
constexpr long GapNs = 5 * 1000 * 1000;
constexpr int StepDays = 200;
} // namespace

Result<IndexStatus> SqliteStore::indexStatus()
{
    Operation op(m_db);
    if (!op.open())
        return failed<IndexStatus>();
    IndexStatus status;
    status.ready = indexReady(m_db);
    status.writable = !m_indexNoRoom && ReadOnlyReason(m_db.path()).isEmpty() &&
                      InspectSearchIndex(m_db) != IndexShape::Foreign;
    return {status, std::nullopt};
}

Outcome SqliteStore::buildIndex(const std::function<bool(qint64, qint64)> &progress)
{
    if (m_indexNoRoom)
        return Outcome::failure({StoreError::Kind::DiskFull, QStringLiteral("no room left for the search index")});
    Operation op(m_db);
    if (!op.open())
        return failed<Done>();
    if (const QString why = ReadOnlyReason(m_db.path()); !why.isEmpty())
        return Outcome::failure({StoreError::Kind::Refused, why});
    // A build that ran out of room is removed whole: a half index helps no search, and its pages are the
    // room the next save needs.
    const auto fail = [&]() {
        const Outcome failure = failed<Done>();
        m_db.rollback();
        if (failure.failedAs(StoreError::Kind::DiskFull)) {
            m_indexNoRoom = true;
            RemoveSearchIndex(m_db);
        }
        return failure;
    };
    EnsureDayIndexes(m_db); // the build reads the days by date and their items by day
    switch (InspectSearchIndex(m_db)) {
    case IndexShape::Foreign:
        return Outcome::failure(
            {StoreError::Kind::Refused, QStringLiteral("another program's tables or indexes hold the search index's names")});
    case IndexShape::Damaged:
        if (!RemoveSearchIndex(m_db))
            return fail();
        [[fallthrough]];
    case IndexShape::Absent:
        if (!CreateSearchIndex(m_db))
            return fail();
        break;
    case IndexShape::Whole:
        break;
    }
    if (stateValue(m_db, "ready") == QLatin1String("1"))
        return {};

    // A larger page cache than the default 2 MB: the index's pages are written many times over.
    m_db.run("PRAGMA cache_size = -65536");
    std::optional<QVariant> total;
    if (!m_db.first("SELECT COUNT(*) FROM DF_WKTIME", {}, total))
        return fail();
    // The days in (date, code) order, a step of them per transaction; where the build stands is kept with
    // each step, so that a stopped build goes on from there.
    for (;;) {
        if (!m_db.begin())
            return fail();
        const QString date = stateValue(m_db, "built_to"), code = stateValue(m_db, "built_code");
        qint64 done = stateValue(m_db, "built_days").toLongLong();
        QList<std::pair<QString, QString>> step;
        if (!m_db.run("SELECT PJCODE, WKYMD FROM DF_WKTIME WHERE (WKYMD, PJCODE) > (?, ?) ORDER BY WKYMD, PJCODE LIMIT ?",
                      {date, code, StepDays}, [&step](const Row &row) {
                          step.append({row.text(0), row.text(1)});
                          return true;
                      }))
            return fail();
        QElapsedTimer took;
        took.start();
        qsizetype indexed = 0;
        while (indexed < step.size() && (indexed == 0 || took.elapsed() < StepMs)) {
            if (!reindex(m_db, step.at(indexed).first, step.at(indexed).second))
                return fail();
            ++indexed;
        }
        done += indexed;
        const bool finished = indexed == step.size() && step.size() < StepDays;
        if ((indexed > 0 && !(setState(m_db, "built_to", step.at(indexed - 1).second) &&
                              setState(m_db, "built_code", step.at(indexed - 1).first))) ||
            !setState(m_db, "built_days", done) || (finished && !setState(m_db, "ready", 1)) || !m_db.commit())
            return fail();
        if (finished)
            return {};
        if (progress && !progress(done, std::max(done, total->toLongLong())))
            return {};
        const timespec gap{0, GapNs};
        ::nanosleep(&gap, nullptr);
    }
}

Result<SearchPage> SqliteStore::search(const SearchRequest &request, const QString &before, int pageSize)
{
    const QStringList words = SearchWords(request.text);
    if (words.isEmpty())
        return {};
    Operation op(m_db);
    if (!op.open())
        return failed<SearchPage>();
    // The index answers when it is whole, built and holds every change; a file that cannot be written, and
    // whose log is not empty, is read item by item. (An index that is not whole was removed when the file
    // was opened.)
    const bool ready = indexReady(m_db);
    const bool fresh = ready && (ReadOnlyReason(m_db.path()).isEmpty() ? refresh(m_db) : [&] {
        std::optional<QVariant> any;
        return m_db.first("SELECT 1 FROM WKSEARCH_DIRTY LIMIT 1", {}, any) && !any;
    }());
    if (ready && !fresh)
        m_db.rollback();
    Result<SearchPage> result;
    if (!(fresh ? searchIndex(m_db, request, words, before, pageSize, result.value)
                : searchByReading(m_db, request, words, before, pageSize, result.value)))
        return failed<SearchPage>();
    return result;
}

} // namespace worvane::sqlite
