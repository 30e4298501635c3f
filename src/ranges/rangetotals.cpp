#include "ranges/rangetotals.h"

#include <QDate>

#include <map>

namespace worvane
{

namespace
{
// "HH:MM" with two-digit hours (a day may run past midnight: 25:30) and minutes under 60.
std::optional<int> minutesOf(const QString &time)
{
    if (time.size() != 5 || time.at(2) != QLatin1Char(':'))
        return std::nullopt;
    for (int i : {0, 1, 3, 4})
        if (time.at(i) < QLatin1Char('0') || time.at(i) > QLatin1Char('9'))
            return std::nullopt;
    const int hours = time.left(2).toInt();
    const int minutes = time.mid(3).toInt();
    if (minutes >= 60)
        return std::nullopt;
    return hours * 60 + minutes;
}

QString foldedCode(const QString &code)
{
    QString folded = code;
    for (QChar &c : folded) // as SQLite's NOCASE: ASCII letters only
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return folded;
}
} // namespace

std::optional<int> DayMinutes(const QString &startTime, const QString &endTime)
{
    const auto start = minutesOf(startTime);
    const auto end = minutesOf(endTime);
    if (!start || !end || *end < *start)
        return std::nullopt;
    return *end - *start;
}

QString FormatHours(qint64 minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString ProjectKey(const QString &person, const QString &code)
{
    return person + QLatin1Char('\0') + foldedCode(code);
}

void RangeTally::add(const DaySummary &day)
{
    ProjectTotal &project = m_projects[ProjectKey(day.person, day.code)];
    if (project.days == 0) {
        project.person = day.person;
        project.code = day.code;
    }
    if (project.name.isEmpty())
        project.name = day.name;
    const auto minutes = DayMinutes(day.startTime, day.endTime);
    for (ProjectTotal *total : {&project, &m_grand}) {
        ++total->days;
        total->items += day.itemCount;
        if (minutes)
            total->minutes += *minutes;
        else
            ++total->untimedDays;
    }
}

RangeTotals RangeTally::totals() const
{
    RangeTotals totals;
    for (const auto &[folded, project] : m_projects)
        totals.projects.append(project);
    totals.grand = m_grand;
    return totals;
}

RangeTotals TotalRange(const QList<DaySummary> &days)
{
    RangeTally tally;
    for (const DaySummary &day : days)
        tally.add(day);
    return tally.totals();
}

QStringList MonthsOf(const QString &from, const QString &to)
{
    const QString format = QStringLiteral("yyyy/MM/dd");
    QDate month = QDate::fromString(from, format);
    const QDate last = QDate::fromString(to, format);
    QStringList months;
    if (!month.isValid() || !last.isValid())
        return months;
    for (month = QDate(month.year(), month.month(), 1); month <= last; month = month.addMonths(1))
        months << month.toString(QStringLiteral("yyyy/MM"));
    return months;
}

} // namespace worvane
