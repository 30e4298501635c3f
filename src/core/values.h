#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>

// The values the program works with, from the store up to the windows: plain structs, no behaviour.

namespace worvane
{

// One numbered work item of a day.
struct WorkItem {
    QString code;   // WKCODE, the digits as typed ("5" and "05" are two items)
    QString head;   // WKHEAD, the title
    QString detail; // DETAIL, line breaks as CR LF
    bool operator==(const WorkItem &) const = default;
};

// A saved version of a day, as its history keeps it: what one save stored.
struct DayVersion {
    QString savedAt; // "YYYY/MM/DD HH:MM:SS"
    QString person;  // who saved it, on a server; empty in a file
    QString startTime;
    QString endTime;
    QList<WorkItem> items; // in list order
    bool operator==(const DayVersion &) const = default;
};

// What an automatic backup did.
struct BackupDone {
    enum class Kind {
        Made,         // a new copy, checked; the copies no longer kept removed
        AlreadyToday, // today's copy was there
        NoRoom,       // the disk held less than twice the file's size free: no copy
        NotAFile,     // nothing to copy: a server's database (its backups are pg_dump's), or no file there
    };
    Kind kind = Kind::NotAFile;
    QString path;      // the new copy, or the folder that had no room
    qint64 needed = 0; // NoRoom: the bytes it would have needed free, and those free
    qint64 free = 0;
};

// A project of the project master.
struct ProjectRow {
    QString code;
    QString name;
    bool operator==(const ProjectRow &) const = default;
};

// The header of the main window as the checks see it: the texts of the four fields, as they stand.
struct DayHeader {
    QString code;
    QString date;      // "YYYY/MM/DD" once the date field has been left
    QString startTime; // "HH:MM" once the time field has been left
    QString endTime;
};

// What the settings file says, and where it is.
struct Settings {
    QString iniPath;      // the settings file itself
    QString databasePath; // [MDB Path] Path=, cut to 199 bytes
    QString defaultCode;  // [Default Value] PJCode=, offered at start and after Cancel
    QString companyHolidays; // [Holidays] Company=: a file of the company's own days off, or ""
};

// ---- Days as the store holds them -------------------------------------------------------------------

// A day as stored: whether it has a working-time row, its times and items (numeric order of WKCODE,
// then text order), the stamp of all that (see DayStamp), and the project's name in the master (nothing
// when the code is not there).
struct DayLoad {
    bool hasTimeRow = false; // no working-time row: nothing else is read
    QString startTime;
    QString endTime;
    QList<WorkItem> items;
    QString stamp;
    std::optional<QString> projectName;
};

// The latest day before a date that holds anything (times or items), for a copy of the last day.
struct EarlierDay {
    QString date; // "YYYY/MM/DD"
    DayLoad day;
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

// The team database's people as the reader sees them (a file: no lead, no names).
struct TeamPeople {
    bool lead = false;  // the reader may read every person's days
    QString self;       // the reader's login role
    QStringList names;  // everyone with a saved day the reader may read, and for a lead every member, in name order
};

// A person's day on the team database (all their projects of one date) as the team sees it.
struct DayState {
    QString person;
    QString date;  // "YYYY/MM/DD"
    QString state; // 提出済, 承認済 or 差戻し; empty for a saved day without one
    bool operator==(const DayState &) const = default;
};

// A lead's comment on a person's day.
struct DayComment {
    QString author;
    QString written; // "YYYY/MM/DD HH:MM:SS"
    QString text;
    bool operator==(const DayComment &) const = default;
};

// The reader's own day as the team sees it: its state (empty: none, as on a file), whether it may not be
// changed, and the leads' comments on it, oldest first.
struct DayReview {
    QString state;
    bool locked = false;
    QList<DayComment> comments;
};

// What a range covers: two "YYYY/MM/DD" dates, both included, and a project code pattern (* and ? as in
// the project search) or every project.
struct RangeSelection {
    QString from;
    QString to;
    std::optional<QString> codePattern;
    People people = {}; // on the team database: whose days; with others, each person's days apart
};

// A saved day of a range without its items: what the month and the totals need.
struct DaySummary {
    QString code;
    QString name; // from DM_PRJMST; empty when the project is not in the master
    QString date; // "YYYY/MM/DD"
    QString startTime;
    QString endTime;
    int itemCount = 0;
    QString person = {}; // the team database's login role whose day it is; empty in a file
};

// A saved day of a range with its items (numeric order of WKCODE, then text order).
struct StoredDay {
    DaySummary summary; // its itemCount is the number of items
    QList<WorkItem> items;
};

// ---- The project master -----------------------------------------------------------------------------

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

// A project search: a pattern left out lists every project; a pattern matches as LIKE, with * and ? taken
// as % and _. With a limit, one page of at most that many rows, after the end of the page before.
struct ProjectQuery {
    std::optional<QString> codePattern;
    std::optional<QString> namePattern;
    int limit = 0;
    std::optional<ProjectPageEnd> after = std::nullopt;
};

struct ProjectPage {
    ProjectRows rows;                   // ordered by code
    std::optional<ProjectPageEnd> next; // set when a page came back full: more may follow it
};

// ---- Full-text search -------------------------------------------------------------------------------

struct SearchRequest {
    QString text;                       // the words, separated by blanks; every word must occur
    std::optional<QString> codePattern; // * and ? as in the project search
    QString from;                       // "YYYY/MM/DD", or empty for no lower bound
    QString to;                         // "YYYY/MM/DD", or empty for no upper bound
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
struct SearchPage {
    QList<SearchHit> hits;
    std::optional<QString> nextBefore; // where the next page starts (a date), or nothing at the end
    bool indexed = false;              // answered from the index, not by reading every item
};

struct IndexStatus {
    bool ready = false;    // built and in use
    bool writable = false; // the database may take the index, and a build may be tried
};

} // namespace worvane
