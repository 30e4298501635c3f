// worvane-holidays FIRST LAST: prints the national holidays of the years FIRST to LAST, by the holiday
// law's rules, in the holidays file's form (the program ships its output as data/holidays.tsv).
#include "core/holidays.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool firstOk = false, lastOk = false;
    const int first = args.value(1).toInt(&firstOk), last = args.value(2).toInt(&lastOk);
    if (!firstOk || !lastOk || first < 1955 || last < first) {
        QTextStream(stderr) << "使い方: worvane-holidays FIRST LAST（1955 年以降）\n";
        return 2;
    }
    QTextStream out(stdout);
    out << "# 国民の祝日・振替休日・国民の休日 " << first << "–" << last
        << "（worvane-holidays が祝日法の規則から作成）\n";
    for (int year = first; year <= last; ++year)
        out << worvane::HolidayLines(worvane::NationalHolidays(year));
    return 0;
}
