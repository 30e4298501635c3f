#pragma once

#include "core/values.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

// What both engines must do alike, written once: how codes and names compare, how the user's patterns
// read, the order of a day's items, the stamp of a day, and where a page of projects ends. The store
// tests run the same cases on both engines against these.

namespace worvane
{

struct ReportRows;

// A code or a name as both engines compare them: ASCII letters folded to lower case, nothing else (a
// full-width Ａ stays as it is), as SQLite's NOCASE does.
QString AsciiFolded(QString text);
bool SameWithoutAsciiCase(QByteArrayView a, QByteArrayView b);

// The user's pattern as a LIKE pattern with backslash as its escape: * and ? are taken as % and _, % and _
// stay what they are, and every other character, a backslash too, stands for itself.
QString LikePattern(const QString &typed);

// An item's number as the list orders items, as SQLite reads CAST(WKCODE AS INTEGER): a sign and the
// digits at its start, after ASCII blanks; no digits: 0.
qint64 ItemNumber(QStringView code);

// A day's items as the store read them, with the order each was stored in; null: a NULL number.
struct ReadItem {
    WorkItem item;
    bool nullNumber = false;
};
// The items in the order a day lists them: a NULL number first, then by number, then by the number's
// text (its UTF-8 bytes), then in the order they were stored.
QList<WorkItem> InListOrder(std::vector<ReadItem> read);

// A digest of a stored day (whether it has a working-time row, its times and its items whatever their
// order), so that a save can tell whether the day is still the one that was loaded.
QString DayStamp(bool hasTimeRow, const QString &startTime, const QString &endTime, const QList<WorkItem> &items);

// The same made from the bytes a store read (UTF-8), without a QString per text.
class StampTexts
{
public:
    explicit StampTexts(qsizetype items);
    void add(QByteArrayView code, QByteArrayView head, QByteArrayView detail);
    void add(const WorkItem &item);
    QString stamp(bool hasTimeRow, QByteArrayView startTime, QByteArrayView endTime);

private:
    struct Item {
        qint64 number;
        qsizetype at, code, head, detail; // where its texts begin in the buffer, and their sizes
    };
    QByteArray m_bytes;
    std::vector<Item> m_items;
};

// Where the next page of a project search starts, after a page of `limit` rows came back full; nothing
// when it did not. Codes are compared as the engines compare them (ASCII case aside).
std::optional<ProjectPageEnd> NextPageStart(const ProjectRows &rows, int limit,
                                            const std::optional<ProjectPageEnd> &after);

// The days of a range, held with each text that comes back on many days (a code, a name, a date, a time)
// stored once.
class RangeSummaries
{
public:
    void append(DaySummary &&day);
    QList<DaySummary> take() { return std::move(m_days); }

private:
    void share(QString &text);
    QList<DaySummary> m_days;
    QSet<QString> m_texts;
};

// A character the team database cannot store: NUL (a text ends at it there). Where the first one is: the day (the project, for the master), the item's
// number (empty for the day's own texts), the text, and the character.
struct Unstorable {
    enum class Field { Code, Name, Start, End, Number, Title, Detail };
    QString code, date, item;
    Field field = Field::Title;
    char32_t character = 0;
    // In English, for the log and the tools: "2024/03/01 A0012345, item 3, its detail holds U+0000".
    QString describe() const;
};
std::optional<Unstorable> FindUnstorable(const DaySave &day);
std::optional<Unstorable> FindUnstorable(const ReportRows &rows);
std::optional<Unstorable> FindUnstorableProject(const QString &code, const QString &name);

// The projects a new database is given when a demonstration is asked for.
QList<ProjectRow> DemoProjects();

} // namespace worvane
