#include "core/holidays.h"

#include "core/cp932.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

namespace worvane
{

namespace
{
// The n-th Monday of a month.
QDate nthMonday(int year, int month, int n)
{
    const QDate first(year, month, 1);
    const int toMonday = (Qt::Monday - first.dayOfWeek() + 7) % 7;
    return first.addDays(toMonday + 7 * (n - 1));
}

// The equinox days as the calendar office reckons them, by the usual approximation (right for every year
// from 1900 to 2099).
int vernalEquinox(int year)
{
    if (year <= 1979)
        return int(20.8357 + 0.242194 * (year - 1980) - std::floor((year - 1983) / 4.0));
    return int(20.8431 + 0.242194 * (year - 1980) - std::floor((year - 1980) / 4.0));
}

int autumnalEquinox(int year)
{
    if (year <= 1979)
        return int(23.2588 + 0.242194 * (year - 1980) - std::floor((year - 1983) / 4.0));
    return int(23.2488 + 0.242194 * (year - 1980) - std::floor((year - 1980) / 4.0));
}

// The holidays the law names for a year, before the substitute and in-between days.
QList<Holiday> namedDays(int year)
{
    QList<Holiday> days;
    const auto add = [&](int month, int day, const char16_t *name) {
        days.append({QDate(year, month, day), QString::fromUtf16(name)});
    };
    const auto addDate = [&](const QDate &date, const char16_t *name) { days.append({date, QString::fromUtf16(name)}); };
    add(1, 1, u"元日");
    if (year < 2000)
        add(1, 15, u"成人の日");
    else
        addDate(nthMonday(year, 1, 2), u"成人の日");
    if (year >= 1967)
        add(2, 11, u"建国記念の日");
    if (year >= 2020)
        add(2, 23, u"天皇誕生日");
    add(3, vernalEquinox(year), u"春分の日");
    if (year <= 1988)
        add(4, 29, u"天皇誕生日");
    else if (year <= 2006)
        add(4, 29, u"みどりの日");
    else
        add(4, 29, u"昭和の日");
    add(5, 3, u"憲法記念日");
    if (year >= 2007)
        add(5, 4, u"みどりの日");
    add(5, 5, u"こどもの日");
    if (year == 2020)
        add(7, 23, u"海の日");
    else if (year == 2021)
        add(7, 22, u"海の日");
    else if (year >= 2003)
        addDate(nthMonday(year, 7, 3), u"海の日");
    else if (year >= 1996)
        add(7, 20, u"海の日");
    if (year == 2020)
        add(8, 10, u"山の日");
    else if (year == 2021)
        add(8, 8, u"山の日");
    else if (year >= 2016)
        add(8, 11, u"山の日");
    if (year >= 2003)
        addDate(nthMonday(year, 9, 3), u"敬老の日");
    else if (year >= 1966)
        add(9, 15, u"敬老の日");
    add(9, autumnalEquinox(year), u"秋分の日");
    if (year == 2020)
        add(7, 24, u"スポーツの日");
    else if (year == 2021)
        add(7, 23, u"スポーツの日");
    else if (year >= 2020)
        addDate(nthMonday(year, 10, 2), u"スポーツの日");
    else if (year >= 2000)
        addDate(nthMonday(year, 10, 2), u"体育の日");
    else if (year >= 1966)
        add(10, 10, u"体育の日");
    add(11, 3, u"文化の日");
    add(11, 23, u"勤労感謝の日");
    if (year >= 1989 && year <= 2018)
        add(12, 23, u"天皇誕生日");
    // The days the law named once.
    static const struct {
        int year, month, day;
        const char16_t *name;
    } once[] = {{1959, 4, 10, u"皇太子明仁親王の結婚の儀"}, {1989, 2, 24, u"昭和天皇の大喪の礼"},
                {1990, 11, 12, u"即位礼正殿の儀"},         {1993, 6, 9, u"皇太子徳仁親王の結婚の儀"},
                {2019, 5, 1, u"天皇の即位の日"},           {2019, 10, 22, u"即位礼正殿の儀"}};
    for (const auto &day : once)
        if (day.year == year)
            add(day.month, day.day, day.name);
    std::sort(days.begin(), days.end(), [](const Holiday &a, const Holiday &b) { return a.date < b.date; });
    return days;
}
} // namespace

QList<Holiday> NationalHolidays(int year)
{
    QList<Holiday> named = namedDays(year);
    const auto isNamed = [&named](const QDate &date) {
        return std::any_of(named.begin(), named.end(), [&date](const Holiday &h) { return h.date == date; });
    };
    QList<Holiday> days = named;
    // 振替休日 (from 1973/04/12): a holiday on a Sunday moves the rest to the Monday; from 2007 to the
    // next day that is not a holiday.
    for (const Holiday &h : named) {
        if (h.date.dayOfWeek() != Qt::Sunday || h.date < QDate(1973, 4, 12))
            continue;
        QDate substitute = h.date.addDays(1);
        if (year >= 2007)
            while (isNamed(substitute))
                substitute = substitute.addDays(1);
        else if (isNamed(substitute))
            continue;
        days.append({substitute, QStringLiteral("振替休日")});
    }
    // 国民の休日 (from 1985/12/27): a day between two holidays, itself neither a holiday nor a Sunday.
    for (const Holiday &h : named) {
        const QDate between = h.date.addDays(1);
        if (between < QDate(1985, 12, 27) || between.dayOfWeek() == Qt::Sunday || isNamed(between) ||
            !isNamed(between.addDays(1)))
            continue;
        if (std::any_of(days.begin(), days.end(), [&between](const Holiday &d) { return d.date == between; }))
            continue; // a substitute day already
        days.append({between, QStringLiteral("国民の休日")});
    }
    std::sort(days.begin(), days.end(), [](const Holiday &a, const Holiday &b) { return a.date < b.date; });
    return days;
}

QString HolidayLines(const QList<Holiday> &days)
{
    QString text;
    for (const Holiday &day : days)
        text += day.date.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char('\t') + day.name + QLatin1Char('\n');
    return text;
}

namespace
{
// "YYYY/MM/DD" read digit by digit (a file of a thousand lines is read at every start).
QDate dateOf(QStringView text)
{
    if (text.size() != 10 || text[4] != u'/' || text[7] != u'/')
        return {};
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (!text[i].isDigit() || text[i].unicode() > u'9')
                return {};
            parts[p] = parts[p] * 10 + (text[i].unicode() - u'0');
        }
    return QDate(parts[0], parts[1], parts[2]);
}

// The national holidays shipped with the program, read once.
const QList<Holiday> &shippedHolidays()
{
    static const QList<Holiday> days = [] {
        QFile shipped(QStringLiteral(":/worvane/holidays.tsv"));
        return shipped.open(QIODevice::ReadOnly) ? ParseHolidayLines(QString::fromUtf8(shipped.readAll()))
                                                 : QList<Holiday>();
    }();
    return days;
}
} // namespace

