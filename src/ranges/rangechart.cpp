#include "ranges/rangechart.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <functional>
#include <numeric>

namespace worvane
{

quint32 SeriesColour(int slot)
{
    static constexpr quint32 colours[SeriesColours] = {0xE69F00, 0x56B4E9, 0x009E73, 0xF0E442,
                                                       0x0072B2, 0xD55E00, 0xCC79A7};
    return slot < 0 ? OtherColour : colours[slot % SeriesColours];
}

QList<int> ColourSlots(const QStringList &codes)
{
    QList<int> chosen;
    QSet<int> taken;
    for (const QString &code : codes) {
        // A hash of the code's characters, the same in every run and on every machine.
        quint32 hash = 2166136261u;
        for (const QChar c : code)
            hash = (hash ^ c.unicode()) * 16777619u;
        const int round = int(taken.size()) / SeriesColours * SeriesColours;
        int slot = round + int(hash % SeriesColours);
        while (taken.contains(slot))
            slot = round + (slot - round + 1) % SeriesColours;
        taken.insert(slot);
        chosen.append(slot);
    }
    return chosen;
}

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
        all.append({label.trimmed(), QList<qint64>(count, 0), project.minutes, -1});
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
    // Most hours first; a project's colour by its code, the projects with most hours choosing first.
    QList<qsizetype> order(all.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&all](qsizetype a, qsizetype b) { return all[a].total > all[b].total; });
    QList<ChartSeries> sorted;
    QStringList codes;
    for (const qsizetype i : order) {
        sorted.append(all[i]);
        codes.append(totals.projects[i].code);
    }
    all = sorted;
    const bool fold = all.size() > SeriesColours;
    const QList<int> chosen = ColourSlots(codes.mid(0, fold ? SeriesColours : all.size()));
    for (qsizetype i = 0; i < chosen.size(); ++i)
        all[i].slot = chosen[i];
    if (fold) {
        ChartSeries other{OtherSeries, QList<qint64>(count, 0), 0, -1};
        for (qsizetype i = SeriesColours; i < all.size(); ++i) {
            other.total += all[i].total;
            for (qsizetype b = 0; b < count; ++b)
                other.minutes[b] += all[i].minutes[b];
        }
        all.resize(SeriesColours);
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
