#include "ranges/rangechart.h"

#include <QHash>

#include <algorithm>
#include <functional>

namespace worvane
{

namespace
{
// The series of the days, bucket by bucket, totalled by the range's own tally: a series' total is the
// project's total of worvane-report totals, whatever the buckets.
ChartData chartOf(QStringList buckets, QList<bool> shaded, const QList<DaySummary> &given,
                  const std::function<int(const DaySummary &)> &bucketOf)
{
    ChartData chart{std::move(buckets), std::move(shaded), {}, {}, 0};
    const qsizetype count = chart.buckets.size();
    chart.bucketTotals.fill(0, count);
    // Only the days the chart spans.
    QList<DaySummary> days;
    for (const DaySummary &day : given)
        if (const int bucket = bucketOf(day); bucket >= 0 && bucket < count)
            days.append(day);
    const RangeTotals totals = TotalRange(days);
    QList<ChartSeries> all;
    for (const ProjectTotal &project : totals.projects) {
        QString label = project.code + QLatin1Char(' ') + project.name;
        if (!project.person.isEmpty())
            label = project.person + QStringLiteral("：") + label;
        all.append({label.trimmed(), QList<qint64>(count, 0), project.minutes});
    }
    // Each day's minutes into its project's bucket.
    QHash<QString, qsizetype> indexOf;
    for (qsizetype i = 0; i < totals.projects.size(); ++i)
        indexOf.insert(ProjectKey(totals.projects[i].person, totals.projects[i].code), i);
    for (const DaySummary &day : days) {
        const int bucket = bucketOf(day);
        const std::optional<int> minutes = DayMinutes(day.startTime, day.endTime);
        const qsizetype project = indexOf.value(ProjectKey(day.person, day.code), -1);
        if (bucket < 0 || bucket >= count || !minutes || project < 0)
            continue;
        all[project].minutes[bucket] += *minutes;
        chart.bucketTotals[bucket] += *minutes;
    }
    std::stable_sort(all.begin(), all.end(), [](const ChartSeries &a, const ChartSeries &b) { return a.total > b.total; });
    if (all.size() > ChartSeriesMax) {
        ChartSeries other{OtherSeries, QList<qint64>(count, 0), 0};
        for (qsizetype i = ChartSeriesMax - 1; i < all.size(); ++i) {
            other.total += all[i].total;
            for (qsizetype b = 0; b < count; ++b)
                other.minutes[b] += all[i].minutes[b];
        }
        all.resize(ChartSeriesMax - 1);
        all.append(other);
    }
    chart.series = all;
    chart.total = totals.grand.minutes;
    return chart;
}
} // namespace

ChartData MonthChart(const QDate &month, const QList<DaySummary> &days, const DaysOff &off)
{
    const QDate first(month.year(), month.month(), 1);
    QStringList buckets;
    QList<bool> shaded;
    for (int d = 0; d < first.daysInMonth(); ++d) {
        buckets << QString::number(d + 1);
        shaded << !off.isWorkingDay(first.addDays(d));
    }
    const QString prefix = first.toString(QStringLiteral("yyyy/MM/"));
    return chartOf(buckets, shaded, days, [&prefix](const DaySummary &day) {
        return day.date.startsWith(prefix) ? QStringView(day.date).mid(8, 2).toInt() - 1 : -1;
    });
}

ChartData YearChart(int year, const QList<DaySummary> &days)
{
    QStringList buckets;
    for (int m = 1; m <= 12; ++m)
        buckets << QStringLiteral("%1月").arg(m);
    const QString prefix = QString::number(year) + QLatin1Char('/');
    return chartOf(buckets, QList<bool>(12, false), days, [&prefix](const DaySummary &day) {
        return day.date.startsWith(prefix) ? QStringView(day.date).mid(5, 2).toInt() - 1 : -1;
    });
}

} // namespace worvane
