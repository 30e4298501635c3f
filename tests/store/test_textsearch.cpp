#include "store/open/openstore.h"
#include "store/sqlite/searchindex.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace worvane;
using worvane::test::sql;

namespace
{
QStringList keys(const QList<SearchHit> &hits)
{
    QStringList list;
    for (const SearchHit &h : hits)
        list << h.date + QLatin1Char(' ') + h.code + QLatin1Char('#') + h.itemCode;
    return list;
}
} // namespace

class TestTextSearch : public QObject
{
    Q_OBJECT

    static constexpr int PageSize = 100;
    QTemporaryDir m_dir;
    QString m_db;

    std::unique_ptr<Store> store(const QString &db = {}) const { return OpenStore(db.isEmpty() ? m_db : db); }
    bool build(const QString &db = {}) const { return store(db)->buildIndex({}).ok(); }
    IndexStatus status() const { return store()->indexStatus().value; }
    SearchPage search(const SearchRequest &request, const QString &before = {}, int pageSize = PageSize) const
    {
        return store()->search(request, before, pageSize).value;
    }
    void save(const QString &code, const QString &date, const QList<WorkItem> &items) const
    {
        QVERIFY(store()->saveDay({code, date, QStringLiteral("09:00"), QStringLiteral("18:00"), items}).ok());
    }
    // Every hit, page after page; answered from the index or by reading every item, as said (a server
    // always keeps its index).
    QStringList find(const QString &text, SearchRequest request = {}, int pageSize = PageSize, bool indexed = true) const
    {
        request.text = text;
        QStringList all;
        QString before;
        for (int pages = 0; pages < 50; ++pages) {
            const Result<SearchPage> found = store()->search(request, before, pageSize);
            const SearchPage &page = found.value;
            if (!found.ok() || page.indexed != (indexed || test::onServer()))
                return {QStringLiteral("failed or answered the wrong way")};
            all << keys(page.hits);
            if (!page.nextBefore)
                return all;
            before = *page.nextBefore;
        }
        return {QStringLiteral("no end")};
    }

private slots:
    void init()
    {
        m_db = test::freshDatabase(m_dir.path(), QString::fromLatin1(QTest::currentTestFunction()), true);
        save(QStringLiteral("A0012345"), QStringLiteral("2024/03/01"),
             {{QStringLiteral("1"), QStringLiteral("請求バッチ修正"), QStringLiteral("Invoice batch を直した\r\n画面")},
              {QStringLiteral("2"), QStringLiteral("打合せ"), QStringLiteral("ｶﾅ入力の確認")}});
        save(QStringLiteral("B0000001"), QStringLiteral("2024/03/01"),
             {{QStringLiteral("1"), QStringLiteral("ＶＰＮ設定"), QStringLiteral("100% 完了_済*")}});
        save(QStringLiteral("A0012345"), QStringLiteral("2024/03/04"),
             {{QStringLiteral("10"), QStringLiteral("画面レイアウト"), QStringLiteral("合意した")},
              {QStringLiteral("9"), QStringLiteral("請求"), QStringLiteral("INVOICE の確認")}});
    }

    // The same answers from the index (built) and from reading every item (not built).
    void matchesBySubstringInSearchForm_data()
    {
        QTest::addColumn<bool>("built");
        QTest::newRow("reading every item") << false;
        QTest::newRow("index") << true;
    }
    void matchesBySubstringInSearchForm()
    {
        QFETCH(bool, built);
        // The window stores 〜 and − typed by an input method as ～ and －; another program may store them
        // as they are: either is found by either.
        save(QStringLiteral("C1000010"), QStringLiteral("2024/03/05"),
             {{QStringLiteral("1"), QStringLiteral("9時\uFF5E18時 定例"), QStringLiteral("残り\u301C2件 \u22121")}});
        if (built)
            QVERIFY(build());
        QCOMPARE(status().ready, built || test::onServer());
        const auto is = [&](const char *text, QStringList expected) {
            const QStringList found = find(QString::fromUtf8(text), {}, PageSize, built);
            QVERIFY2(found == expected, qPrintable(QString::fromUtf8(text) + QStringLiteral(": ") + found.join(u',')));
        };
        const QString a1 = QStringLiteral("2024/03/01 A0012345#1"), a2 = QStringLiteral("2024/03/01 A0012345#2"),
                      b1 = QStringLiteral("2024/03/01 B0000001#1"), c9 = QStringLiteral("2024/03/04 A0012345#9"),
                      c10 = QStringLiteral("2024/03/04 A0012345#10");
        is("請", {c9, a1});                // one character; newest day first, then item order
        is("請求", {c9, a1});              // two
        is("バッチ", {a1});                // three
        is("invoice", {c9, a1});           // ASCII in any case
        is("ＩＮＶＯＩＣＥ", {c9, a1});    // full-width
        is("カナ", {a2});                  // half-width kana in the text
        is("ﾊﾞｯﾁ", {a1});                  // half-width kana in the query
        is("vpn", {b1});                   // full-width in the title
        is("請求 確認", {c9});             // every word must occur
        is("画面　合意", {c10});            // a full-width blank parts words too
        is("% 完", {b1});                  // pattern characters are plain characters
        is("_済*", {b1});
        is("a%", {});
        is("レイアウト合意", {});          // title and detail are not one text
        const QString d1 = QStringLiteral("2024/03/05 C1000010#1");
        is("9時\u301C18時", {d1});
        is("9時\uFF5E18時", {d1});
        is("\uFF5E2件", {d1});
        is("\uFF0D1", {d1});
        QVERIFY(search({QStringLiteral(" 　"), {}, {}, {}}).hits.isEmpty());
    }

