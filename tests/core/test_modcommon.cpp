// The pure field rules: compact dates, the digit filter, trimming and CP932 byte counting.

#include "core/cp932.h"
#include "core/modcommon.h"

#include <QTest>

using namespace worvane;

namespace
{

QString ymd(int year, int month, int day)
{
    return QStringLiteral("%1%2%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

// The last day of each month of a leap and a common year, written out rather than computed.
const int LeapMonthEnds[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
const int CommonMonthEnds[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

} // namespace

class TestModCommon : public QObject
{
    Q_OBJECT

private slots:
    void isValidYmd_data();
    void isValidYmd();
    void rollForward_data();
    void rollForward();
    void rollBack_data();
    void rollBack();
    void stepThenRollGivesNeighbourDay();
    void digitKeyFilter_data();
    void digitKeyFilter();
    void trimBlanks();
    void readLeadingNumber_data();
    void readLeadingNumber();
    void cp932Lengths();
    void cp932Cutting();
    void cp932Conversion();
};

void TestModCommon::isValidYmd_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("leap day 2024") << "20240229" << true;
    QTest::newRow("no leap day 2023") << "20230229" << false;
    QTest::newRow("1900 leap by the 4 rule") << "19000229" << true;
    QTest::newRow("1800 leap by the 4 rule") << "18000229" << true;
    QTest::newRow("year above 2099") << "21000101" << false;
    QTest::newRow("year below 1800") << "17991231" << false;
    QTest::newRow("first day accepted") << "18000101" << true;
    QTest::newRow("last day accepted") << "20991231" << true;
    QTest::newRow("month 13") << "20241301" << false;
    QTest::newRow("month 0") << "20240001" << false;
    QTest::newRow("April 31") << "20240431" << false;
    QTest::newRow("day 0") << "20240100" << false;
    QTest::newRow("7 characters") << "2024011" << false;
    QTest::newRow("9 characters") << "202401011" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("leading blank reads year 202") << " 20240101" << false;
    QTest::newRow("leading full-width blank") << QString(QChar(0x3000)) + "20240101" << false;
    QTest::newRow("trailing blank: day reads '1 '") << "20240101 " << true;
    QTest::newRow("blanks inside parts are skipped") << "2024 1 5" << true;
    QTest::newRow("month not beginning with a digit") << "2024a101" << false;
    QTest::newRow("day read up to the letter") << "2024011a" << true;
    QTest::newRow("slashes") << "2024/1/1" << false;

    for (int month = 1; month <= 12; ++month) {
        const int leapEnd = LeapMonthEnds[month - 1];
        const int commonEnd = CommonMonthEnds[month - 1];
        QTest::addRow("2024-%02d last day", month) << ymd(2024, month, leapEnd) << true;
        QTest::addRow("2024-%02d day after last", month) << ymd(2024, month, leapEnd + 1) << false;
        QTest::addRow("2023-%02d last day", month) << ymd(2023, month, commonEnd) << true;
        QTest::addRow("2023-%02d day after last", month) << ymd(2023, month, commonEnd + 1) << false;
    }
}

void TestModCommon::isValidYmd()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValidYmd(text), valid);
}

void TestModCommon::rollForward_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    QTest::newRow("January 32") << "20240132"
                                << "20240201";
    QTest::newRow("leap Feb 30") << "20240230"
                                 << "20240301";
    QTest::newRow("common Feb 29") << "20230229"
                                   << "20230301";
    QTest::newRow("December 32") << "20241232"
                                 << "20250101";
    QTest::newRow("inside the month") << "20240115"
                                      << "20240115";
    QTest::newRow("out of the accepted years") << "20991232"
                                               << "21000101";
    QTest::newRow("day 0 rolls forward too") << "20240300"
                                             << "20240401";
    QTest::newRow("month 13 unchanged") << "20241300"
                                        << "20241300";
    QTest::newRow("month 0 unchanged") << "20240032"
                                       << "20240032";
    QTest::newRow("7 characters unchanged") << "2024013"
                                            << "2024013";
    QTest::newRow("year outside unchanged") << "17991232"
                                            << "17991232";
    QTest::newRow("leading blank unchanged") << " 20240132"
                                             << " 20240132";
    QTest::newRow("parts rewritten with zeros") << "2024 1 5"
                                                << "20240105";

