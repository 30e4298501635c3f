#include "core/cp932.h"
#include "rangefixture.h"
#include "ranges/rangechart.h"
#include "ranges/rangeexport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QDir>
#include <QMap>
#include <QSet>
#include <QUrl>
#include <QTest>

using namespace worvane;
using worvane::test::readBytes;
using worvane::test::sql;

namespace
{
const RangeSelection TwoMonths{QStringLiteral("2026/01/01"), QStringLiteral("2026/02/28"), std::nullopt};

// The days of a range as an export takes them.
QList<StoredDay> daysOf(const QString &db, const RangeSelection &selection)
{
    QList<StoredDay> days;
    const Outcome read = OpenStore(db)->forEachDay(selection, [&](const StoredDay &day) {
        days << day;
        return true;
    });
    if (!read.ok())
        qFatal("range not read: %s", qPrintable(read.error->text));
    return days;
}

QList<DaySummary> summariesOf(const QString &db, const RangeSelection &selection)
{
    const Result<QList<DaySummary>> range = OpenStore(db)->summarizeRange(selection, Store::ItemCounts::Counted);
    if (!range.ok())
        qFatal("range not read: %s", qPrintable(range.error->text));
    return range.value;
}

// A day as both range queries give it: "date code name start-end items".
QString dayLine(const DaySummary &day)
{
    return QStringLiteral("%1 %2 %3 %4-%5 %6")
        .arg(day.date, day.code, day.name, day.startTime, day.endTime)
        .arg(day.itemCount);
}

// A workbook as openpyxl reads it: the cached results of the formulas (as a reader without a calculation
// engine sees them) of both sheets, and the formula of one cell of 集計.
QJsonObject readBook(const QString &path, const char *formulaCell = "C2")
{
    QProcess python;
    python.start(QStringLiteral(PYTHON3_PATH), {QStringLiteral("-c"), QStringLiteral(R"(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], data_only=True)
formulas = openpyxl.load_workbook(sys.argv[1])
cell = lambda v: v.isoformat() if hasattr(v, 'isoformat') else (v.total_seconds() // 60 if hasattr(v, 'total_seconds') else v)
print(json.dumps({'sheets': book.sheetnames,
  'rows': [[cell(v) for v in r] for r in book['日報'].iter_rows(values_only=True)],
  'summary': [[cell(v) for v in r] for r in book['集計'].iter_rows(values_only=True)],
  'formula': formulas['集計'][sys.argv[2]].value}))
)"),
                                                path, QString::fromLatin1(formulaCell)});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        qFatal("openpyxl: %s", python.readAllStandardError().constData());
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

DaySource listed(const QList<StoredDay> &days)
{
    return [days](const DaySink &take) {
        for (const StoredDay &day : days)
            if (!take(day))
                break;
        return Outcome{};
    };
}

QStringList totalLines(const RangeTotals &totals)
{
    QStringList lines;
    for (const ProjectTotal &p : totals.projects + QList<ProjectTotal>{totals.grand})
        lines << QStringLiteral("%1 %2/%3/%4/%5")
                     .arg(p.code)
                     .arg(p.days)
                     .arg(p.items)
                     .arg(p.untimedDays)
                     .arg(FormatHours(p.minutes));
    return lines;
}

// One day with the fields a CSV must quote.
QList<StoredDay> quotingDays()
{
    return {
        StoredDay{DaySummary{QStringLiteral("A1"), QStringLiteral("名前, 株式会社"), QStringLiteral("2026/01/05"),
                             QStringLiteral("09:00"), QStringLiteral("25:30"), 1},
                  {WorkItem{QStringLiteral("1"), QStringLiteral("「見積」\"案\""),
                            QStringLiteral("一行目\r\n二行目\n三行目")},
                   // Texts a spreadsheet would run as formulas are written as text.
                   WorkItem{QStringLiteral("2"), QStringLiteral("=HYPERLINK(\"http://x\",\"y\")"), QStringLiteral("@SUM(1+1)")},
                   WorkItem{QStringLiteral("3"), QStringLiteral("+1+1"), QStringLiteral("-2")},
                   WorkItem{QStringLiteral("4"), QStringLiteral("\tx"), QStringLiteral("\ry")}}},
        StoredDay{DaySummary{QStringLiteral("B2"), QString(), QStringLiteral("2026/01/06"), QString(), QString(), 0}, {}}};
}
const QByteArray QuotingCsv = "日付,PJコード,PJ名称,開始,終了,時間,作業項目№,作業項目,作業内容,日計\r\n"
                              "2026/01/05,A1,\"名前, 株式会社\",09:00,25:30,16:30,1,\"「見積」\"\"案\"\"\","
                              "\"一行目\r\n二行目\r\n三行目\",16:30\r\n"
                              "2026/01/05,A1,\"名前, 株式会社\",09:00,25:30,16:30,2,"
                              "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",'@SUM(1+1),\r\n"
                              "2026/01/05,A1,\"名前, 株式会社\",09:00,25:30,16:30,3,'+1+1,'-2,\r\n"
                              "2026/01/05,A1,\"名前, 株式会社\",09:00,25:30,16:30,4,'\tx,\"'\r\ny\",\r\n"
                              "2026/01/06,B2,,,,,,,,\r\n";
} // namespace

class TestRanges : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_db;

private slots:
    void initTestCase()
    {
        m_db = m_dir.filePath(QStringLiteral("range.db"));
        test::makeRangeFixture(m_db);
    }

    void dayHours_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("minutes"); // -1: no valid hours
        QTest::newRow("past midnight") << "09:00"
                                       << "25:30" << 990;
        QTest::newRow("equal") << "09:00"
                               << "09:00" << 0;
        QTest::newRow("empty end") << "09:00"
                                   << "" << -1;
        QTest::newRow("end first") << "18:00"
                                   << "09:00" << -1;
        QTest::newRow("one-digit hour") << "9:00"
                                        << "18:00" << -1;
        QTest::newRow("60 minutes") << "09:60"
                                    << "18:00" << -1;
        QTest::newRow("letters") << "09:0a"
                                 << "18:00" << -1;
    }
    void dayHours()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, minutes);
        QCOMPARE(DayMinutes(start, end).value_or(-1), minutes);
    }

    void hoursFormat()
    {
        QCOMPARE(FormatHours(9810), QStringLiteral("163:30"));
        QCOMPARE(FormatHours(5), QStringLiteral("0:05"));
        QCOMPARE(FormatHours(0), QStringLiteral("0:00"));
    }

    void rangeDaysComeInDateCodeAndItemOrder()
    {
        QStringList days;
        for (const StoredDay &day : daysOf(m_db, TwoMonths)) {
            QStringList items;
            for (const WorkItem &item : day.items)
                items << item.code;
            days << day.summary.date + QLatin1Char(' ') + day.summary.code + QLatin1Char(' ') + day.summary.name +
                        QLatin1Char(' ') + items.join(QLatin1Char(','));
        }
        QCOMPARE(days, (QStringList{QStringLiteral("2026/01/05 A0012345 ワーベーン開発 1,2,10"),
                                    QStringLiteral("2026/01/05 B0000001 社内ネットワーク更改 1"),
                                    QStringLiteral("2026/01/20 A0012345 ワーベーン開発 1"),
                                    QStringLiteral("2026/02/02 A0012345 ワーベーン開発 "),
                                    QStringLiteral("2026/02/10 X1  1"),
                                    QStringLiteral("2026/02/27 B0000001 社内ネットワーク更改 1,2")}));
    }

    void totalsMatchTheHandComputedOnes()
    {
        QCOMPARE(totalLines(TotalRange(summariesOf(m_db, TwoMonths))),
                 (QStringList{QStringLiteral("A0012345 3/4/1/12:45"), QStringLiteral("B0000001 2/3/0/8:15"),
                              QStringLiteral("X1 1/1/0/0:30"), QStringLiteral(" 6/8/1/21:30")}));
        // A pattern matches as the project search does: * and ?, letter case ignored.
        QCOMPARE(
            totalLines(TotalRange(summariesOf(m_db, {TwoMonths.from, TwoMonths.to, QStringLiteral("b*")}))),
            (QStringList{QStringLiteral("B0000001 2/3/0/8:15"), QStringLiteral(" 2/3/0/8:15")}));
        QCOMPARE(
            totalLines(TotalRange(summariesOf(m_db, {TwoMonths.from, TwoMonths.to, QStringLiteral("?1")}))),
            (QStringList{QStringLiteral("X1 1/1/0/0:30"), QStringLiteral(" 1/1/0/0:30")}));
        // Both ends of the range are included.
        QCOMPARE(summariesOf(m_db, {QStringLiteral("2025/12/31"), QStringLiteral("2026/01/05"), std::nullopt})
                     .size(),
                 3);
    }

    // The charts draw the same totals as the grid and worvane-report: the fixture's, a series per project
    // (most hours first), a bar per day or month; a day without times adds nothing; past eight projects the
    // rest are one series, その他.
    void chartsDrawTheSameTotals()
    {
        const QList<DaySummary> days = summariesOf(m_db, TwoMonths);
        const ChartData year = YearChart(2026, days);
        QCOMPARE(year.total, 1290);
        QCOMPARE(year.bucketTotals.mid(0, 3), (QList<qint64>{540 + 210, 225 + 30 + 285, 0}));
        QStringList series;
        for (const ChartSeries &s : year.series)
            series << QStringLiteral("%1 %2").arg(s.label.section(u' ', 0, 0)).arg(s.total);
        QCOMPARE(series, (QStringList{QStringLiteral("A0012345 765"), QStringLiteral("B0000001 495"),
                                      QStringLiteral("X1 30")}));
        const ChartData january = MonthChart(QDate(2026, 1, 20), days, DaysOff());
        QCOMPARE(january.buckets.size(), 31);
        QCOMPARE(january.bucketTotals[4], 540 + 210); // the 5th
        QCOMPARE(january.bucketTotals[19], 0);        // the 20th, saved without times
        QCOMPARE(january.shaded.mid(2, 3), (QList<bool>{true, true, false})); // the 3rd and 4th a weekend
        QCOMPARE(january.total, 750);

        QList<DaySummary> many;
        for (int p = 1; p <= 10; ++p)
            many << DaySummary{QStringLiteral("P%1").arg(p, 2, 10, QLatin1Char('0')), {}, QStringLiteral("2026/01/05"),
                               QStringLiteral("09:00"), QStringLiteral("%1:00").arg(9 + p, 2, 10, QLatin1Char('0')), 0, {}};
        const ChartData folded = MonthChart(QDate(2026, 1, 1), many, DaysOff());
        QCOMPARE(folded.series.size(), ChartSeriesMax);
        QCOMPARE(folded.series.first().label, QStringLiteral("P10"));
        QCOMPARE(folded.series.last().label, OtherSeries);
        QCOMPARE(folded.series.last().total, (1 + 2 + 3) * 60); // P01 to P03
        QCOMPARE(folded.bucketTotals[4], folded.total);

        // A project keeps its colour from chart to chart, whatever its rank there (B0000001 has February's
        // most hours and the year's second): each month's projects have the year's slots, and a chart's
        // projects never share one.
        const auto slotsOf = [](const ChartData &chart) {
            QMap<QString, int> found;
            for (const ChartSeries &s : chart.series)
                found.insert(s.label.section(u' ', 0, 0), s.slot);
            return found;
        };
        const QMap<QString, int> ofYear = slotsOf(year);
        for (const int month : {1, 2})
            for (const auto &[code, slot] : slotsOf(MonthChart(QDate(2026, month, 1), days, DaysOff())).asKeyValueRange())
                QCOMPARE(slot, ofYear.value(code));
        QCOMPARE(MonthChart(QDate(2026, 2, 1), days, DaysOff()).series.first().label.section(u' ', 0, 0),
                 QStringLiteral("B0000001"));
        const QList<int> foldedSlots = slotsOf(folded).values();
        QCOMPARE(QSet<int>(foldedSlots.begin(), foldedSlots.end()).size(), ChartSeriesMax);
        QCOMPARE(folded.series.last().slot, -1); // その他, grey
        // Two codes wanting one slot: the one with more hours keeps it, the other takes the next.
        QStringList codes;
        for (int i = 0; codes.size() < 2; ++i)
            if (const QString code = QStringLiteral("C%1").arg(i); ColourSlots({code}) == ColourSlots({QStringLiteral("A")}))
                codes << code;
        QCOMPARE(ColourSlots(codes), (QList<int>{ColourSlots({codes[0]})[0], (ColourSlots({codes[0]})[0] + 1) % SeriesColours}));
    }

    void bothRangeQueriesKeepTheDayRules()
    {
        // A file of another origin: no unique day index, a second time row of a day under the code in
        // other letter case, and items of a day without a time row.
        const QString db = m_dir.filePath(QStringLiteral("rules.db"));
        test::makeRangeFixture(db);
        sql(db, QStringLiteral("DROP INDEX DF_WKTIME_DAY"));
        sql(db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME) "
                               "VALUES ('a0012345', '2026/01/05', '00:00', '23:00')"));
        sql(db, QStringLiteral("INSERT INTO DF_WKCONT VALUES ('B0000001', '2026/01/20', '1', 'x', 'y')"));

        const RangeSelection pattern{TwoMonths.from, TwoMonths.to, QStringLiteral("%0_2*")};
        const QStringList expected{QStringLiteral("2026/01/05 A0012345 ワーベーン開発 09:00-18:00 3"),
                                   QStringLiteral("2026/01/20 A0012345 ワーベーン開発 - 1"),
                                   QStringLiteral("2026/02/02 A0012345 ワーベーン開発 08:30-12:15 0")};
        QStringList summarized, walked;
        for (const DaySummary &day : summariesOf(db, pattern))
            summarized << dayLine(day);
        for (const StoredDay &day : daysOf(db, pattern))
            walked << dayLine(day.summary);
        QCOMPARE(summarized, expected);
        QCOMPARE(walked, expected);
        // Every project: the totals of the file without the extra rows.
        QCOMPARE(totalLines(TotalRange(summariesOf(db, TwoMonths))),
                 totalLines(TotalRange(summariesOf(m_db, TwoMonths))));
        qsizetype items = 0;
        for (const StoredDay &day : daysOf(db, TwoMonths))
            items += day.items.size();
        QCOMPARE(items, 8);
    }

    void theDateIndexIsAddedToAWritableFileOnly()
    {
        const QString db = m_dir.filePath(QStringLiteral("old.db"));
        test::makeRangeFixture(db);
        const QString count =
            QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'DF_WKTIME_YMD'");
        QCOMPARE(sql(db, count)[0][0].toInt(), 1); // every new file has it
        sql(db, QStringLiteral("DROP INDEX DF_WKTIME_YMD"));
        QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup);
        QCOMPARE(summariesOf(db, TwoMonths).size(), 6);
        QCOMPARE(sql(db, count)[0][0].toInt(), 0);

        QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(daysOf(db, TwoMonths).size(), 6);
        QCOMPARE(sql(db, count)[0][0].toInt(), 1);
        const QList<QVariantList> plan = sql(
            db, QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM DF_WKTIME WHERE WKYMD BETWEEN '2026/01/01' "
                               "AND '2026/01/31'"));
        QVERIFY(plan.last().last().toString().contains(QStringLiteral("DF_WKTIME_YMD")));
    }

    void csvQuotesAndEndsLinesWithCrLf()
    {
        const QString path = m_dir.filePath(QStringLiteral("quoting.csv"));
        QCOMPARE(WriteCsv({path, {}}, listed(quotingDays()), CsvEncoding::Utf8WithBom), std::nullopt);
        QCOMPARE(readBytes(path), QByteArray("\xEF\xBB\xBF") + QuotingCsv);

        QCOMPARE(WriteCsv({path, {}}, listed(quotingDays()), CsvEncoding::Cp932), std::nullopt);
        QCOMPARE(readBytes(path), ToCp932(QString::fromUtf8(QuotingCsv)));
        QVERIFY(readBytes(path).startsWith("\x93\xfa\x95\x74,")); // 日付 in CP932, no BOM
    }

    void aFailedExportWritesNothing()
    {
        // The character is in the second day, after the first one's text has been taken.
        QList<StoredDay> days = quotingDays();
        days.append(days[0]);
        days[2].summary.date = QStringLiteral("2026/01/07");
        // The marks other programs write where the window writes their CP932 forms are written in those.
        days[2].items[0].detail = QStringLiteral("9時\u301C18時 \u2212 \u2016 \u00A2\u00A3\u00AC");
        const QString marks = m_dir.filePath(QStringLiteral("marks.csv"));
        QCOMPARE(WriteCsv({marks, {}}, listed(days), CsvEncoding::Cp932), std::nullopt);
        QVERIFY(readBytes(marks).contains(ToCp932(QStringLiteral("9時\uFF5E18時 \uFF0D \u2225 \uFFE0\uFFE1\uFFE2"))));
        QCOMPARE(WriteMonthlyText({marks, {}}, TwoMonths, listed(days)), std::nullopt);
        days[2].items[0].detail = QStringLiteral("完了\u301C😀");
        const QString path = m_dir.filePath(QStringLiteral("refused.csv"));
        test::writeBytes(path, "kept");
        for (const auto &error : {WriteCsv({path, {}}, listed(days), CsvEncoding::Cp932),
                                  WriteMonthlyText({path, {}}, TwoMonths, listed(days))}) {
            QVERIFY(error);
            QVERIFY2(error->contains(QStringLiteral("2026/01/07 A1 作業項目№1 作業内容「😀」")),
                     qPrintable(*error));
        }
        const auto pattern = WriteMonthlyText({path, {}}, {TwoMonths.from, TwoMonths.to, QStringLiteral("A😀*")},
                                              listed(quotingDays()));
        QVERIFY(pattern && pattern->contains(QStringLiteral("PJコード「😀」")));
        // A database that fails while the days are read.
        const DaySource failing = [](const DaySink &take) {
            take(quotingDays()[0]);
            return Outcome::failure({StoreError::Kind::Other, QStringLiteral("disk I/O error")});
        };
        for (const auto &error :
             {WriteCsv({path, {}}, failing, CsvEncoding::Utf8WithBom), WriteMonthlyText({path, {}}, TwoMonths, failing),
              WriteXlsx({path, {}}, TwoMonths, failing)})
            QVERIFY(error && error->contains(QStringLiteral("disk I/O error")));
        QCOMPARE(readBytes(path), QByteArray("kept"));
        QCOMPARE(
            WriteCsv({m_dir.filePath(QStringLiteral("nofolder/x.csv")), {}}, listed(days), CsvEncoding::Utf8WithBom)
                .has_value(),
            true);
    }

    void monthlyTextHasTheDayBlocksAndTheTotals()
    {
        const RangeSelection selection{TwoMonths.from, TwoMonths.to, QStringLiteral("B*")};
        const QString path = m_dir.filePath(QStringLiteral("month.txt"));
        QCOMPARE(WriteMonthlyText({path, {}}, selection, RangeDays(*OpenStore(m_db), selection)), std::nullopt);
        bool ok = false;
        const QString text = FromCp932(readBytes(path), &ok);
        QVERIFY(ok);
        QCOMPARE(text, QStringLiteral("月報\t2026/01/01～2026/02/28\r\nPJコード\tB*\r\n\r\n"
                                      "■B0000001\t社内ネットワーク更改\r\n2026/01/05\t22:00～25:30\r\n\r\n"
                                      "1.\t夜間切替\r\n\t\t\r\n\r\n\r\n"
                                      "■B0000001\t社内ネットワーク更改\r\n2026/02/27\t13:00～17:45\r\n\r\n"
                                      "1.\t作業\r\n\t\t\r\n\r\n2.\t作業\r\n\t\t\r\n\r\n\r\n"
                                      "集計\r\nB0000001\t社内ネットワーク更改\t2日\t3項目\t8:15\r\n"
                                      "合計\t\t2日\t3項目\t8:15\r\n"));
        // A day without times: its date alone, no stray →～.
        const RangeSelection a{TwoMonths.from, TwoMonths.to, QStringLiteral("A*")};
        QCOMPARE(WriteMonthlyText({path, {}}, a, RangeDays(*OpenStore(m_db), a)), std::nullopt);
        const QString untimed = FromCp932(readBytes(path), &ok);
        QVERIFY2(untimed.contains(QStringLiteral("\r\n2026/01/20\r\n\r\n")), qPrintable(untimed));
    }

    void workbookReadsBackInAnotherReader()
    {
        if (QStringLiteral(PYTHON3_PATH).endsWith(QStringLiteral("NOTFOUND")))
            QSKIP("no python3 with openpyxl (scripts/setup.sh --test)");
        const QString path = m_dir.filePath(QStringLiteral("range.xlsx"));
        QCOMPARE(WriteXlsx({path, {}}, TwoMonths, RangeDays(*OpenStore(m_db), TwoMonths)), std::nullopt);

        const QJsonObject book = readBook(path);
        QCOMPARE(book[QStringLiteral("sheets")].toArray(),
                 (QJsonArray{QStringLiteral("日報"), QStringLiteral("集計"), QStringLiteral("グラフ")}));
        // グラフ: a stacked column chart whose series read the sheet's table, a column per day of the 59.
        QProcess chart;
        chart.start(QStringLiteral(PYTHON3_PATH),
                    {QStringLiteral("-c"),
                     QStringLiteral("import re, sys, zipfile; x = zipfile.ZipFile(sys.argv[1]).read('xl/charts/chart1.xml')"
                                    ".decode(); print('stacked' in x, *re.findall('<c:f>([^<]*)</c:f>', x)[:3],"
                                    " *re.findall('<c:spPr><a:solidFill><a:srgbClr val=.([0-9A-F]+)', x))"),
                     path});
        QVERIFY(chart.waitForFinished(30000));
        // Its series in the colours the window's charts give the same projects.
        QStringList colours;
        for (const ChartSeries &series : YearChart(2026, summariesOf(m_db, TwoMonths)).series)
            colours << QString::number(SeriesColour(series.slot), 16).toUpper().rightJustified(6, u'0');
        QCOMPARE(QString::fromUtf8(chart.readAllStandardOutput()).trimmed(),
                 QStringLiteral("True 'グラフ'!$A$2 'グラフ'!$C$1:$BI$1 'グラフ'!$C$2:$BI$2 ") + colours.join(u' '));

        const QJsonArray rows = book[QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), 1 + 9); // header, 3 + 1 + 1 + 1 (no items) + 1 + 2 item rows
        const QJsonArray pastMidnight = rows[4].toArray();
        QCOMPARE(pastMidnight[0].toString(), QStringLiteral("2026-01-05T00:00:00")); // a real date
        QCOMPARE(pastMidnight[5].toDouble(), 210.0);                                 // a real time value
        QCOMPARE(pastMidnight[7].toString(), QStringLiteral("夜間切替"));
        QVERIFY(rows[5].toArray()[5].isNull()); // the day without times: no hours, not 0:00

        // 集計: projects by month as formulas over 日報, their totals and the grand total.
        const QJsonArray summary = book[QStringLiteral("summary")].toArray();
        QCOMPARE(summary[1].toArray(),
                 (QJsonArray{QStringLiteral("A0012345"), QStringLiteral("ワーベーン開発"), 540, 225, 765}));
        QCOMPARE(summary[4].toArray()[4].toDouble(), 1290.0);
        // A code is a criterion taken as it is: A* or <5 would be patterns to SUMIFS.
        QCOMPARE(book[QStringLiteral("formula")].toString().section(u',', 0, 8),
                 QStringLiteral("=SUMIFS('日報'!$J:$J,'日報'!$B:$B,\"=\"&SUBSTITUTE(SUBSTITUTE(SUBSTITUTE($A2,\"~\","
                                "\"~~\"),\"*\",\"~*\"),\"?\",\"~?\")"));
    }

    // The workbook as a spreadsheet user sees it: recalculated by LibreOffice. Codes that read as patterns
    // or comparisons to SUMIFS (A*, A?, <5, =AB, ~x) are each their own project in 集計, and its total is
    // the days' total.
    void workbookRecalculatedByLibreOfficeKeepsEachCodeApart()
    {
        if (QStringLiteral(SOFFICE_PATH).endsWith(QStringLiteral("NOTFOUND")) ||
            QStringLiteral(PYTHON3_PATH).endsWith(QStringLiteral("NOTFOUND")))
            QSKIP("no LibreOffice or no python3 with openpyxl (scripts/setup.sh --test)");
        const auto of = [](const char *code, const char *date, const char *end) {
            return StoredDay{DaySummary{QString::fromLatin1(code), QStringLiteral("名"), QString::fromLatin1(date),
                                        QStringLiteral("09:00"), QString::fromLatin1(end), 0, {}},
                             {}};
        };
        // Hours: A* 3, AB 4, A? 1, <5 5, =AB 2, ~x 1 (and AB again on another day: 4 + 6).
        const QList<StoredDay> days{of("<5", "2026/01/05", "14:00"), of("=AB", "2026/01/05", "11:00"),
                                    of("A*", "2026/01/05", "12:00"), of("A?", "2026/01/05", "10:00"),
                                    of("AB", "2026/01/05", "13:00"), of("AB", "2026/01/06", "15:00"),
                                    of("~x", "2026/01/05", "10:00")};
        const RangeSelection january{QStringLiteral("2026/01/01"), QStringLiteral("2026/01/31"), std::nullopt};
        const QString path = m_dir.filePath(QStringLiteral("patterns.xlsx"));
        QCOMPARE(WriteXlsx({path, {}}, january, listed(days)), std::nullopt);

        // Every formula recalculated on loading, in a profile of the test's own.
        QTemporaryDir profile;
        QVERIFY(QDir(profile.path()).mkpath(QStringLiteral("user")));
        QFile settings(profile.filePath(QStringLiteral("user/registrymodifications.xcu")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                       "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                       "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\"><prop oor:name=\"OOXMLRecalcMode\" "
                       "oor:op=\"fuse\"><value>0</value></prop></item>\n</oor:items>\n");
        settings.close();
        const QString out = profile.filePath(QStringLiteral("out"));
        QProcess office;
        office.setProcessChannelMode(QProcess::MergedChannels);
        office.start(QStringLiteral(SOFFICE_PATH),
                     {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                      QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                      QStringLiteral("xlsx"), QStringLiteral("--outdir"), out, path});
        QVERIFY2(office.waitForFinished(180000) && office.exitCode() == 0, office.readAll().constData());

        QMap<QString, double> totals; // code: minutes in 集計's last column
        const QJsonArray summary = readBook(out + QStringLiteral("/patterns.xlsx"))[QStringLiteral("summary")].toArray();
        for (qsizetype r = 1; r < summary.size(); ++r) {
            const QJsonArray row = summary[r].toArray();
            totals.insert(row.first().toString(), row.last().toDouble());
        }
        QCOMPARE(totals, (QMap<QString, double>{{QStringLiteral("<5"), 300},
                                                {QStringLiteral("=AB"), 120},
                                                {QStringLiteral("A*"), 180},
                                                {QStringLiteral("A?"), 60},
                                                {QStringLiteral("AB"), 600},
                                                {QStringLiteral("~x"), 60},
                                                {QStringLiteral("合計"), 1320}}));
    }

    // Two people's days of one project and date (a lead's export of everyone's): each row names its
    // person, and in the workbook each day keeps its hours in 日計 and its own row in 集計.
    void exportsKeepPeopleApart()
    {
        const auto of = [](const char *person, const char *start) {
            return StoredDay{DaySummary{QStringLiteral("A1"), QStringLiteral("名"), QStringLiteral("2026/01/05"),
                                        QString::fromLatin1(start), QStringLiteral("18:00"), 0, QString::fromLatin1(person)},
                             {}};
        };
        const QString csv = m_dir.filePath(QStringLiteral("people.csv"));
        QCOMPARE(WriteCsv({csv, {}}, listed({of("alice", "09:00"), of("bob", "10:00")}), CsvEncoding::Utf8WithBom, true),
                 std::nullopt);
        QFile written(csv);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(written.readAll()).split(QStringLiteral("\r\n"));
        QVERIFY(lines[0].endsWith(QStringLiteral(",作業内容,日計,担当者")));
        QCOMPARE(lines[2], QStringLiteral("2026/01/05,A1,名,10:00,18:00,8:00,,,,8:00,bob"));

        if (QStringLiteral(PYTHON3_PATH).endsWith(QStringLiteral("NOTFOUND")))
            QSKIP("no python3 with openpyxl (scripts/setup.sh --test)");
        const QString path = m_dir.filePath(QStringLiteral("people.xlsx"));
        const RangeSelection everyone{QStringLiteral("2026/01/01"), QStringLiteral("2026/01/31"), std::nullopt,
                                      People::everyone()};
        QCOMPARE(WriteXlsx({path, {}}, everyone, listed({of("alice", "09:00"), of("bob", "10:00")})), std::nullopt);
        const QJsonObject book = readBook(path, "D2");
        const QJsonArray rows = book[QStringLiteral("rows")].toArray();
        QCOMPARE(rows[0].toArray()[10].toString(), PersonHeading);
        QCOMPARE((QList<double>{rows[1].toArray()[9].toDouble(), rows[2].toArray()[9].toDouble()}),
                 (QList<double>{540, 480}));
        QCOMPARE(rows[2].toArray()[10].toString(), QStringLiteral("bob"));
        const QJsonArray summary = book[QStringLiteral("summary")].toArray();
        QCOMPARE(summary[2].toArray(), (QJsonArray{QStringLiteral("bob"), QStringLiteral("A1"), QStringLiteral("名"), 480, 480}));
        QVERIFY(book[QStringLiteral("formula")].toString().contains(QStringLiteral("'日報'!$K:$K,\"=\"&SUBSTITUTE(SUBSTITUTE(SUBSTITUTE($A2,")));
    }
};

QTEST_GUILESS_MAIN(TestRanges)
#include "test_ranges.moc"