    void filtersAndPagesHoldWholeDays()
    {
        for (int day = 1; day <= 9; ++day)
            save(QStringLiteral("C%1").arg(day), QStringLiteral("2025/01/0%1").arg(day),
                 {{QStringLiteral("1"), QStringLiteral("定例"), QStringLiteral("x")},
                  {QStringLiteral("2"), QStringLiteral("定例"), QStringLiteral("y")}});
        QStringList expected;
        for (int day = 9; day >= 1; --day)
            expected << QStringLiteral("2025/01/0%1 C%1#1").arg(day) << QStringLiteral("2025/01/0%1 C%1#2").arg(day);
        for (const bool built : {false, true}) {
            if (built)
                QVERIFY(build());
            QCOMPARE(find(QStringLiteral("定例"), {}, 3, built), expected); // pages of two days, whole
            const SearchPage first = search({QStringLiteral("定例"), {}, {}, {}}, {}, 3);
            QCOMPARE(first.hits.size(), 4);
            QCOMPARE(first.nextBefore, QStringLiteral("2025/01/08"));
            QCOMPARE(find(QStringLiteral("定例"),
                          {{}, QStringLiteral("c?"), QStringLiteral("2025/01/03"), QStringLiteral("2025/01/04")},
                          PageSize, built),
                     expected.mid(10, 4));
            QCOMPARE(find(QStringLiteral("請求"), {{}, QStringLiteral("B*"), {}, {}}, PageSize, built),
                     QStringList());
        }
        const SearchPage page = search({QStringLiteral("定例"), QStringLiteral("C1"), {}, {}});
        QCOMPARE(page.hits.size(), 2);
        QCOMPARE(page.hits[0].name, QString()); // not in the master
        QCOMPARE(search({QStringLiteral("vpn"), {}, {}, {}}).hits[0].name,
                 QStringLiteral("社内ネットワーク更改"));
    }

    // Saves, deletes and changes made by another program are all seen by the next search.
    void indexIsNeverStale()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        QVERIFY(build());
        save(QStringLiteral("A0012345"), QStringLiteral("2024/03/01"),
             {{QStringLiteral("2"), QStringLiteral("打合せ"), QStringLiteral("ｶﾅ入力の確認")}});
        QCOMPARE(find(QStringLiteral("バッチ")), QStringList());
        QCOMPARE(find(QStringLiteral("カナ")), QStringList{QStringLiteral("2024/03/01 A0012345#2")});

        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET DETAIL = 'Merged the branch' WHERE WKCODE = '10'"));
        sql(m_db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD) VALUES ('z1', '2024/05/01')"));
        sql(m_db, QStringLiteral("INSERT INTO DF_WKCONT VALUES ('Z1', '2024/05/01', '1', 'branch', '')"));
        // A day's code is its working-time row's, as a load shows it.
        QCOMPARE(find(QStringLiteral("BRANCH")),
                 (QStringList{QStringLiteral("2024/05/01 z1#1"), QStringLiteral("2024/03/04 A0012345#10")}));
        QCOMPARE(find(QStringLiteral("合意")), QStringList());
        sql(m_db, QStringLiteral("DELETE FROM DF_WKTIME WHERE PJCODE = 'z1'")); // no longer a saved day
        QCOMPARE(find(QStringLiteral("BRANCH")), QStringList{QStringLiteral("2024/03/04 A0012345#10")});
        QCOMPARE(sql(m_db, QStringLiteral("SELECT COUNT(*) FROM WKSEARCH_DIRTY")).first().first().toInt(), 0);