    for (int month = 1; month <= 12; ++month) {
        const int nextMonth = month % 12 + 1;
        const int nextYearLeap = month == 12 ? 2025 : 2024;
        const int nextYearCommon = month == 12 ? 2024 : 2023;
        QTest::addRow("2024-%02d end stays", month)
            << ymd(2024, month, LeapMonthEnds[month - 1]) << ymd(2024, month, LeapMonthEnds[month - 1]);
        QTest::addRow("2024-%02d past end", month)
            << ymd(2024, month, LeapMonthEnds[month - 1] + 1) << ymd(nextYearLeap, nextMonth, 1);
        QTest::addRow("2023-%02d end stays", month)
            << ymd(2023, month, CommonMonthEnds[month - 1]) << ymd(2023, month, CommonMonthEnds[month - 1]);
        QTest::addRow("2023-%02d past end", month)
            << ymd(2023, month, CommonMonthEnds[month - 1] + 1) << ymd(nextYearCommon, nextMonth, 1);
    }
}

void TestModCommon::rollForward()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(RollForwardYmd(text), result);
}

void TestModCommon::rollBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    QTest::newRow("leap March 0") << "20240300"
                                  << "20240229";
    QTest::newRow("common March 0") << "20230300"
                                    << "20230228";
    QTest::newRow("August 0") << "20240800"
                              << "20240731";
    QTest::newRow("May 0") << "20240500"
                           << "20240430";
    QTest::newRow("January 0") << "20240100"
                               << "20231231";
    QTest::newRow("March 29 stays") << "20240329"
                                    << "20240329";
    QTest::newRow("March 30 stays") << "20240330"
                                    << "20240330";
    QTest::newRow("before the accepted years") << "18000100"
                                               << "17991231";
    QTest::newRow("past the end also steps back") << "20240230"
                                                  << "20240131";
    QTest::newRow("month 13 unchanged") << "20241300"
                                        << "20241300";
    QTest::newRow("month 0 unchanged") << "20240000"
                                       << "20240000";
    QTest::newRow("9 characters unchanged") << "202403000"
                                            << "202403000";
    QTest::newRow("year above unchanged") << "21000100"
                                          << "21000100";

    for (int month = 1; month <= 12; ++month) {
        const int prevMonth = month == 1 ? 12 : month - 1;
        QTest::addRow("2024-%02d day 0", month)
            << ymd(2024, month, 0)
            << ymd(month == 1 ? 2023 : 2024, prevMonth, month == 1 ? 31 : LeapMonthEnds[prevMonth - 1]);
        QTest::addRow("2023-%02d day 0", month)
            << ymd(2023, month, 0)
            << ymd(month == 1 ? 2022 : 2023, prevMonth, month == 1 ? 31 : CommonMonthEnds[prevMonth - 1]);
        QTest::addRow("2024-%02d first stays", month) << ymd(2024, month, 1) << ymd(2024, month, 1);
    }
}

void TestModCommon::rollBack()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(RollBackYmd(text), result);
}

// The date field steps a day by adding or subtracting 1 from the eight digits and repairing the month
// boundary; walking every day of two years that way must give each calendar day once, in order.
void TestModCommon::stepThenRollGivesNeighbourDay()
{
    QString day = QStringLiteral("20230101");
    int count = 0;
    while (day != QLatin1String("20250101")) {
        QVERIFY2(IsValidYmd(day), qPrintable(day));
        day = RollForwardYmd(QString::number(day.toLongLong() + 1));
        ++count;
    }
    QCOMPARE(count, 365 + 366);
    while (day != QLatin1String("20230101")) {
        day = RollBackYmd(QString::number(day.toLongLong() - 1));
        QVERIFY2(IsValidYmd(day), qPrintable(day));
        --count;
    }
    QCOMPARE(count, 0);
}

