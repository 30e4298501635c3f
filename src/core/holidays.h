#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

// Days off: Japan's national holidays (国民の祝日, 振替休日 and 国民の休日) and a company's own.

namespace worvane
{

struct Holiday {
    QDate date;
    QString name;
    bool operator==(const Holiday &) const = default;
};

// The national holidays of a year, by the holiday law as it stood that year (1955 onward): the named
// days, the days named once, the substitute holidays (振替休日, from 1973/04/12) and the days between two
// holidays (国民の休日, from 1985/12/27). The equinox days by the usual reckoning. In date order.
QList<Holiday> NationalHolidays(int year);

// The holidays data file: a line "YYYY/MM/DD<TAB>name" per day, UTF-8; blank lines and lines starting
// with # are passed over. The program ships the national holidays in this form.
QString HolidayLines(const QList<Holiday> &days);
QList<Holiday> ParseHolidayLines(const QString &text);

// Which days are days off: the national holidays shipped with the program, and the company's own days
// off from a file in the same form (a line may hold the date alone). Saturdays and Sundays are days off.
class DaysOff
{
public:
    DaysOff() = default;
    // The shipped national holidays, and the company's file when it names one (a file that cannot be
    // read adds nothing).
    static DaysOff load(const QString &companyFile = {});
    // Holidays given as they are (tests).
    explicit DaysOff(const QList<Holiday> &days);

    // The name of a holiday or of a company day off; empty for any other day.
    QString holidayName(const QDate &date) const { return m_names.value(date); }
    bool isHoliday(const QDate &date) const { return m_names.contains(date); }
    bool isWorkingDay(const QDate &date) const
    {
        return date.isValid() && date.dayOfWeek() <= 5 && !isHoliday(date);
    }

private:
    QHash<QDate, QString> m_names;
};

// The days of `today`'s month before today that are working days without a saved day (未入力), in date
// order; `saved` holds the dates that have one.
QList<QDate> MissingDays(const DaysOff &off, const QDate &today, const QList<QDate> &saved);

// What a person's day is, as the team's status shows it: its state when it has one, 未入力 for a working
// day before today without a saved day, else nothing (a day off, a day to come, a day saved on a file).
QString DayStatus(const DaysOff &off, const QDate &day, const QDate &today, const QString &state, bool saved);

} // namespace worvane