        // An index of an earlier search form (before the input methods' marks were folded) is built anew.
        sql(m_db, QStringLiteral("DELETE FROM WKSEARCH_STATE WHERE NAME = 'form'"));
        QVERIFY(!status().ready);
        QVERIFY(build());
        QCOMPARE(find(QStringLiteral("BRANCH")), QStringList{QStringLiteral("2024/03/04 A0012345#10")});
    }

    // Whatever another program does to the index's objects, the program's next write goes through, and
    // then everyone's; searches answer as reading every item does until the index is built anew.
    void aDamagedIndexNeverStopsAWriteNorMisleadsASearch_data()
    {
        QTest::addColumn<QStringList>("damage");
        QTest::newRow("log dropped") << QStringList{QStringLiteral("DROP TABLE WKSEARCH_DIRTY")};
        QTest::newRow("FTS table dropped") << QStringList{QStringLiteral("DROP TABLE WKSEARCH")};
        QTest::newRow("items dropped") << QStringList{QStringLiteral("DROP TABLE WKSEARCH_ITEM")};
        QTest::newRow("state dropped") << QStringList{QStringLiteral("DROP TABLE WKSEARCH_STATE")};
        QTest::newRow("FTS part dropped") << QStringList{QStringLiteral("DROP TABLE WKSEARCH_docsize")};
        QTest::newRow("insert trigger dropped") << QStringList{QStringLiteral("DROP TRIGGER WKSEARCH_CONT_INSERT")};
        QTest::newRow("update triggers dropped") << QStringList{QStringLiteral("DROP TRIGGER WKSEARCH_CONT_UPDATE"),
                                                                QStringLiteral("DROP TRIGGER WKSEARCH_TIME_UPDATE")};
        QTest::newRow("a trigger that logs nothing")
            << QStringList{QStringLiteral("DROP TRIGGER WKSEARCH_CONT_UPDATE"),
                           QStringLiteral("CREATE TRIGGER WKSEARCH_CONT_UPDATE AFTER UPDATE ON DF_WKCONT BEGIN "
                                          "SELECT 1; END")};
    }
    void aDamagedIndexNeverStopsAWriteNorMisleadsASearch()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        QFETCH(QStringList, damage);
        QVERIFY(build());
        QCOMPARE(find(QStringLiteral("vpn")), QStringList{QStringLiteral("2024/03/01 B0000001#1")});
        for (const QString &statement : damage)
            sql(m_db, statement);
        save(QStringLiteral("C1000010"), QStringLiteral("2024/06/03"),
             {{QStringLiteral("1"), QStringLiteral("保存"), QStringLiteral("branch")}});
        // Another program adds a day and moves one to another date.
        sql(m_db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD) VALUES ('Z1', '2024/05/01')"));
        sql(m_db, QStringLiteral("INSERT INTO DF_WKCONT VALUES ('Z1', '2024/05/01', '1', 'branch', '')"));
        sql(m_db, QStringLiteral("UPDATE DF_WKTIME SET WKYMD = '2024/03/05' WHERE PJCODE = 'B0000001'"));
        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET WKYMD = '2024/03/05' WHERE PJCODE = 'B0000001'"));
        const QStringList branch{QStringLiteral("2024/06/03 C1000010#1"), QStringLiteral("2024/05/01 Z1#1")},
            vpn{QStringLiteral("2024/03/05 B0000001#1")};
        for (const bool indexed : {false, true}) {
            QCOMPARE(status().ready, indexed);
            QCOMPARE(find(QStringLiteral("branch"), {}, PageSize, indexed), branch);
            QCOMPARE(find(QStringLiteral("vpn"), {}, PageSize, indexed), vpn);
            if (!indexed)
                QVERIFY(build());
        }
    }

    // Objects of another program under the index's names: no index, and so no trigger, on that file.
    void anotherProgramsTablesNeverGetTheIndexsTriggers()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        const QString ours = sqlite::SearchTriggerStatement(0);
        sql(m_db, QStringLiteral("CREATE TABLE WKSEARCH_STATE (K, V)"));
        sql(m_db, ours); // as an earlier build left it: a trigger whose log is not there
        save(QStringLiteral("C1000010"), QStringLiteral("2024/06/03"),
             {{QStringLiteral("1"), QStringLiteral("保存"), QStringLiteral("x")}});
        const std::unique_ptr<Store> search = store();
        QVERIFY(!search->buildIndex({}).ok());
        QVERIFY(!search->indexStatus().value.writable);
        QCOMPARE(sql(m_db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger'"))[0][0].toInt(), 0);
        sql(m_db, QStringLiteral("INSERT INTO DF_WKCONT VALUES ('C1000010', '2024/06/03', '2', '他', 'y')"));
        QCOMPARE(find(QStringLiteral("保存"), {}, PageSize, false),
                 QStringList{QStringLiteral("2024/06/03 C1000010#1")});
        QCOMPARE(sql(m_db, QStringLiteral("SELECT COUNT(*) FROM WKSEARCH_STATE"))[0][0].toInt(), 0); // left alone
    }

    // A file made elsewhere: codes without NOCASE columns that differ in case between a day's rows, and two
    // items of one number. The index finds what reading finds, with each item's own title.
    void theIndexAnswersAsReadingDoes()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        const QString db = m_dir.filePath(QStringLiteral("elsewhere.db"));
        QFile::remove(db);
        for (const char *statement :
             {"CREATE TABLE DM_PRJMST (PJCODE TEXT, PJNAME TEXT, ENTYMD TEXT, UPDYMD TEXT)",
              "CREATE TABLE DF_WKTIME (PJCODE TEXT, WKYMD TEXT, WSTIME TEXT, WETIME TEXT, ENTYMD TEXT, UPDYMD TEXT)",
              "CREATE TABLE DF_WKCONT (PJCODE TEXT, WKYMD TEXT, WKCODE TEXT, WKHEAD TEXT, DETAIL TEXT)",
              "INSERT INTO DM_PRJMST VALUES ('AB1', '名前', NULL, NULL)",
              "INSERT INTO DF_WKTIME VALUES ('Ab1', '2024/04/01', '09:00', '18:00', NULL, NULL)",
              "INSERT INTO DF_WKTIME VALUES ('b2', '2024/04/01', '09:00', '18:00', NULL, NULL)",
              "INSERT INTO DF_WKCONT VALUES ('AB1', '2024/04/01', '1', '会議 one', ''), "
              "('ab1', '2024/04/01', '2', '会議 two', ''), ('Ab1', '2024/04/01', '5', '会議 first five', 'a'), "
              "('Ab1', '2024/04/01', '5', '会議 second five', 'b'), ('B2', '2024/04/01', '10', '会議', '')"})
            sql(db, QString::fromUtf8(statement));
        const auto all = [&db](const char *words) {
            const SearchPage page = OpenStore(db)->search({QString::fromUtf8(words), {}, {}, {}}, {}, PageSize).value;
            return std::pair(page.indexed, page.hits);
        };
        const auto read = all("会議"), readFive = all("five");
        QVERIFY(!read.first);
        QCOMPARE(read.second.size(), 5);
        QCOMPARE(read.second[0].name, QStringLiteral("名前"));
        QVERIFY(build(db));
        QCOMPARE(all("会議"), std::pair(true, read.second));
        QCOMPARE(all("five"), std::pair(true, readFive.second));
        QCOMPARE(readFive.second.size(), 2);
        QCOMPARE(readFive.second[1].head, QStringLiteral("会議 second five"));
    }

    // A build steps aside between its steps: every save made while it runs gets in, and soon. (Its days are
    // long, as a build's step of days would once take seconds.)
    void aBuildLetsEverySaveIn()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        sql(m_db, QStringLiteral("WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 399) "
                                 "INSERT INTO DF_WKTIME (PJCODE, WKYMD) SELECT 'P' || (n % 7), "
                                 "date('2010-01-01', '+' || n || ' days') FROM d"));
        sql(m_db, QStringLiteral("WITH RECURSIVE i(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM i WHERE n < 100) "
                                 "INSERT INTO DF_WKCONT SELECT t.PJCODE, t.WKYMD, i.n, '週次の定例 ' || i.n, "
                                 "'議事録を作成して配布した ' || t.rowid FROM DF_WKTIME t, i WHERE t.PJCODE LIKE 'P%'"));
        std::atomic<bool> done = false;
        Outcome built;
        std::thread builder([&] {
            built = store()->buildIndex({});
            done = true;
        });
        int saves = 0;
        const std::unique_ptr<Store> saver = OpenStore(m_db, 400);
        QStringList failures;
        while (!done) {
            const Result<QString> saved = saver->saveDay({QStringLiteral("A0012345"), QStringLiteral("2024/03/01"),
                                                 QStringLiteral("09:00"), QString::number(saves % 2 + 10) + ":00",
                                                 {{QStringLiteral("1"), QStringLiteral("t"), QStringLiteral("d")}}});
            if (!saved.ok())
                failures << saved.error->text;
            ++saves;
            QThread::msleep(20);
        }
        builder.join();
        QVERIFY2(built.ok(), qPrintable(test::why(built)));
        QVERIFY2(saves >= 3, qPrintable(QString::number(saves)));
        QCOMPARE(failures, QStringList());
    }

    // A build that runs out of room removes what it built, and is not tried again.
    void aBuildWithoutRoomLeavesNoHalfIndex()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        test::SmallDisk disk(m_dir.filePath(QStringLiteral("small")), 1024);
        if (!disk.mounted())
            QSKIP("no small disk can be mounted here");
        const QString db = m_dir.filePath(QStringLiteral("small/full.db"));
        test::makeDatabase(db);
        sql(db, QStringLiteral("WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 399) "
                               "INSERT INTO DF_WKTIME (PJCODE, WKYMD) SELECT 'P1', date('2010-01-01', '+' || n || "
                               "' days') FROM d"));
        sql(db, QStringLiteral("INSERT INTO DF_WKCONT SELECT PJCODE, WKYMD, '1', '定例の議事録 第' || rowid || '回', "
                               "hex(randomblob(200)) FROM DF_WKTIME"));
        disk.fill(96 * 1024);
        const std::unique_ptr<Store> search = OpenStore(db);
        const Outcome built = search->buildIndex({});
        QVERIFY(built.failedAs(StoreError::Kind::DiskFull));
        QCOMPARE(sql(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'WKSEARCH%'"))[0][0].toInt(), 0);
        QVERIFY(!search->indexStatus().value.writable);
        QVERIFY(!search->buildIndex({}).ok());
        const Result<SearchPage> page = search->search({QStringLiteral("第399回"), {}, {}, {}}, {}, PageSize);
        QVERIFY(page.ok() && !page.value.indexed);
        QCOMPARE(page.value.hits.size(), 1);
    }

    void stoppedBuildGoesOnAndReadOnlyFileStaysRight()
    {
        if (test::onServer())
            QSKIP("a file's own index");
        for (int day = 1; day <= 28; ++day)
            for (int p = 0; p < 10; ++p)
                sql(m_db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD) VALUES (?, ?)"),
                    {QStringLiteral("P%1").arg(p), QStringLiteral("2023/02/%1").arg(day, 2, 10, QLatin1Char('0'))});
        sql(m_db, QStringLiteral("INSERT INTO DF_WKCONT SELECT PJCODE, WKYMD, '1', '週報', '' FROM DF_WKTIME "
                                 "WHERE PJCODE LIKE 'P%'"));
        QList<qint64> told;
        QVERIFY(store()->buildIndex([&](qint64 done, qint64 total) {
                    told << done << total;
                    return false;
                }).ok());
        // One step told (its size is the days done in its time), then the build stopped.
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0] > 0 && told[0] < 283, qPrintable(QString::number(told[0])));
        QCOMPARE(told[1], 283);
        QVERIFY(!status().ready || test::onServer());
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, false).size(), 280);
        QVERIFY(build());
        QVERIFY(status().ready || test::onServer());
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, true).size(), 280);

        // A read-only file: the index while it holds every change, reading every item once it does not.
        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET WKHEAD = '月報' WHERE WKYMD = '2023/02/28'"));
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, true).size(), 270);
        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET WKHEAD = '月報' WHERE WKYMD = '2023/02/27'"));
        QVERIFY(QFile::setPermissions(m_db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, false).size(), 260);
        QCOMPARE(find(QStringLiteral("月報"), {}, 1000, false).size(), 20);
        QVERIFY(!build());
        QVERIFY(QFile::setPermissions(m_db, QFile::ReadOwner | QFile::WriteOwner));
    }
};

QTEST_GUILESS_MAIN(TestTextSearch)
#include "test_textsearch.moc"
