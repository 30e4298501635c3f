#pragma once

#include "store/sqlite/sqlitedb.h"
#include "store/store.h"

namespace worvane::sqlite
{

// One person's reports in a database file: the three tables, and beside them what the program adds (the
// range indexes, the search index). Codes and names compare without ASCII letter case: the statements
// say COLLATE NOCASE themselves, so it holds for any file holding the three tables, not only one made here.
class SqliteStore final : public Store
{
public:
    SqliteStore(QString path, int waitMs = DefaultWaitMs);

    QString name() const override { return m_db.path(); }
    std::unique_ptr<Store> another() const override;
    std::optional<StoreError> missingAtStart() const override;
    void cancel() override { m_db.interrupt(); }

    Result<std::optional<QString>> lookupProjectName(const QString &code) override;
    Result<ProjectPage> searchProjects(const ProjectQuery &query) override;
    Outcome updateProjectMaster(const QString &code, const QString &name) override;

    Result<DayLoad> loadDay(const QString &code, const QString &date) override;
    Result<std::optional<EarlierDay>> loadLatestDayBefore(const QString &code, const QString &date) override;
    Result<QString> saveDay(const DaySave &day) override;

    Result<QList<DaySummary>> summarizeRange(const RangeSelection &range, ItemCounts counts) override;
    Outcome forEachDay(const RangeSelection &range, const std::function<bool(const StoredDay &)> &take) override;
    Result<TeamPeople> teamPeople() override;

    Result<QList<DayState>> dayStates(const RangeSelection &range) override;
    Result<QList<DayComment>> dayComments(const QString &person, const QString &date) override;
    Result<DayReview> dayReview(const QString &date) override;
    Result<QString> reviewDay(const QString &person, const QString &date, Verdict verdict,
                              const QString &comment) override;
    Result<int> approveMonth(const QString &person, const QString &month) override;
    Outcome commentDay(const QString &person, const QString &date, const QString &comment) override;
    Outcome closeThrough(const QString &date) override;
    Outcome reopen(const QString &person, const QString &period) override;

    Result<QList<DayVersion>> dayHistory(const QString &code, const QString &date) override;

    Result<BackupDone> backUp(const QDate &today, const QString &fallbackFolder) override;

    Result<IndexStatus> indexStatus() override;
    Outcome buildIndex(const std::function<bool(qint64, qint64)> &progress) override;
    Result<SearchPage> search(const SearchRequest &request, const QString &before, int pageSize) override;

    Outcome compact() override;
    Result<ReportRows> readReports(const QString &person) override;
    Result<CopyCounts> writeReports(const ReportRows &rows, const QString &person) override;

private:
    template <class T> Result<T> failed() const { return Result<T>::failure(m_db.error()); }
    // Walks a range's days (date order, then code order, a second working-time row of a day passed over).
    bool walkRange(const RangeSelection &range, bool countItems, const std::function<bool(DaySummary &&)> &visit);
    bool readItems(const QString &code, const QString &date, QList<WorkItem> &items);

    int m_waitMs;
    Database m_db;
    // A build of the search index ran out of room on the disk: its half index was removed, and no build
    // is tried again while this store lives (the program's session).
    bool m_indexNoRoom = false;
};

} // namespace worvane::sqlite
