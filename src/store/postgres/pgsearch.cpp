// The full-text search of the team database. The server keeps each item's search body (BODY, a column it
// computes itself from the title and the detail: NFKC, lower case) under a trigram index (pg_trgm), which
// finds the items that may hold a word of three characters or more; shorter words are looked for in
// every item of the reader's days. Each item found is then compared in the program's own search form, as
// a file's are, so the hits are the same whatever the server's case rules.
#include "store/postgres/pgstore.h"

#include "core/searchtext.h"
#include "store/storerules.h"

#include <QHash>

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

struct Candidate {
    SearchHit hit;
    ReadItem item;
};
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
    // The reader's items that may hold every word, newest day first, each day's code the one of its first
    // working-time row.
    QString sql = QStringLiteral(
        "SELECT c.WKYMD, t.PJCODE, c.WKCODE, c.WKHEAD, c.DETAIL, c.WKCODE IS NULL, p.PJNAME FROM DF_WKCONT c "
        "JOIN LATERAL (SELECT w.PJCODE FROM DF_WKTIME w WHERE w.WKUSER = c.WKUSER AND w.PJKEY = c.PJKEY AND "
        "w.WKYMD = c.WKYMD ORDER BY w.ROWNO LIMIT 1) t ON true "
        "LEFT JOIN LATERAL (SELECT m.PJNAME FROM DM_PRJMST m WHERE m.PJKEY = c.PJKEY ORDER BY m.ROWNO LIMIT 1) p "
        "ON true WHERE c.WKUSER = current_user");
    QVariantList values;
    const auto bound = [&](const QString &condition, const QVariant &value) {
        values << value;
        sql += condition.arg(values.size());
    };
    for (const QString &word : words)
        bound(QStringLiteral(" AND c.BODY LIKE $%1 ESCAPE '\\'"), containing(word));
    if (request.codePattern)
        bound(QStringLiteral(" AND c.PJKEY LIKE $%1 ESCAPE '\\'"), AsciiFolded(LikePattern(*request.codePattern)));
    if (!request.from.isEmpty())
        bound(QStringLiteral(" AND c.WKYMD >= $%1"), request.from);
    if (!request.to.isEmpty())
        bound(QStringLiteral(" AND c.WKYMD <= $%1"), request.to);
    const QString order = QStringLiteral(" ORDER BY c.WKYMD DESC, c.PJKEY, c.ROWNO");

    Operation op(m_db);
    if (!op.open())
        return failed<SearchPage>();
    Result<SearchPage> result;
    SearchPage &page = result.value;
    page.indexed = true;
    // Pages of candidates until the page holds enough hits, or none are left; a page ends with a whole day.
    QString upTo = before;
    for (;;) {
        QList<Candidate> found;
        const auto take = [&found](const Row &row) {
            found.append({SearchHit{row.text(0), row.text(1), row.text(6), {}, {}, {}},
                          ReadItem{WorkItem{row.text(2), row.text(3), row.text(4)}, row.truth(5)}});
            return true;
        };
        QVariantList bounds = values;
        QString page1 = sql;
        if (!upTo.isEmpty()) {
            bounds << upTo;
            page1 += QStringLiteral(" AND c.WKYMD < $%1").arg(bounds.size());
        }
        bounds << pageSize;
        if (!m_db.run(page1 + order + QStringLiteral(" LIMIT $%1").arg(bounds.size()), bounds, take))
            return failed<SearchPage>();
        const bool full = found.size() == pageSize;
        if (full) {
            // The last day whole: its rows read again, all of them.
            const QString lastDay = found.last().hit.date;
            while (!found.isEmpty() && found.last().hit.date == lastDay)
                found.removeLast();
            QVariantList rest = values;
            rest << lastDay;
            if (!m_db.run(sql + QStringLiteral(" AND c.WKYMD = $%1").arg(rest.size()) + order, rest, take))
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
