#include "core/dayrules.h"

#include <QTest>

using namespace worvane;

Q_DECLARE_METATYPE(DayHeader)
Q_DECLARE_METATYPE(WorkItem)

Q_DECLARE_METATYPE(std::optional<Fault>)

namespace
{
std::optional<Fault> fault(const Message &message, Field field)
{
    return Fault{message, field};
}
} // namespace

// The checks and the tidying of the header and item fields, one line a case.
class TestDayRules : public QObject
{
    Q_OBJECT

private slots:
    void headerChecksReportTheFirstFault_data()
    {
        QTest::addColumn<DayHeader>("header");
        QTest::addColumn<std::optional<Fault>>("search");
        QTest::addColumn<std::optional<Fault>>("save");
        const auto no = std::optional<Fault>();
        QTest::newRow("all blank: only the code")
            << DayHeader{" ", "", "", ""} << fault(msg::CodeRequired, Field::Code)
            << fault(msg::CodeRequired, Field::Code);
        QTest::newRow("date blank") << DayHeader{"A1", "　", "09:00", "18:00"}
                                    << fault(msg::DateRequired, Field::Date)
                                    << fault(msg::DateRequired, Field::Date);
        for (const char *bad :
             {"2023/02/29", "2024/02/30", "2024/13/01", "1799/12/31", "2100/01/01", "2024//01"})
            QTest::newRow(bad) << DayHeader{"A1", bad, "09:00", "18:00"}
                               << fault(msg::DateInvalid, Field::Date)
                               << fault(msg::DateInvalid, Field::Date);
        QTest::newRow("leap day, no hours: searchable, not savable")
            << DayHeader{"A1", "2024/02/29", "", "18:00"} << no
            << fault(msg::HoursRequired, Field::StartTime);
        QTest::newRow("1900/02/29 is a date here")
            << DayHeader{"A1", "1900/02/29", "09:00", "18:00"} << no << no;
        QTest::newRow("end blank") << DayHeader{"A1", "2024/03/01", "09:00", " "} << no
                                   << fault(msg::HoursRequired, Field::EndTime);
        QTest::newRow("equal times") << DayHeader{"A1", "2024/03/01", "09:00", "09:00"} << no
                                     << fault(msg::HoursOutOfOrder, Field::StartTime);
        QTest::newRow("start after end") << DayHeader{"A1", "2024/03/01", "18:00", "09:00"} << no
                                         << fault(msg::HoursOutOfOrder, Field::StartTime);
        QTest::newRow("past midnight is not range-tested")
            << DayHeader{"A1", "2024/03/01", "09:00", "25:00"} << no << no;
        QTest::newRow("unformatted digits compare as text")
            << DayHeader{"A1", "2024/03/01", "09:00", "0900"} << no
            << fault(msg::HoursOutOfOrder, Field::StartTime);
    }
    void headerChecksReportTheFirstFault()
    {
        QFETCH(DayHeader, header);
        QFETCH(std::optional<Fault>, search);
        QFETCH(std::optional<Fault>, save);
        QCOMPARE(checkSearch(header), search);
        QCOMPARE(checkHeader(header), save);
    }

    void itemCheckReportsTheFirstFault_data()
    {
        QTest::addColumn<WorkItem>("item");
        QTest::addColumn<std::optional<Fault>>("expected");
        QTest::newRow("all empty") << WorkItem{"", "", ""}
                                   << fault(msg::ItemNumberRequired, Field::ItemNumber);
        QTest::newRow("0") << WorkItem{"0", "t", "d"} << fault(msg::ItemNumberRange, Field::ItemNumber);
        QTest::newRow("00") << WorkItem{"00", "t", "d"} << fault(msg::ItemNumberRange, Field::ItemNumber);
        QTest::newRow("01") << WorkItem{"01", "t", "d"} << std::optional<Fault>();
        QTest::newRow("title of blanks")
            << WorkItem{"1", "   ", "d"} << fault(msg::ItemTitleRequired, Field::ItemTitle);
        QTest::newRow("detail blank")
            << WorkItem{"1", "t", " "} << fault(msg::ItemDetailRequired, Field::ItemDetail);
        QTest::newRow("detail a line break") << WorkItem{"1", "t", "\r\n"} << std::optional<Fault>();
    }
    void itemCheckReportsTheFirstFault()
    {
        QFETCH(WorkItem, item);
        QFETCH(std::optional<Fault>, expected);
        QCOMPARE(checkItem(item), expected);
    }

    void timesAndDatesAreTidiedOnLeaving_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("date");
        QTest::newRow("930") << "930"
                             << "09:30"
                             << "930//30";
        QTest::newRow("0") << "0"
                           << "00:00"
                           << "0//0";
        QTest::newRow("2500") << "2500"
                              << "25:00"
                              << "2500//00";
        QTest::newRow("09:00 again") << "09:00"
                                     << "09:00"
                                     << "09:0/0/00";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("20240105") << "20240105"
                                  << "202401:05"
                                  << "2024/01/05";
        QTest::newRow("202415") << "202415"
                                << "2024:15"
                                << "2024/15/15";
        QTest::newRow("not a number") << "ab"
                                      << "ab"
                                      << "ab//ab";
    }
    void timesAndDatesAreTidiedOnLeaving()
    {
        QFETCH(QString, typed);
        QFETCH(QString, time);
        QFETCH(QString, date);
        QCOMPARE(formatTime(typed), time);
        QCOMPARE(formatYmd(typed), date);
    }

    void arrowKeysStepTheDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QString>>("previous");
        QTest::addColumn<std::optional<QString>>("next");
        QTest::newRow("into February")
            << "2024/03/01" << std::optional<QString>("20240229") << std::optional<QString>("20240302");
        QTest::newRow("year end") << "20231231" << std::optional<QString>("20231230")
                                  << std::optional<QString>("20240101");
        QTest::newRow("new year") << "2024/01/01" << std::optional<QString>("20231231")
                                  << std::optional<QString>("20240102");
        QTest::newRow("seven digits") << "2024/01/0" << std::optional<QString>() << std::optional<QString>();
        QTest::newRow("pasted letters") << "2024ab01" << std::optional<QString>() << std::optional<QString>();
    }
    void arrowKeysStepTheDate()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<QString>, previous);
        QFETCH(std::optional<QString>, next);
        QCOMPARE(stepYmd(text, -1), previous);
        QCOMPARE(stepYmd(text, 1), next);
    }
};

QTEST_GUILESS_MAIN(TestDayRules)
#include "test_dayrules.moc"
