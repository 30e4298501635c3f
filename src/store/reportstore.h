#pragma once

#include "core/values.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace worvane
{

// What every store operation reports: success, or the engine's text for the failure.
struct Outcome {
    bool ok = true;
    QString error;
    bool unreachable = false; // the team database's server could not be reached, or went away
    bool conflict = false;    // a save found the stored day changed since it was loaded
    bool busy = false;        // another program held the database file for longer than the wait
    bool diskFull = false;    // the disk holding the database file is full
};

struct NameLookup : Outcome {
    bool found = false;
    QString name;
};

struct DayLoad : Outcome {
    bool hasTimeRow = false; // no working-time row: nothing else is read
    QString startTime;
    QString endTime;
    QList<WorkItem> items; // numeric order of WKCODE, then text order
    QString stamp;         // what the stored day was when loaded (see DayStamp)
    std::optional<QString> projectName; // the project's name in the master; nothing when the code is not there
};

// The latest day before a date that holds anything (times or items), for a copy of the last day.
struct EarlierDay : DayLoad {
    QString date; // "YYYY/MM/DD"; empty when there is none (hasTimeRow false)
};

struct DaySave {
    QString code;
    QString date;
    QString startTime; // stored as Null when empty
    QString endTime;
    QList<WorkItem> items; // the whole list of the day, in list order
    // The stamp of the stored day as it was loaded: the save refuses (conflict) when the day has been
    // changed since, by another PC or program. Nothing: no check.
    std::optional<QString> loadedStamp = std::nullopt;
};

// A digest of a stored day (whether it has a working-time row, its times and its items in order), so that
// a save can tell whether the day is still the one that was loaded.
QString DayStamp(bool hasTimeRow, const QString &startTime, const QString &endTime, const QList<WorkItem> &items);

// Whose days a range covers. A file holds one person's. On the team database each person reads their own
// days; a member of worvane_lead may also read everyone's, or one other person's.
struct People {
    enum class Kind { Own, Everyone, One };
    Kind kind = Kind::Own;
    QString name; // the login role, for One

    static People everyone() { return {Kind::Everyone, {}}; }
    static People one(const QString &name) { return {Kind::One, name}; }
    // More than the reader's own days: the person is part of each day's key and shown with it.
    bool others() const { return kind != Kind::Own; }
};

// The team database's people as the reader sees them.
struct TeamPeople : Outcome {
    bool lead = false;  // the reader may read every person's days
    QString self;       // the reader's login role
    QStringList names;  // everyone with a saved day the reader may read, in name order
};

// A saved day of a range: its working-time row, the project's name and the day's items.
struct StoredDay {
    QString code;
    QString name; // from DM_PRJMST; empty when the project is not in the master
    QString date; // "YYYY/MM/DD"
    QString startTime;
    QString endTime;
    QList<WorkItem> items; // numeric order of WKCODE, then text order
    QString person = {};   // the team database's login role whose day it is; empty in a file
};

// A saved day of a range without its items: what the month and the totals need.
struct DaySummary {
    QString code;
    QString name; // from DM_PRJMST; empty when the project is not in the master
    QString date; // "YYYY/MM/DD"
    QString startTime;
    QString endTime;
    int itemCount = 0;
    QString person = {}; // as in StoredDay
};

struct RangeSummary : Outcome {
    QList<DaySummary> days; // date order, then code order
};

// Projects as the store read them: every code and name in one UTF-8 buffer, made into QStrings only when
// one is asked for, so that a list of any length costs one copy of its bytes and is ready as soon as read.
class ProjectRows
{
public:
    ProjectRows() = default;
    ProjectRows(std::initializer_list<ProjectRow> rows)
    {
        for (const ProjectRow &row : rows)
            append(row.code.toUtf8(), row.name.toUtf8());
    }
    explicit ProjectRows(const QList<ProjectRow> &rows)
    {
        for (const ProjectRow &row : rows)
            append(row.code.toUtf8(), row.name.toUtf8());
    }

    void append(QByteArrayView code, QByteArrayView name)
    {
        m_text += code;
        m_ends.append(m_text.size());
        m_text += name;
        m_ends.append(m_text.size());
    }

    qsizetype size() const { return m_ends.size() / 2; }
    bool isEmpty() const { return m_ends.isEmpty(); }
    QString code(qsizetype row) const { return field(2 * row); }
    QByteArrayView codeBytes(qsizetype row) const { return bytes(2 * row); }
    QString name(qsizetype row) const { return field(2 * row + 1); }
    ProjectRow at(qsizetype row) const { return {code(row), name(row)}; }

private:
    QByteArrayView bytes(qsizetype i) const
    {
        const qsizetype start = i == 0 ? 0 : m_ends.at(i - 1);
        return QByteArrayView(m_text.constData() + start, m_ends.at(i) - start);
    }
    QString field(qsizetype i) const { return QString::fromUtf8(bytes(i)); }
    QByteArray m_text;
    QList<qsizetype> m_ends; // where each code, then each name, ends in m_text
};

// Where a page of a project search stopped: the next page lists the projects after this code. A file
// made elsewhere may hold a code more than once; those rows come in the order they were added, and the
// next page passes over as many of them as were listed.
struct ProjectPageEnd {
    QString code;
    int listedOfCode = 1;
};

struct ProjectSearch : Outcome {
    ProjectRows rows; // ordered by code
    std::optional<ProjectPageEnd> next; // set when a page came back full: more may follow it
};

// Every statement the program issues against the database file. Each call opens the file, works and
// closes it again; nothing is kept between calls but, on the team database, the server connection itself
// (see Connection). Values are always bound, never spliced into SQL.
// Codes and names compare without regard to ASCII letter case.
class ReportStore
{
public:
    static constexpr int DefaultBusyTimeoutMs = 5000;

    explicit ReportStore(QString databasePath, int busyTimeoutMs = DefaultBusyTimeoutMs);

    NameLookup lookupProjectName(const QString &code) const;

    // The day, and the project's name, in one visit to the database.
    DayLoad loadDay(const QString &code, const QString &date) const;

    // The project's latest saved day before date with times or items, however far back.
    EarlierDay loadLatestDayBefore(const QString &code, const QString &date) const;

    // One transaction: the working-time row (added with ENTYMD or changed with UPDYMD), the delete of the
    // day's items and the insert of every item commit together or not at all.
    Outcome saveDay(const DaySave &day) const;

    // Every saved day from one "YYYY/MM/DD" date to another, both included, in date order, then code
    // order; a code pattern narrows it to the projects the pattern matches, as in searchProjects. A
    // second working-time row of the same day is passed over, and items without a working-time row are
    // not part of a day, as in loadDay. The range indexes are added first when the file lacks them and
    // may be written.
    // On the team database, people says whose days (with others, ordered by person after the code).
    // Counting each day's items reads its item index entries; a caller that shows hours only leaves
    // them uncounted (itemCount 0).
    enum class ItemCounts { Counted, NotCounted };
    RangeSummary summarizeRange(const QString &from, const QString &to, const std::optional<QString> &codePattern,
                                const People &people = {}, ItemCounts counts = ItemCounts::Counted) const;

    // The same days with their items, handed to take one at a time as they are read, so that a range
    // of any length is never held whole; take returns false to stop early. Fails only when the database
    // does.
    Outcome forEachDay(const QString &from, const QString &to, const std::optional<QString> &codePattern,
                       const std::function<bool(const StoredDay &)> &take, const People &people = {}) const;

    // On the team database: whether the reader is a lead, and the people whose days a lead may read.
    // On a file: no lead, no names.
    TeamPeople teamPeople() const;

    // A pattern left out lists every project; a pattern matches as LIKE, with * and ? taken as % and _.
    // With a limit, one page of at most that many rows, after the end of the page before when one is
    // given: a list of any length comes in pages, each an index look-up and a short walk, and no page
    // waits for the rows after it.
    ProjectSearch searchProjects(const std::optional<QString> &codePattern,
                                 const std::optional<QString> &namePattern, int limit = 0,
                                 const std::optional<ProjectPageEnd> &after = std::nullopt) const;

    // Adds the project, or overwrites the first row whose code or name equals the one given. Refuses to
    // give a second row a code that another row already has.
    Outcome updateProjectMaster(const QString &code, const QString &name) const;

    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_busyTimeoutMs;
};

// The LIKE pattern for a typed search text: * and ? become % and _.
QString LikePattern(const QString &typed);

} // namespace worvane
