#pragma once

#include "store/reportstore.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Full-text search over every work item ever saved. Titles and details are matched by substring in
// their search form (see rules/searchtext.h). The index lives in the database file beside the three
// tables (see searchindex.h): an FTS5 table (trigram) over the search form of each item, and a log of
// changed days that triggers on the two day tables fill, whoever writes. Before each search the logged
// days are indexed again, so a search never sees stale text. Without a usable index (not built yet, not
// whole, another program's tables under its names, or a read-only file whose log is not empty) the items
// are read and compared one by one: slower, never wrong, and the same hits in the same order.

namespace worvane
{

struct SearchRequest {
    QString text;                      // the words, separated by blanks; every word must occur
    std::optional<QString> codePattern; // * and ? as in the project search
    QString from;                      // "YYYY/MM/DD", or empty for no lower bound
    QString to;                        // "YYYY/MM/DD", or empty for no upper bound
};

struct SearchHit {
    QString date; // "YYYY/MM/DD"
    QString code;
    QString name; // from DM_PRJMST; empty when the project is not in the master
    QString itemCode;
    QString head;
    QString detail;
    bool operator==(const SearchHit &) const = default;
};

// One page of hits, newest day first, then code and item order within a day. A page holds whole days.
struct SearchPage : Outcome {
    QList<SearchHit> hits;
    std::optional<QString> nextBefore; // where the next page starts (a date), or nothing at the end
    bool indexed = false;              // answered from the index, not by reading every item
};

struct IndexStatus : Outcome {
    bool ready = false;    // built and in use
    bool writable = false; // the file may take the index, and a build may be tried
};

class TextSearch
{
public:
    static constexpr int PageSize = 100;

    explicit TextSearch(QString databasePath, int busyTimeoutMs = ReportStore::DefaultBusyTimeoutMs);

    IndexStatus status() const;

    // Builds the index, or goes on with a build that was stopped. Commits in steps of about 50 ms, with a
    // pause after each in which another program's write gets in: progress is told the days done and the
    // days in all after each, and stops the build by returning false; what is built stays, and the next
    // build goes on from there. A build that runs out of room removes what it built (diskFull in the
    // outcome).
    Outcome build(const std::function<bool(qint64 done, qint64 total)> &progress = {}) const;

    // The hits on days before `before` (a date; empty for the newest), at least `pageSize` of them when
    // there are that many. No words: no hits.
    SearchPage search(const SearchRequest &request, const QString &before = {}, int pageSize = PageSize) const;

    // The bytes of the file the index takes, or -1 when unknown.
    qint64 indexBytes() const;

private:
    QString m_path;
    int m_busyTimeoutMs;
    // A build ran out of room on the disk: its half index was removed, and no build is tried again while
    // this object lives (the program's session).
    mutable bool m_noRoom = false;
};

} // namespace worvane
