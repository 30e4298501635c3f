#include "rangefixture.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestReportTool : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_db;

    struct Run {
        int exit = -1;
        QString out;
        QString err;
    };
    Run run(const QStringList &args, const QString &tmpdir = {})
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   m_dir.filePath(QStringLiteral("config"))); // no settings
        if (!tmpdir.isEmpty())
            env.insert(QStringLiteral("TMPDIR"), tmpdir);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(REPORT_PATH), args);
        tool.waitForFinished(60000);
        return Run{tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
                   QString::fromUtf8(tool.readAllStandardOutput()),
                   QString::fromUtf8(tool.readAllStandardError())};
    }

private slots:
    void initTestCase()
    {
        // A file, or on the test cluster the team database as alice sees it.
        m_db = worvane::test::freshDatabase(m_dir.path(), QStringLiteral("range"), true);
        worvane::test::makeRangeFixture(m_db, true);
    }

    void totalsPrintsOneLinePerProjectAndTheTotal()
    {
        const Run totals =
            run({QStringLiteral("--db"), m_db, QStringLiteral("totals"), QStringLiteral("--from"),
                 QStringLiteral("2026-01-01"), QStringLiteral("--to"), QStringLiteral("2026-02-28")});
        QCOMPARE(totals.exit, 0);
        QCOMPARE(totals.out, QStringLiteral("A0012345\tワーベーン開発\t3\t4\t12:45\n"
                                            "B0000001\t社内ネットワーク更改\t2\t3\t8:15\n"
                                            "X1\t\t1\t1\t0:30\n"
                                            "合計\t\t6\t8\t21:30\n"));
    }

    void exportWritesTheChosenFormat()
    {
        const QString out = m_dir.filePath(QStringLiteral("out.csv"));
        const Run csv =
            run({QStringLiteral("export"), QStringLiteral("--from"), QStringLiteral("2026-02-01"),
                 QStringLiteral("--to"), QStringLiteral("2026-02-28"), QStringLiteral("--project"),
                 QStringLiteral("x?"), QStringLiteral("--format"), QStringLiteral("csv-cp932"),
                 QStringLiteral("--out"), out, QStringLiteral("--db"), m_db});
        QCOMPARE(csv.exit, 0);
        QCOMPARE(worvane::test::readBytes(out).count("\r\n"), 2); // header and the one item of X1
    }

    // The 月報 PDF, read back by Poppler: A4 landscape, a page of grid and chart per month, then the items;
    // the titles, the fixture's totals and its items are there as text, and so are the page numbers.
    void exportWritesAMonthlyPdf()
    {
        const QString out = m_dir.filePath(QStringLiteral("月報.pdf"));
        const Run pdf = run({QStringLiteral("export"), QStringLiteral("--from"), QStringLiteral("2026-01-01"),
                             QStringLiteral("--to"), QStringLiteral("2026-02-28"), QStringLiteral("--format"),
                             QStringLiteral("pdf"), QStringLiteral("--out"), out, QStringLiteral("--db"), m_db});
        QCOMPARE(pdf.exit, 0);
        const auto poppler = [](const QString &tool, const QStringList &args) {
            QProcess p;
            p.start(tool, args);
            return p.waitForFinished(30000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
        };
        const QString info = poppler(QStringLiteral("pdfinfo"), {out});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+8\\d\\d(\\.\\d+)? x 595(\\.\\d+)? pts \\(A4\\)"))),
                 qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))), qPrintable(info));
        // NFKC: the font's one glyph for 月 and the radical ⽉ reads back as the radical.
        const QString text = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")})
                                 .normalized(QString::NormalizationForm_KC);
        for (const QString &expected :
             {QStringLiteral("2026年1月"), QStringLiteral("2026年2月"), QStringLiteral("12:30"), // 9:00 + 3:30 on 1/5
              QStringLiteral("3:45"), QStringLiteral("4:45"), QStringLiteral("夜間切替"), QStringLiteral("A0012345")})
            QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("-\\s*3\\s*-")))); // the last page's number
        // The items in the 月報 text's order.
        QVERIFY(text.indexOf(QStringLiteral("2026/01/05")) >= 0);
        QVERIFY(text.indexOf(QStringLiteral("2026/01/05")) < text.indexOf(QStringLiteral("2026/02/27")));
    }

    void failuresExitOneAndBadArgumentsTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("message");
        const QStringList range{QStringLiteral("totals"), QStringLiteral("--from"),
                                QStringLiteral("2026-01-01"), QStringLiteral("--to"),
                                QStringLiteral("2026-01-31")};
        QTest::newRow("missing database")
            << QStringList{QStringLiteral("--db"), QStringLiteral("/nonexistent/w.db")} + range << 1
            << "no database file";
        QTest::newRow("no database in the settings") << range << 1 << "--db";
        QTest::newRow("no such date")
            << QStringList{QStringLiteral("totals"), QStringLiteral("--from"), QStringLiteral("2026-02-30"),
                           QStringLiteral("--to"), QStringLiteral("2026-03-01")}
            << 2 << "YYYY-MM-DD または YYYY/MM/DD";
        QTest::newRow("from after to")
            << QStringList{QStringLiteral("totals"), QStringLiteral("--from"), QStringLiteral("2026/03/02"),
                           QStringLiteral("--to"), QStringLiteral("2026-03-01")}
            << 2 << "より後です";
        if (!worvane::test::onServer())
            QTest::newRow("person on a file")
                << QStringList{QStringLiteral("--db"), m_db} + range + QStringList{QStringLiteral("--person"), QStringLiteral("all")}
                << 2 << "チームのデータベース";
        QTest::newRow("empty search") << QStringList{QStringLiteral("search"), QStringLiteral(" ")} << 2 << "検索語が必要です";
        QTest::newRow("no command") << QStringList{QStringLiteral("--from"), QStringLiteral("2026-01-01")}
                                    << 2 << "使い方:";
        QTest::newRow("unknown format")
            << QStringList{QStringLiteral("export"),     QStringLiteral("--from"),
                           QStringLiteral("2026-01-01"), QStringLiteral("--to"),
                           QStringLiteral("2026-01-31"), QStringLiteral("--format"),
                           QStringLiteral("ods"),        QStringLiteral("--out"),
                           QStringLiteral("x")}
            << 2 << "不明な形式です";
        QTest::newRow("value missing")
            << QStringList{QStringLiteral("totals"), QStringLiteral("--from")} << 2 << "値が必要です";
    }
    void failuresExitOneAndBadArgumentsTwo()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, message);
        const Run result = run(args);
        QCOMPARE(result.exit, exit);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(result.out, QString());
    }

    // The words of a search, quoted or not, and dates with slashes too.
    void searchTakesItsWordsWithoutQuotes()
    {
        const Run apart = run({QStringLiteral("--db"), m_db, QStringLiteral("search"), QStringLiteral("夜間"),
                               QStringLiteral("切替"), QStringLiteral("--from"), QStringLiteral("2026/01/01")});
        QCOMPARE(apart.exit, 0);
        QCOMPARE(apart.out, QStringLiteral("2026/01/05\tB0000001\t1\t夜間切替\n"));
        QCOMPARE(run({QStringLiteral("--db"), m_db, QStringLiteral("search"), QStringLiteral("夜間 切替")}).out, apart.out);
    }

    void anExportThatCannotBeWrittenExitsOne()
    {
        const Run result =
            run({QStringLiteral("--db"), m_db, QStringLiteral("export"), QStringLiteral("--from"),
                 QStringLiteral("2026-01-01"), QStringLiteral("--to"), QStringLiteral("2026-01-31"),
                 QStringLiteral("--format"), QStringLiteral("text"), QStringLiteral("--out"),
                 m_dir.filePath(QStringLiteral("no/such/folder.txt"))});
        QCOMPARE(result.exit, 1);
        QVERIFY2(result.err.contains(QStringLiteral("フォルダが見つかりません")), qPrintable(result.err));
    }

    // No format writes over the database it reads, by any name; a full disk is named as such.
    void anExportNeverReplacesTheDatabaseAndNamesAFullDisk()
    {
        const QStringList formats{QStringLiteral("csv"), QStringLiteral("csv-cp932"), QStringLiteral("xlsx"),
                                  QStringLiteral("text")};
        const auto exportTo = [&](const QString &db, const QString &format, const QString &out,
                                  const QString &tmpdir = {}) {
            return run({QStringLiteral("--db"), db, QStringLiteral("export"), QStringLiteral("--from"),
                        QStringLiteral("2026-01-01"), QStringLiteral("--to"), QStringLiteral("2026-02-28"),
                        QStringLiteral("--format"), format, QStringLiteral("--out"), out},
                       tmpdir);
        };
        if (!worvane::test::onServer()) {
            const QString link = m_dir.filePath(QStringLiteral("link.db"));
            QVERIFY(QFile::link(m_db, link));
            const QByteArray before = worvane::test::readBytes(m_db);
            for (const QString &format : formats)
                for (const QString &out : {m_db, link, m_db + QStringLiteral("-journal")}) {
                    const Run refused = exportTo(m_db, format, out);
                    QCOMPARE(refused.exit, 1);
                    QVERIFY2(refused.err.contains(QStringLiteral("使用中のデータベースファイルです")),
                             qPrintable(refused.err));
                }
            QCOMPARE(worvane::test::readBytes(m_db), before);
            QVERIFY(!QFile::exists(m_db + QStringLiteral("-journal")));
        }
        worvane::test::SmallDisk disk(m_dir.filePath(QStringLiteral("full")));
        if (!disk.mounted())
            QSKIP("no small disk can be mounted here");
        disk.fill();
        for (const QString &format : formats) {
            const Run full = exportTo(m_db, format, m_dir.filePath(QStringLiteral("full/out")));
            QCOMPARE(full.exit, 1);
            QVERIFY2(full.err.contains(QStringLiteral("ディスクの空き容量が足りません")), qPrintable(full.err));
        }
        // A full temporary folder does not matter: the workbook is made beside its file.
        const Run besides = exportTo(m_db, QStringLiteral("xlsx"), m_dir.filePath(QStringLiteral("roomy.xlsx")),
                                     m_dir.filePath(QStringLiteral("full")));
        QCOMPARE(besides.exit, 0);
    }

    void versionAndHelp()
    {
        QCOMPARE(run({QStringLiteral("--version")}).out,
                 QStringLiteral("worvane-report " WORVANE_TEST_VERSION "\n"));
        QVERIFY(
            run({QStringLiteral("--help")}).out.contains(QStringLiteral("--format csv|csv-cp932|xlsx|text")));
    }

    // The team's day from the command line (last: it approves and closes the fixture's days). A file has
    // its 未入力 days and no lead; on the server a member reads states and a lead acts, each action said.
    void statesMissingDaysAndALeadsActions()
    {
        using worvane::test::asPerson;
        const QStringList firstWeek{QStringLiteral("--from"), QStringLiteral("2026-01-01"), QStringLiteral("--to"),
                                    QStringLiteral("2026-01-07")};
        const bool server = worvane::test::onServer();
        const QString me = server ? QStringLiteral("alice") : QString();
        // 1/1 元日, 1/3 and 1/4 a weekend, 1/5 saved.
        const Run status = run(QStringList{QStringLiteral("--db"), m_db, QStringLiteral("status")} + firstWeek);
        QCOMPARE(status.exit, 0);
        QCOMPARE(status.out, me + QStringLiteral("\t2026/01/02\t未入力\n") +
                                 (server ? me + QStringLiteral("\t2026/01/05\t提出済\n") : QString()) + me +
                                 QStringLiteral("\t2026/01/06\t未入力\n") + me + QStringLiteral("\t2026/01/07\t未入力\n"));
        const Run missing = run(QStringList{QStringLiteral("--db"), m_db, QStringLiteral("missing")} + firstWeek);
        QCOMPARE(missing.out, QStringLiteral("2026/01/02\n2026/01/06\n2026/01/07\n"));

        const auto as = [this](const QString &person, QStringList args) {
            return run(QStringList{QStringLiteral("--db"), person == QLatin1String("alice") ? m_db : asPerson(m_db, person)} + args);
        };
        const QStringList approve{QStringLiteral("approve"), QStringLiteral("--person"), QStringLiteral("alice"),
                                  QStringLiteral("--date"), QStringLiteral("2026-01-05")};
        if (!server) {
            const Run refused = as(QStringLiteral("alice"), approve);
            QCOMPARE(refused.exit, 2);
            QVERIFY2(refused.err.contains(QStringLiteral("チームのデータベース")), qPrintable(refused.err));
            return;
        }
        const Run member = as(QStringLiteral("alice"), approve);
        QCOMPARE(member.exit, 2);
        QVERIFY2(member.err.contains(QStringLiteral("リーダー")), qPrintable(member.err));
        const Run approved = as(QStringLiteral("lea"), approve + QStringList{QStringLiteral("--comment"), QStringLiteral("よし")});
        QCOMPARE(approved.out, QStringLiteral("承認済: alice 2026/01/05\n"));
        QCOMPARE(as(QStringLiteral("lea"), {QStringLiteral("return"), QStringLiteral("--person"), QStringLiteral("alice"),
                                            QStringLiteral("--date"), QStringLiteral("2026-01-06")})
                     .exit,
                 1); // not saved
        const std::unique_ptr<worvane::Store> alice = worvane::OpenStore(m_db);
        QCOMPARE(alice->dayComments(QStringLiteral("alice"), QStringLiteral("2026/01/05")).value.value(0).text,
                 QStringLiteral("よし"));
        QVERIFY(alice->dayReview(QStringLiteral("2026/01/05")).value.locked);
        const Run everyone = as(QStringLiteral("lea"), {QStringLiteral("status"), QStringLiteral("--person"),
                                                        QStringLiteral("all"), QStringLiteral("--from"),
                                                        QStringLiteral("2026-01-05"), QStringLiteral("--to"),
                                                        QStringLiteral("2026-01-05")});
        QVERIFY2(everyone.out.contains(QStringLiteral("alice\t2026/01/05\t承認済\n")) &&
                     everyone.out.contains(QStringLiteral("bob\t2026/01/05\t未入力\n")),
                 qPrintable(everyone.out));

        // A closed month refuses the save; reopened, it takes it.
        QCOMPARE(as(QStringLiteral("lea"), {QStringLiteral("close"), QStringLiteral("--through"), QStringLiteral("2026-01-31")}).out,
                 QStringLiteral("締めました: 2026/01/31 まで\n"));
        const worvane::DaySave day{QStringLiteral("A0012345"), QStringLiteral("2026/01/20"), QStringLiteral("09:00"),
                                   QStringLiteral("10:00"), {}};
        const worvane::Result<QString> refused = alice->saveDay(day);
        QVERIFY(refused.error && refused.error->rule == worvane::StoreError::Rule::DayLocked);
        QCOMPARE(as(QStringLiteral("lea"), {QStringLiteral("reopen"), QStringLiteral("--month"), QStringLiteral("2026-01")}).out,
                 QStringLiteral("再開しました: 2026/01\n"));
        QVERIFY(alice->saveDay(day).ok());
        QVERIFY(alice->dayReview(QStringLiteral("2026/01/05")).value.locked); // still approved
    }
};

QTEST_GUILESS_MAIN(TestReportTool)
#include "test_report_tool.moc"
