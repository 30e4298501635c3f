#pragma once

#include "core/values.h"
#include "store/results.h"

#include <QDate>
#include <QString>

#include <functional>
#include <memory>

// The store: every operation the program asks of its database, one interface with one implementation per
// engine (store/sqlite: a file through SQLite's C API; store/postgres: the team database through libpq),
// each in its own engine's words. store/open picks one for a path. Plain values in and out; an operation
// never shows anything, and its failure comes back beside its value (see results.h).
//
// A store owns its connection and keeps it between operations; it is made once by the program and used
// by one thread at a time (the windows run each call on a thread of its own, so that they keep painting
// while the database works: see app/storecall.h). Work that runs beside the windows' calls, such as the
// search index build, asks for a store of its own (another()).

namespace worvane
{

// What one person's reports are when they move between a file and the team database.
struct ReportRows {
    struct Project {
        QString code;
        std::optional<QString> name, entered, updated;
    };
    struct Day {
        QString code, date;
        std::optional<QString> start, end, entered, updated;
    };
    struct Item {
        QString code, date;
        std::optional<QString> number, head, detail;
    };
    QList<Project> projects;
    QList<Day> days;
    QList<Item> items;
};

struct CopyCounts {
    int projectsAdded = 0; // projects the destination did not have (codes compared without ASCII case)
    int projectsKept = 0;  // projects it had already: left as they are
    int days = 0;          // working-time rows copied
    int items = 0;         // work items copied
};

class Store
{
public:
    static constexpr int DefaultWaitMs = 5000;

    virtual ~Store() = default;

    // The database for messages: a file's path, or a server as "host:port/dbname" (never a password).
    virtual QString name() const = 0;
    // A store of its own on the same database, for work on another thread.
    virtual std::unique_ptr<Store> another() const = 0;

    // At start: why the database cannot be used at all (a file that is not there), or nothing. A server is
    // reached when it is first used.
    virtual std::optional<StoreError> missingAtStart() const = 0;
    // Stops the operation running now on another thread, as soon as its database lets it: the operation
    // fails as Cancelled. Safe to call from any thread, and when nothing runs.
    virtual void cancel() = 0;

    // ---- The project master ----
    // The name of the project with the code (codes compare without ASCII letter case), or nothing.
    virtual Result<std::optional<QString>> lookupProjectName(const QString &code) = 0;
    virtual Result<ProjectPage> searchProjects(const ProjectQuery &query) = 0;
    // Adds the project, or overwrites the first row whose code or name equals the one given. Refuses to
    // give a second row a code that another row already has.
    virtual Outcome updateProjectMaster(const QString &code, const QString &name) = 0;

    // ---- Days ----
    // The day, and the project's name, in one visit to the database.
    virtual Result<DayLoad> loadDay(const QString &code, const QString &date) = 0;
    // The project's latest saved day before date with times or items, however far back; nothing when there
    // is none.
    virtual Result<std::optional<EarlierDay>> loadLatestDayBefore(const QString &code, const QString &date) = 0;
    // One transaction: the working-time row (added with ENTYMD or changed with UPDYMD), the delete of the
    // day's items and the insert of every item commit together or not at all. The stamp of the day as
    // saved comes back.
    virtual Result<QString> saveDay(const DaySave &day) = 0;

    // ---- A range of days ----
    // Every saved day from one date to the other, both included, in date order, then code order (then
    // person, with others); a second working-time row of a day is passed over, and items without a
    // working-time row are not part of a day. Counting each day's items reads its item index entries; a
    // caller that shows hours only leaves them uncounted (itemCount 0).
    enum class ItemCounts { Counted, NotCounted };
    virtual Result<QList<DaySummary>> summarizeRange(const RangeSelection &range, ItemCounts counts) = 0;
    // The same days with their items, handed to take one at a time as they are read, so that a range of any
    // length is never held whole; take returns false to stop early.
    virtual Outcome forEachDay(const RangeSelection &range, const std::function<bool(const StoredDay &)> &take) = 0;
    // Whether the reader is a lead, and the people whose days a lead may read.
    virtual Result<TeamPeople> teamPeople() = 0;

    // ---- A team's day: submitted, approved or returned, closed ----
    // A file has no states and no comments (empty answers) and refuses a lead's actions (TeamOnly).
    // The saved days of a range and their states: the reader's own, or with range.people those a lead
    // reads, in no particular order. A file's days have no state (empty) and no person's name.
    virtual Result<QList<DayState>> dayStates(const RangeSelection &range) = 0;
    // The comments on a person's day, oldest first (a member reads only their own days').
    virtual Result<QList<DayComment>> dayComments(const QString &person, const QString &date) = 0;
    // The reader's own day: its state, whether it may not be changed (approved, or closed and not
    // reopened), its comments.
    virtual Result<DayReview> dayReview(const QString &date) = 0;
    // A lead's actions (a member is refused, LeadOnly): approve or return a saved day (NoSavedDay else)
    // with a comment or none, giving the new state; approve every submitted day of a person's month
    // ("YYYY/MM"), giving how many; comment on a day; close the team's days up to a date; reopen a
    // person's day, or without a person a month of everyone's.
    enum class Verdict { Approve, Return };
    virtual Result<QString> reviewDay(const QString &person, const QString &date, Verdict verdict,
                                      const QString &comment) = 0;
    virtual Result<int> approveMonth(const QString &person, const QString &month) = 0;
    virtual Outcome commentDay(const QString &person, const QString &date, const QString &comment) = 0;
    virtual Outcome closeThrough(const QString &date) = 0;
    virtual Outcome reopen(const QString &person, const QString &period) = 0;

    // ---- History ----
    // The saved versions of the reader's own day, newest first: a file keeps each save through this
    // program from its first, a server each save of any program (its triggers keep them). None for a day
    // never saved so.
    virtual Result<QList<DayVersion>> dayHistory(const QString &code, const QString &date) = 0;

    // ---- Backups ----
    // A file copied at most once a day into a folder of copies beside it (fallbackFolder when that cannot
    // be written), the copies rotated; a server's database is pg_dump's to back up (NotAFile).
    virtual Result<BackupDone> backUp(const QDate &today, const QString &fallbackFolder) = 0;

    // ---- Full-text search ----
    virtual Result<IndexStatus> indexStatus() = 0;
    // Builds the index, in steps: progress is told the days done and the days in all after each, and
    // stops the build by returning false; what is built stays, and the next build goes on from there.
    virtual Outcome buildIndex(const std::function<bool(qint64 done, qint64 total)> &progress) = 0;
    // The hits on days before `before` (a date; empty for the newest), at least pageSize of them when
    // there are that many, and whole days. A page read item by item may end early, with fewer hits and a
    // next page, once reading took a slice of time. No words: no hits.
    virtual Result<SearchPage> search(const SearchRequest &request, const QString &before, int pageSize) = 0;

    // ---- Upkeep and moving reports ----
    // At exit: a file is compacted in place; a server looks after itself.
    virtual Outcome compact() = 0;
    // One person's reports (a file holds one person's), and their writing into this database as the days
    // of `person` in one transaction, the counts checked.
    virtual Result<ReportRows> readReports(const QString &person) = 0;
    virtual Result<CopyCounts> writeReports(const ReportRows &rows, const QString &person) = 0;
};

} // namespace worvane
