// The full-text search of the team database. The server keeps each item's search body (BODY, a column it
// computes itself from the title and the detail: NFKC, lower case). The page's items are found two ways:
// the reader's newest items are walked in the page's order (an index leads with the person, then the
// date), which finds a common word at once; when that walk does not fill the page, a trigram index
// (pg_trgm) looks the word up among all of the reader's items (worvane_items_holding), which finds a rare
// one at once. Each item found is then compared in the program's own search form, as a file's are, so the
// hits are the same whatever the server's case rules.
#include "store/postgres/pgstore.h"

#include "core/searchtext.h"
#include "store/storerules.h"

#include <algorithm>

namespace worvane::postgres
{

namespace
{
// A word as a LIKE pattern that finds it anywhere.
QString containing(const QString &word)
{
    QString escaped;
    for (const QChar c : word) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// How many of the reader's newest items the walk looks at before the trigram index is asked.
constexpr int WalkRows = 4000;

// What a page's rows are read with: each item's date, its day's code (the first working-time row's), the
// item, and the project's name; newest day first, then code, then the order the items were stored in.
const char *const Columns = "SELECT c.WKYMD, t.PJCODE, c.WKCODE, c.WKHEAD, c.DETAIL, c.WKCODE IS NULL, p.PJNAME";
const char *const Joined =
    " JOIN LATERAL (SELECT w.PJCODE FROM DF_WKTIME w WHERE w.WKUSER = c.WKUSER AND w.PJKEY = c.PJKEY AND "
    "w.WKYMD = c.WKYMD ORDER BY w.ROWNO LIMIT 1) t ON true LEFT JOIN LATERAL (SELECT m.PJNAME FROM DM_PRJMST m "
    "WHERE m.PJKEY = c.PJKEY ORDER BY m.ROWNO LIMIT 1) p ON true";
const char *const Order = " ORDER BY c.WKYMD DESC, c.PJKEY, c.ROWNO";

struct Candidate {
    SearchHit hit;
    ReadItem item;
};

// The bounds of a search as values, shared by the statements below.
struct Bounds {
    QString pattern;          // the longest word, as a LIKE pattern
    QVariant codePattern;     // folded, or NULL
    QVariant from, to;        // dates, or NULL
};

QVariant orNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}
} // namespace

Result<IndexStatus> PgStore::indexStatus()
{
    return {IndexStatus{true, false}, std::nullopt}; // the server keeps its index itself
}

Outcome PgStore::buildIndex(const std::function<bool(qint64, qint64)> &)
{
    return {};
}

Result<SearchPage> PgStore::search(const SearchRequest &request, const QString &before, int pageSize)
{
    const QStringList words = SearchWords(request.text);
    if (words.isEmpty())
        return {};
    // The server looks for the longest word, the most telling one; the program compares every word.
    const QString longest = *std::max_element(words.begin(), words.end(), [](const QString &a, const QString &b) {
        return a.size() < b.size();
    });
    const Bounds bounds{containing(longest),
                        request.codePattern ? QVariant(AsciiFolded(LikePattern(*request.codePattern)))
                                            : QVariant(QMetaType(QMetaType::QString)),
                        orNull(request.from), orNull(request.to)};

    Operation op(m_db);
    if (!op.open())
        return failed<SearchPage>();
    QList<Candidate> found;
    const auto take = [&found](const Row &row) {
        found.append({SearchHit{row.text(0), row.text(1), row.text(6), {}, {}, {}},
                      ReadItem{WorkItem{row.text(2), row.text(3), row.text(4)}, row.truth(5)}});
        return true;
    };
    // The reader's items below `upTo` (a date; none: the newest) that may hold the word, up to `wanted` of
    // them in the page's order, among the newest WalkRows of them (or all of them: `every`).
    const auto walk = [&](const QString &upTo, int wanted, bool every = false) {
        QVariantList values{m_db.person(), bounds.pattern, wanted};
        QString newest = QStringLiteral("SELECT c.* FROM DF_WKCONT c WHERE c.WKUSER = $1");
        const auto bound = [&](const char *condition, const QVariant &value) {
            if (value.isNull())
                return;
            values << value;
            newest += QString::fromLatin1(condition).arg(values.size());
        };
        bound(" AND c.WKYMD < $%1", orNull(upTo));
        bound(" AND c.WKYMD >= $%1", bounds.from);
        bound(" AND c.WKYMD <= $%1", bounds.to);
        bound(" AND c.PJKEY LIKE $%1 ESCAPE '\\'", bounds.codePattern);
        // All of them: the items holding the word gathered first (a scan of the reader's items, OFFSET 0
        // keeping the planner from walking the newest-first index through every one of them), then ordered.
        newest += every ? QStringLiteral(" AND c.BODY LIKE $2 ESCAPE '\\' OFFSET 0")
                        : QStringLiteral(" ORDER BY c.WKYMD DESC, c.PJKEY, c.ROWNO LIMIT %1").arg(WalkRows);
        return m_db.run(QLatin1String(Columns) + QStringLiteral(" FROM (") + newest + QStringLiteral(") c") +
                            QLatin1String(Joined) + QStringLiteral(" WHERE c.BODY LIKE $2 ESCAPE '\\'") +
                            QLatin1String(Order) + QStringLiteral(" LIMIT $3"),
                        values, take);
    };
    const auto lookUp = [&](const QString &upTo, int wanted) {
        return m_db.run(QLatin1String(Columns) +
                            QStringLiteral(" FROM worvane_items_holding($1, $2, $3, $4, $5, $6) h JOIN DF_WKCONT c "
                                           "ON c.ROWNO = h.rowno") +
                            QLatin1String(Joined) + QLatin1String(Order),
                        {bounds.pattern, bounds.codePattern, bounds.from, bounds.to, orNull(upTo), wanted}, take);
    };
    // Every item of one of the reader's days that may hold the word (the index by person and date finds the
    // day; the trigram index would gather the word's every item first).
    const auto wholeDay = [&](const QString &day) {
        QVariantList values{m_db.person(), day, bounds.pattern};
        QString where = QStringLiteral(" WHERE c.WKUSER = $1 AND c.WKYMD = $2 AND c.BODY LIKE $3 ESCAPE '\\'");
        if (!bounds.codePattern.isNull()) {
            values << bounds.codePattern;
            where += QStringLiteral(" AND c.PJKEY LIKE $4 ESCAPE '\\'");
        }
        return m_db.run(QLatin1String(Columns) + QStringLiteral(" FROM DF_WKCONT c") + QLatin1String(Joined) + where +
                            QLatin1String(Order),
                        values, take);
    };

    Result<SearchPage> result;
    SearchPage &page = result.value;
    page.indexed = true;
    // Pages of candidates until the page holds enough hits, or none are left; a page ends with a whole day.
    QString upTo = before;
    for (;;) {
        found.clear();
        if (!walk(upTo, pageSize))
            return failed<SearchPage>();
        if (found.size() < pageSize) {
            // The trigram index serves words of three characters or more; a shorter one would make it hand
            // over every item to be compared, slower than reading the reader's items themselves.
            found.clear();
            if (!(longest.toUcs4().size() >= 3 ? lookUp(upTo, pageSize) : walk(upTo, pageSize, true)))
                return failed<SearchPage>();
        }
        const bool full = found.size() == pageSize;
        if (full) {
            // The last day whole: its rows read again, all of them.
            const QString lastDay = found.last().hit.date;
            while (!found.isEmpty() && found.last().hit.date == lastDay)
                found.removeLast();
            if (!wholeDay(lastDay))
                return failed<SearchPage>();
            upTo = lastDay;
        }
        // Each day's hits in its list order, compared in the program's search form.
        for (qsizetype start = 0; start < found.size();) {
            qsizetype end = start;
            while (end < found.size() && found.at(end).hit.date == found.at(start).hit.date &&
                   SameWithoutAsciiCase(found.at(end).hit.code.toUtf8(), found.at(start).hit.code.toUtf8()))
                ++end;
            std::vector<ReadItem> items;
            for (qsizetype i = start; i < end; ++i)
                items.push_back(found.at(i).item);
            for (const WorkItem &item : InListOrder(std::move(items)))
                if (MatchesAllWords(SearchBody(item.head, item.detail), words)) {
                    SearchHit hit = found.at(start).hit;
                    hit.itemCode = item.code;
                    hit.head = item.head;
                    hit.detail = item.detail;
                    page.hits.append(std::move(hit));
                }
            start = end;
        }
        if (!full) {
            page.nextBefore.reset();
            return result;
        }
        page.nextBefore = upTo;
        if (page.hits.size() >= pageSize)
            return result;
    }
}

} // namespace worvane::postgres
