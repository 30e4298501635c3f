#pragma once

#include "store/postgres/pgdb.h"
#include "store/store.h"
#include "store/storerules.h"

namespace worvane::postgres
{

// The team database: the three tables with the person (WKUSER, the login role) whose day it is, each
// person's days kept apart by the server's row-level security. A code compares through PJKEY and a name
// through PJNAMEKEY, the server's copies folded as AsciiFolded folds them, against values folded alike;
// orders are byte orders (COLLATE "C"), as a file's.
class PgStore final : public Store
{
public:
    PgStore(QString uri, int waitMs = DefaultWaitMs);

    QString name() const override { return m_db.name(); }
    std::unique_ptr<Store> another() const override;
    std::optional<StoreError> missingAtStart() const override { return m_db.unusable(); }
    void cancel() override { m_db.cancel(); }

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
    Result<QList<DayVersion>> dayHistory(const QString &code, const QString &date) override;
    Result<BackupDone> backUp(const QDate &, const QString &) override { return {}; }
    Result<DayReview> dayReview(const QString &date) override;
    Result<QString> reviewDay(const QString &person, const QString &date, Verdict verdict,
                              const QString &comment) override;
    Result<int> approveMonth(const QString &person, const QString &month) override;
    Outcome commentDay(const QString &person, const QString &date, const QString &comment) override;
    Outcome closeThrough(const QString &date) override;
    Outcome reopen(const QString &person, const QString &period) override;

    Result<IndexStatus> indexStatus() override;
    Outcome buildIndex(const std::function<bool(qint64, qint64)> &progress) override;
    Result<SearchPage> search(const SearchRequest &request, const QString &before, int pageSize) override;

    Outcome compact() override { return {}; } // the server vacuums itself
    Result<ReportRows> readReports(const QString &person) override;
    Result<CopyCounts> writeReports(const ReportRows &rows, const QString &person) override;

private:
    template <class T> Result<T> failed() const { return Result<T>::failure(m_db.error()); }
    bool readDay(const QString &code, const QString &date, DayLoad &day, bool items, qint64 *timeRow = nullptr);
    bool walkRange(const RangeSelection &range, bool countItems, const std::function<bool(DaySummary &&)> &visit);
    bool readOthers(const People &people);
    StoreError unstorable(const Unstorable &where);

    int m_waitMs;
    Database m_db;
};

} // namespace worvane::postgres