QList<Holiday> ParseHolidayLines(const QString &text)
{
    QList<Holiday> days;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        const qsizetype tab = trimmed.indexOf(u'\t');
        const QDate date = dateOf(trimmed.left(tab < 0 ? trimmed.size() : tab).trimmed());
        if (date.isValid())
            days.append({date, tab < 0 ? QString() : trimmed.mid(tab + 1).trimmed().toString()});
    }
    return days;
}

namespace
{
// A company's file: UTF-8, or CP932 as the settings file may be.
QString textOf(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? FromCp932(bytes) : text;
}
} // namespace

DaysOff::DaysOff(const QList<Holiday> &days)
{
    for (const Holiday &day : days)
        m_names.insert(day.date, day.name);
}

DaysOff DaysOff::load(const QString &companyFile)
{
    QList<Holiday> days = shippedHolidays();
    if (!companyFile.isEmpty()) {
        QFile company(companyFile);
        if (company.open(QIODevice::ReadOnly))
            for (Holiday &day : ParseHolidayLines(textOf(company.readAll()))) {
                if (day.name.isEmpty())
                    day.name = QStringLiteral("会社休日");
                days.append(day);
            }
    }
    return DaysOff(days);
}

QList<QDate> MissingDays(const DaysOff &off, const QDate &today, const QList<QDate> &saved)
{
    QList<QDate> missing;
    for (QDate day(today.year(), today.month(), 1); day < today; day = day.addDays(1))
        if (off.isWorkingDay(day) && !saved.contains(day))
            missing.append(day);
    return missing;
}

QString DayStatus(const DaysOff &off, const QDate &day, const QDate &today, const QString &state, bool saved)
{
    if (!state.isEmpty())
        return state;
    return off.isWorkingDay(day) && day < today && !saved ? QStringLiteral("未入力") : QString();
}

} // namespace worvane
