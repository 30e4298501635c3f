#pragma once

#include "core/values.h"

#include <QList>
#include <QString>
#include <map>
#include <optional>

// Days, hours and totals over a date range: the one place where a range's hours are computed, for the
// month window, the exports and worvane-report alike.

namespace worvane
{

// Minutes of a day from its saved "HH:MM" times (09:00 to 25:30 is 990), or nothing when either time
// is empty or unreadable or the end comes before the start. Such a day counts 0 and is shown as marked,
// never as 0:00.
std::optional<int> DayMinutes(const QString &startTime, const QString &endTime);

// Minutes as hours and minutes: 9810 gives "163:30", 5 gives "0:05".
QString FormatHours(qint64 minutes);

// The key a day's project is totalled under: its person, and its code folded as SQLite's NOCASE folds it.
QString ProjectKey(const QString &person, const QString &code);

struct ProjectTotal {
    QString person; // a day's person (the team database): a project's days are totalled per person
    QString code;
    QString name;
    int days = 0;
    int items = 0;
    int untimedDays = 0; // days without valid times, counted in days but not in minutes
    qint64 minutes = 0;
};

struct RangeTotals {
    QList<ProjectTotal> projects; // person order, then code order, codes compared without regard to ASCII case
    ProjectTotal grand;           // code and name empty
};

// Totals that grow a day at a time, for the exports that pass over their days once.
class RangeTally
{
public:
    void add(const DaySummary &day);
    RangeTotals totals() const;

private:
    std::map<QString, ProjectTotal> m_projects; // by person, then the code folded as NOCASE folds it
    ProjectTotal m_grand;
};

RangeTotals TotalRange(const QList<DaySummary> &days);

// The "YYYY/MM" months that a date range touches, in order.
QStringList MonthsOf(const QString &from, const QString &to);

} // namespace worvane