void TestModCommon::digitKeyFilter_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("kept");
    QTest::newRow("0") << int('0') << true;
    QTest::newRow("7") << int('7') << true;
    QTest::newRow("9") << int('9') << true;
    QTest::newRow("Enter") << 13 << true;
    QTest::newRow("Backspace") << 8 << true;
    QTest::newRow("letter") << int('a') << false;
    QTest::newRow("slash") << int('/') << false;
    QTest::newRow("colon") << int(':') << false;
    QTest::newRow("blank") << int(' ') << false;
    QTest::newRow("minus") << int('-') << false;
    QTest::newRow("Tab") << 9 << false;
    QTest::newRow("full-width 1") << 0xFF11 << false;
    QTest::newRow("full-width blank") << 0x3000 << false;
}

void TestModCommon::digitKeyFilter()
{
    QFETCH(int, code);
    QFETCH(bool, kept);
    int filtered = code;
    DigitKeyFilter(filtered);
    QCOMPARE(filtered, kept ? code : 0);
}

void TestModCommon::trimBlanks()
{
    const QChar wide(0x3000);
    QCOMPARE(TrimBlanks(QStringLiteral("  ab c  ")), QStringLiteral("ab c"));
    QCOMPARE(TrimBlanks(QString(wide) + " x" + wide + wide), QStringLiteral("x"));
    QCOMPARE(TrimBlanks(QStringLiteral("   ")), QString());
    QCOMPARE(TrimBlanks(QStringLiteral("\r\n")), QStringLiteral("\r\n"));
    QCOMPARE(TrimBlanks(QStringLiteral("\tx ")), QStringLiteral("\tx"));
    QCOMPARE(TrimBlanks(QStringLiteral(" a\r\n ")), QStringLiteral("a\r\n"));
}

void TestModCommon::readLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "2024" << 2024;
    QTest::newRow("leading zeros") << "0007" << 7;
    QTest::newRow("leading blank") << " 202" << 202;
    QTest::newRow("blanks inside") << "2 0 2" << 202;
    QTest::newRow("stops at a letter") << "12ab" << 12;
    QTest::newRow("letter first") << "a12" << 0;
    QTest::newRow("sign first") << "-1" << 0;
    QTest::newRow("full-width digit") << QString(QChar(0xFF11)) << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("decimal rounds down") << "2.4" << 2;
    QTest::newRow("decimal rounds up") << "2.6" << 3;
    QTest::newRow("half to even") << "2.5" << 2;
    QTest::newRow("half to even up") << "3.5" << 4;
    QTest::newRow("trailing point") << "1." << 1;
}

void TestModCommon::readLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(ReadLeadingNumber(text), value);
}

void TestModCommon::cp932Lengths()
{
    QCOMPARE(Cp932ByteLength(char32_t('a')), 1);
    QCOMPARE(Cp932ByteLength(QChar(0xFF71)), 1); // half-width katakana A
    QCOMPARE(Cp932ByteLength(QChar(0x3042)), 2); // hiragana a
    QCOMPARE(Cp932ByteLength(QChar(0xFF5E)), 2); // full-width tilde
    QCOMPARE(Cp932ByteLength(QChar(0x3000)), 2);
    QCOMPARE(Cp932ByteLength(char32_t(0x1F600)), 0); // emoji
    QCOMPARE(Cp932ByteLength(QChar(0x00E9)), 0);     // e acute
    QVERIFY(!IsCp932Representable(QStringLiteral("ab\U0001F600")));
    QVERIFY(IsCp932Representable(QStringLiteral("作業ｱｲｳ～－＼")));

    QCOMPARE(Cp932Length(QStringLiteral("作業abc")), 7);
    QCOMPARE(Cp932Length(QStringLiteral("a\nb"), false), 3);
    QCOMPARE(Cp932Length(QStringLiteral("a\nb"), true), 4);
    QCOMPARE(Cp932Length(QStringLiteral("a\r\nb"), true), 4);
    QCOMPARE(Cp932Length(QStringLiteral("a\r\nb"), false), 4);
    QCOMPARE(Cp932Length(QStringLiteral("\n\n"), true), 4);
}

