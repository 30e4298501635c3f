#pragma once

// The numbers a chart of a range draws: hours per project and per day (a month) or per month (a year),
// from the same days and the same sums as the grid and worvane-report totals.
#include "core/holidays.h"
#include "ranges/rangetotals.h"

#include <QDate>
#include <QList>
#include <QStringList>

namespace worvane
{

struct ChartSeries {
    QString label;          // "code name" (with the person, for a team), or その他 for the projects folded
    QList<qint64> minutes;  // per bucket
    qint64 total = 0;
    int slot = -1;          // the series' colour and pattern (SeriesColour), -1 for その他
    bool operator==(const ChartSeries &) const = default;
};

struct ChartData {
    QStringList buckets;         // "1" to "31", or "1月" to "12月"
    QList<bool> shaded;          // a weekend, a holiday or a company's day off
    QList<ChartSeries> series;   // the projects, most hours first; その他 last
    QList<qint64> bucketTotals;  // per bucket, over every project
    qint64 total = 0;
};


// The palette a chart's series are filled from: Okabe and Ito's colours, which stay apart for the common
// colour blindness, as 0xRRGGBB. その他 is OtherColour.
inline constexpr int SeriesColours = 7;
quint32 SeriesColour(int slot);
inline constexpr quint32 OtherColour = 0x999999;

// Each project's slot, the projects given most hours first: a project's own slot comes from its code, so
// it keeps its colour in every chart, unless a project with more hours in the same chart took it; then it
// takes the next free one. Beyond SeriesColours projects the slots go on (a colour again, with a pattern).
QList<int> ColourSlots(const QStringList &codes);

// Projects beyond the palette's are drawn as one series, その他.
inline constexpr int ChartSeriesMax = SeriesColours + 1;
inline const QString OtherSeries = QStringLiteral("その他");

// A month of days (any day of the month), a bucket per day.
ChartData MonthChart(const QDate &month, const QList<DaySummary> &days, const DaysOff &off);
// A year of days, a bucket per month.
ChartData YearChart(int year, const QList<DaySummary> &days);

} // namespace worvane
