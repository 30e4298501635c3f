#include "core/cp932.h"
#include "core/holidays.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace worvane;

class TestHolidays : public QObject
{
    Q_OBJECT

private slots:
    // Known days, from the cabinet office's lists and the law's changes: each is a holiday by that name, or
    // is not one (an empty name).
    void knownDates_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("name");
        const auto row = [](int y, int m, int d, const char *name) {
            QTest::addRow("%04d-%02d-%02d", y, m, d) << QDate(y, m, d) << QString::fromUtf8(name);
        };
        row(1955, 1, 15, "成人の日");
        row(1955, 3, 21, "春分の日");
        row(1959, 4, 10, "皇太子明仁親王の結婚の儀");
        row(1965, 9, 15, "");        // 敬老の日 from 1966
        row(1966, 9, 15, "敬老の日");
        row(1966, 10, 10, "体育の日");
        row(1967, 2, 11, "建国記念の日");
        row(1972, 4, 30, "");        // a Sunday holiday moved nothing before 1973/04/12
        row(1973, 4, 30, "振替休日"); // the first
        row(1979, 9, 24, "秋分の日");
        row(1985, 5, 4, "");
        row(1988, 5, 4, "国民の休日"); // the first day between two holidays
        row(1989, 2, 24, "昭和天皇の大喪の礼");
        row(1989, 4, 29, "みどりの日");
        row(1989, 12, 23, "天皇誕生日");
        row(1990, 11, 12, "即位礼正殿の儀");
        row(1993, 6, 9, "皇太子徳仁親王の結婚の儀");
        row(1996, 7, 20, "海の日");
        row(1999, 1, 15, "成人の日");
        row(2000, 1, 10, "成人の日"); // the second Monday from 2000
        row(2000, 10, 9, "体育の日");
        row(2003, 7, 21, "海の日");
        row(2003, 9, 15, "敬老の日");
        row(2006, 5, 4, "国民の休日");
        row(2007, 4, 30, "振替休日");
        row(2008, 5, 6, "振替休日"); // みどりの日 on a Sunday: past こどもの日
        row(2009, 9, 22, "国民の休日");
        row(2012, 3, 20, "春分の日");
        row(2015, 9, 22, "国民の休日");
        row(2016, 8, 11, "山の日");
        row(2018, 12, 24, "振替休日");
        row(2019, 4, 30, "国民の休日");
        row(2019, 5, 1, "天皇の即位の日");
        row(2019, 5, 2, "国民の休日");
        row(2019, 5, 6, "振替休日");
        row(2019, 10, 22, "即位礼正殿の儀");
        row(2019, 12, 23, ""); // no 天皇誕生日 in 2019
        row(2020, 2, 24, "振替休日");
        row(2020, 7, 20, "");
        row(2020, 7, 23, "海の日");
        row(2020, 7, 24, "スポーツの日");
        row(2020, 8, 10, "山の日");
        row(2020, 8, 11, "");
        row(2020, 10, 12, "");
        row(2021, 7, 22, "海の日");
        row(2021, 7, 23, "スポーツの日");
        row(2021, 8, 8, "山の日");
        row(2021, 8, 9, "振替休日");
        row(2021, 10, 11, "");
        row(2023, 3, 21, "春分の日");
        row(2024, 9, 23, "振替休日");
        row(2025, 2, 24, "振替休日");
        row(2026, 9, 22, "国民の休日");
        row(2027, 3, 21, "春分の日");
        row(2027, 3, 22, "振替休日");
    }
    void knownDates()
    {
        QFETCH(QDate, date);
        QFETCH(QString, name);
        QCOMPARE(DaysOff::load().holidayName(date), name);
    }

    // The file the program ships is what the rules give, every year it holds; it holds next year.
    void theShippedFileIsTheRules()
    {
        QFile shipped(QStringLiteral(":/worvane/holidays.tsv"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QList<Holiday> days = ParseHolidayLines(QString::fromUtf8(shipped.readAll()));
        QVERIFY(!days.isEmpty());
        QCOMPARE(days.first().date, QDate(1955, 1, 1));
        QVERIFY(days.last().date.year() > QDate::currentDate().year());
        QList<Holiday> rules;
        for (int year = 1955; year <= days.last().date.year(); ++year)
            rules += NationalHolidays(year);
        QCOMPARE(days, rules);
    }

    // A company's days off add to the holidays (CP932 or UTF-8, a name or none); weekends are days off.
    void companyDaysOffAndWorkingDays()
    {
        QTemporaryDir dir;
        QFile company(dir.filePath(QStringLiteral("company.txt")));
        QVERIFY(company.open(QIODevice::WriteOnly));
        company.write(ToCp932(QStringLiteral("# 会社の休日\r\n2026/12/29\t年末休暇\r\n2026/12/30\r\nnot a date\r\n")));
        company.close();
        const DaysOff off = DaysOff::load(company.fileName());
        QCOMPARE(off.holidayName(QDate(2026, 12, 29)), QStringLiteral("年末休暇"));
        QCOMPARE(off.holidayName(QDate(2026, 12, 30)), QStringLiteral("会社休日"));
        QVERIFY(!off.isWorkingDay(QDate(2026, 12, 30)));
        QVERIFY(off.isWorkingDay(QDate(2026, 12, 28)));  // a Monday
        QVERIFY(!off.isWorkingDay(QDate(2026, 12, 27))); // a Sunday
        QVERIFY(!off.isWorkingDay(QDate(2026, 11, 23))); // 勤労感謝の日
        QVERIFY(DaysOff::load(dir.filePath(QStringLiteral("none.txt"))).isWorkingDay(QDate(2026, 12, 29)));
    }

    // 未入力: the working days of the month before today without a saved day.
    void missingDaysAreTheWorkingDaysSoFarWithoutADay()
    {
        const DaysOff off = DaysOff::load();
        // November 2026: 3 (文化の日) and 23 (勤労感謝の日) are holidays; the 1st a Sunday.
        const QList<QDate> saved{QDate(2026, 11, 2), QDate(2026, 11, 4), QDate(2026, 11, 5), QDate(2026, 11, 6)};
        QCOMPARE(MissingDays(off, QDate(2026, 11, 10), saved), (QList<QDate>{QDate(2026, 11, 9)}));
        QCOMPARE(MissingDays(off, QDate(2026, 11, 1), {}), QList<QDate>());
        QCOMPARE(MissingDays(off, QDate(2026, 11, 25), saved).size(), 11); // 9-13, 16-20, 24
    }
};

QTEST_GUILESS_MAIN(TestHolidays)
#include "test_holidays.moc"
