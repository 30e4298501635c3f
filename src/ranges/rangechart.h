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
    bool operator==(const ChartSeries &) const = default;
};

struct ChartData {
    QStringList buckets;         // "1" to "31", or "1月" to "12月"
    QList<bool> shaded;          // a weekend, a holiday or a company's day off
    QList<ChartSeries> series;   // the projects, most hours first; その他 last
    QList<qint64> bucketTotals;  // per bucket, over every project
    qint64 total = 0;
};

// Projects beyond this many are drawn as one series, その他: the palette's colours and patterns tell
// this many apart.
inline constexpr int ChartSeriesMax = 8;
inline const QString OtherSeries = QStringLiteral("その他");

// A month of days (any day of the month), a bucket per day.
ChartData MonthChart(const QDate &month, const QList<DaySummary> &days, const DaysOff &off);
// A year of days, a bucket per month.
ChartData YearChart(int year, const QList<DaySummary> &days);

} // namespace worvane