void TestModCommon::cp932Cutting()
{
    QCOMPARE(LeftCp932Bytes(QStringLiteral("あいう"), 5), QStringLiteral("あい"));
    QCOMPARE(LeftCp932Bytes(QStringLiteral("abあ"), 3), QStringLiteral("ab"));
    QCOMPARE(LeftCp932Bytes(QStringLiteral("abｱあ"), 3), QStringLiteral("abｱ"));
    QCOMPARE(LeftCp932Bytes(QStringLiteral("abc"), 0), QString());
    QCOMPARE(LeftCp932Bytes(QStringLiteral("a\r\nb"), 2, true), QStringLiteral("a"));
    QCOMPARE(LeftCp932Bytes(QStringLiteral("a\r\nb"), 3, true), QStringLiteral("a\r\n"));
    QCOMPARE(LeftCp932Bytes(QStringLiteral("a\nb"), 3, true), QStringLiteral("a\n"));
    QCOMPARE(DropNonCp932(QStringLiteral("a\U0001F600bé")), QStringLiteral("ab"));
    // Characters after a refused one are still judged on their own.
    QCOMPARE(DropNonCp932(QStringLiteral("作\U0001F600業é内")), QStringLiteral("作業内"));
    QCOMPARE(Cp932Length(QStringLiteral("é作業")), 4);
}

void TestModCommon::cp932Conversion()
{
    bool ok = false;
    QCOMPARE(ToCp932(QStringLiteral("～＼－"), &ok), QByteArray("\x81\x60\x81\x5F\x81\x7C"));
    QVERIFY(ok);
    QCOMPARE(ToCp932(QStringLiteral("ｱa\\~"), &ok), QByteArray("\xB1"
                                                               "a\\~"));
    // ASCII control codes stay themselves (the ICU table would swap 0x1A, 0x1C and 0x7F).
    QCOMPARE(ToCp932(QStringLiteral("\x1a\x1c\x7f\r\n\t"), &ok), QByteArray("\x1a\x1c\x7f\r\n\t"));
    QCOMPARE(ToCp932(QStringLiteral("a\U0001F600b"), &ok), QByteArray("a?b"));
    QVERIFY(!ok);
    QCOMPARE(ToCp932(QStringView(u"\xD800\u3042\xDC00"), &ok), QByteArray("?\x82\xA0?")); // lone surrogates
    QVERIFY(!ok);

    const QString text = QStringLiteral("作業内容\r\n～ｱ\x7f\x1a");
    QCOMPARE(FromCp932(ToCp932(text), &ok), text);
    QVERIFY(ok);
    QCOMPARE(FromCp932(QByteArray("a\x81 b\x82\xA0"), &ok), QStringLiteral("a\uFFFD b\u3042"));
    QVERIFY(!ok);

    // A character the converter writes only as another one's code would not read back: it counts as
    // not representable (found by fuzzing: U+F86F went out as the code of "№").
    QVERIFY(!IsCp932Representable(char32_t(0xF86F)));
    QCOMPARE(Cp932Length(QStringView(u"\uF86F")), 0);
    QCOMPARE(ToCp932(QStringView(u"a\uF86F"), &ok), QByteArray("a?"));
    QVERIFY(!ok);
    QCOMPARE(ToCp932(QStringLiteral("№"), &ok), QByteArray("\x87\x82"));
    QVERIFY(ok);
}

QTEST_APPLESS_MAIN(TestModCommon)
#include "test_modcommon.moc"
