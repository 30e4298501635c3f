#include "store/reportstore.h"
#include "store/textsearch.h"
#include "testsupport.h"

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

    QTemporaryDir m_dir;
    QString m_db;

    void save(const QString &code, const QString &date, const QList<WorkItem> &items) const
    {
        QVERIFY(ReportStore(m_db).saveDay({code, date, QStringLiteral("09:00"), QStringLiteral("18:00"), items}).ok);
    }
    // Every hit, page after page.
    QStringList find(const QString &text, SearchRequest request = {}, int pageSize = TextSearch::PageSize,
                     bool indexed = true) const
    {
        request.text = text;
        QStringList all;
        QString before;
        for (int pages = 0; pages < 50; ++pages) {
            const SearchPage page = TextSearch(m_db).search(request, before, pageSize);
            if (!page.ok || page.indexed != indexed)
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
        m_db = m_dir.filePath(QStringLiteral("%1.db").arg(QTest::currentTestFunction()));
        QFile::remove(m_db);
        test::makeDatabase(m_db, true);
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
        if (built)
            QVERIFY(TextSearch(m_db).build().ok);
        QCOMPARE(TextSearch(m_db).status().ready, built);
        const auto is = [&](const char *text, QStringList expected) {
            QCOMPARE(find(QString::fromUtf8(text), {}, TextSearch::PageSize, built), expected);
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
        QVERIFY(TextSearch(m_db).search({QStringLiteral(" 　"), {}, {}, {}}).hits.isEmpty());
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
                QVERIFY(TextSearch(m_db).build().ok);
            QCOMPARE(find(QStringLiteral("定例"), {}, 3, built), expected); // pages of two days, whole
            const SearchPage first = TextSearch(m_db).search({QStringLiteral("定例"), {}, {}, {}}, {}, 3);
            QCOMPARE(first.hits.size(), 4);
            QCOMPARE(first.nextBefore, QStringLiteral("2025/01/08"));
            QCOMPARE(find(QStringLiteral("定例"),
                          {{}, QStringLiteral("c?"), QStringLiteral("2025/01/03"), QStringLiteral("2025/01/04")},
                          TextSearch::PageSize, built),
                     expected.mid(10, 4));
            QCOMPARE(find(QStringLiteral("請求"), {{}, QStringLiteral("B*"), {}, {}}, TextSearch::PageSize, built),
                     QStringList());
        }
        const SearchPage page = TextSearch(m_db).search({QStringLiteral("定例"), QStringLiteral("C1"), {}, {}});
        QCOMPARE(page.hits.size(), 2);
        QCOMPARE(page.hits[0].name, QString()); // not in the master
        QCOMPARE(TextSearch(m_db).search({QStringLiteral("vpn"), {}, {}, {}}).hits[0].name,
                 QStringLiteral("社内ネットワーク更改"));
    }

    // Saves, deletes and changes made by another program are all seen by the next search.
    void indexIsNeverStale()
    {
        QVERIFY(TextSearch(m_db).build().ok);
        save(QStringLiteral("A0012345"), QStringLiteral("2024/03/01"),
             {{QStringLiteral("2"), QStringLiteral("打合せ"), QStringLiteral("ｶﾅ入力の確認")}});
        QCOMPARE(find(QStringLiteral("バッチ")), QStringList());
        QCOMPARE(find(QStringLiteral("カナ")), QStringList{QStringLiteral("2024/03/01 A0012345#2")});

        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET DETAIL = 'Merged the branch' WHERE WKCODE = '10'"));
        sql(m_db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD) VALUES ('z1', '2024/05/01')"));
        sql(m_db, QStringLiteral("INSERT INTO DF_WKCONT VALUES ('Z1', '2024/05/01', '1', 'branch', '')"));
        QCOMPARE(find(QStringLiteral("BRANCH")),
                 (QStringList{QStringLiteral("2024/05/01 Z1#1"), QStringLiteral("2024/03/04 A0012345#10")}));
        QCOMPARE(find(QStringLiteral("合意")), QStringList());
        sql(m_db, QStringLiteral("DELETE FROM DF_WKTIME WHERE PJCODE = 'z1'")); // no longer a saved day
        QCOMPARE(find(QStringLiteral("BRANCH")), QStringList{QStringLiteral("2024/03/04 A0012345#10")});
        QCOMPARE(sql(m_db, QStringLiteral("SELECT COUNT(*) FROM WKSEARCH_DIRTY")).first().first().toInt(), 0);

        // A trigger of another making (here one that logs nothing) is replaced before the next search.
        sql(m_db, QStringLiteral("DROP TRIGGER WKSEARCH_CONT_UPDATE"));
        sql(m_db, QStringLiteral("CREATE TRIGGER WKSEARCH_CONT_UPDATE AFTER UPDATE ON DF_WKCONT BEGIN SELECT 1; END"));
        QCOMPARE(find(QStringLiteral("BRANCH")), QStringList{QStringLiteral("2024/03/04 A0012345#10")});
        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET WKHEAD = 'branch' WHERE WKCODE = '9'"));
        QCOMPARE(find(QStringLiteral("BRANCH")),
                 (QStringList{QStringLiteral("2024/03/04 A0012345#9"), QStringLiteral("2024/03/04 A0012345#10")}));
    }

    void stoppedBuildGoesOnAndReadOnlyFileStaysRight()
    {
        for (int day = 1; day <= 28; ++day)
            for (int p = 0; p < 10; ++p)
                sql(m_db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD) VALUES (?, ?)"),
                    {QStringLiteral("P%1").arg(p), QStringLiteral("2023/02/%1").arg(day, 2, 10, QLatin1Char('0'))});
        sql(m_db, QStringLiteral("INSERT INTO DF_WKCONT SELECT PJCODE, WKYMD, '1', '週報', '' FROM DF_WKTIME "
                                 "WHERE PJCODE LIKE 'P%'"));
        QList<qint64> told;
        QVERIFY(TextSearch(m_db).build([&](qint64 done, qint64 total) {
                    told << done << total;
                    return false;
                }).ok);
        QCOMPARE(told, (QList<qint64>{200, 283}));
        QVERIFY(!TextSearch(m_db).status().ready);
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, false).size(), 280);
        QVERIFY(TextSearch(m_db).build().ok);
        QVERIFY(TextSearch(m_db).status().ready);
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, true).size(), 280);

        // A read-only file: the index while it holds every change, reading every item once it does not.
        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET WKHEAD = '月報' WHERE WKYMD = '2023/02/28'"));
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, true).size(), 270);
        sql(m_db, QStringLiteral("UPDATE DF_WKCONT SET WKHEAD = '月報' WHERE WKYMD = '2023/02/27'"));
        QVERIFY(QFile::setPermissions(m_db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QCOMPARE(find(QStringLiteral("週報"), {}, 1000, false).size(), 260);
        QCOMPARE(find(QStringLiteral("月報"), {}, 1000, false).size(), 20);
        QVERIFY(!TextSearch(m_db).build().ok);
        QVERIFY(QFile::setPermissions(m_db, QFile::ReadOwner | QFile::WriteOwner));
    }
};

QTEST_GUILESS_MAIN(TestTextSearch)
#include "test_textsearch.moc"
