#include "models/searchmodel.h"
#include "search/frmsearch.h"
#include "windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QScopeGuard>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace worvane;
using namespace worvane::test;

class TestSearchWindow : public QObject
{
    Q_OBJECT

private slots:
    // By keyboard: F8, type, Enter to the hits, Down, Enter: the day opens with that item current.
    void f8FindsAsYouTypeAndOpensTheItem()
    {
        WindowFixture f;
        Store &store = f.store();
        QVERIFY(store.saveDay({"A0012345", "2024/03/01", "09:00", "18:00",
                               {{"1", "打合せ", "請求バッチの件"}, {"2", "請求バッチ修正", "二行目\r\nも直した"}}})
                    .ok());
        QVERIFY(store.saveDay({"B0000001", "2024/03/04", "09:00", "18:00", {{"7", "設定", "無関係"}}}).ok());
        QStringList shown;
        test::whenModal([&](QWidget *modal) {
            auto *window = qobject_cast<frmSearch *>(modal);
            QVERIFY(window);
            auto *grid = window->findChild<QTableView *>(QStringLiteral("fgdRESULT"));
            const auto closeOnFailure = qScopeGuard([window] { window->reject(); }); // no-op once accepted
            QTRY_VERIFY(window->isActiveWindow());
            QCOMPARE(WindowFixture::focus()->objectName(), QStringLiteral("txtQUERY"));
            WindowFixture::type(QStringLiteral("ﾊﾞｯﾁ"));
            QTRY_COMPARE(grid->model()->rowCount(), 2); // as typed, once the keys pause
            shown << window->findChild<QLabel *>(QStringLiteral("lblCount"))->text()
                  << grid->model()->index(1, SearchModel::Detail).data(SearchModel::SnippetRole).toStringList();
            WindowFixture::press(Qt::Key_Return);
            QCOMPARE(WindowFixture::focus(), grid);
            WindowFixture::press(Qt::Key_Down);
            WindowFixture::press(Qt::Key_Return);
        });
        WindowFixture::press(Qt::Key_F8);
        QCOMPARE(shown, (QStringList{QStringLiteral("2件"), QString(), QString(), QStringLiteral("二行目 も直した")}));
        QCOMPARE(lineOf(f.w(), "txtPJCODE")->text(), QStringLiteral("A0012345"));
        QCOMPARE(lineOf(f.w(), "txtWKYMD")->text(), QStringLiteral("2024/03/01"));
        QVERIFY(panelOf(f.w())->isEnabled());
        QCOMPARE(gridOf(f.w())->currentRow(), 1);
        QCOMPARE(WindowFixture::focus(), gridOf(f.w()));
        QCOMPARE(f.log().count(), 0);
    }

    // An impossible 期間 is said at Enter; a hit opened over input not saved asks first (いいえ keeps it).
    void anInvalidDateIsSaidAndOpeningAHitAsksFirst()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/01", "09:00", "18:00", {{"1", "打合せ", "請求"}}}).ok());
        f.search(QStringLiteral("A0012345"), QStringLiteral("2024/03/05"));
        lineOf(f.w(), "txtWSTIME")->setText(QStringLiteral("08:00"));
        lineOf(f.w(), "txtWETIME")->setText(QStringLiteral("17:00"));
        f.addItem(QStringLiteral("1"), QStringLiteral("typed"), QStringLiteral("not saved"));
        QLineEdit *to = nullptr;
        QWidget *focusAfterBox = nullptr;
        test::whenModal([&](QWidget *modal) {
            auto *window = qobject_cast<frmSearch *>(modal);
            const auto closeOnFailure = qScopeGuard([window] { window->reject(); });
            QTRY_VERIFY(window->isActiveWindow());
            WindowFixture::type(QStringLiteral("打合せ"));
            to = window->findChild<QLineEdit *>(QStringLiteral("txtTO"));
            to->setText(QStringLiteral("2026/13/02"));
            WindowFixture::press(Qt::Key_Return);
            focusAfterBox = WindowFixture::focus();
            to->clear();
            WindowFixture::press(Qt::Key_Return); // searches, to the hits
            WindowFixture::press(Qt::Key_Return); // opens the hit
        });
        WindowFixture::press(Qt::Key_F8);
        QCOMPARE(f.log().texts(),
                 (QStringList{msg::RangeInvalid.text,
                              msg::ConfirmOpenDay(QStringLiteral("A0012345"), QStringLiteral("2024/03/01")).text}));
        QCOMPARE(focusAfterBox, to);
        QCOMPARE(lineOf(f.w(), "txtWKYMD")->text(), QStringLiteral("2024/03/05"));
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("1|typed|not saved")});
    }

    // A search held up (another program locks the file) never holds up the window: keys go on being taken,
    // the list says that it searches, and a key that changes the words stops the search at once. Only
    // the hits of the words typed last are ever shown.
    void aSearchRunsBesideTheWindowAndAKeyStopsIt()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/01", "09:00", "18:00", {{"1", "請求", "x"}, {"2", "請負", "y"}}}).ok());
        frmSearch window(f.store(), &f.w());
        int pages = 0;
        connect(&window, &frmSearch::pageShown, [&pages] { ++pages; });
        window.show();
        auto *count = window.findChild<QLabel *>(QStringLiteral("lblCount"));
        auto *query = window.findChild<QLineEdit *>(QStringLiteral("txtQUERY"));
        auto *grid = window.findChild<QTableView *>(QStringLiteral("fgdRESULT"));
        QTRY_COMPARE(WindowFixture::focus(), query);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(f.dbPath());
            QVERIFY(other.open());
            QSqlQuery lock(other);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            WindowFixture::type(QStringLiteral("請"));
            QTRY_COMPARE(count->text(), msg::Searching);
            QElapsedTimer meanwhile;
            meanwhile.start();
            QTest::qWait(100);
            QVERIFY2(meanwhile.elapsed() < 1000, qPrintable(QString::number(meanwhile.elapsed())));
            WindowFixture::type(QStringLiteral("求"));
            QCOMPARE(query->text(), QStringLiteral("請求"));
            QTRY_VERIFY_WITH_TIMEOUT(!window.searching(), 150); // before the keys' pause is over
            QTRY_VERIFY(window.searching());                   // the new words, held up in turn
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        QTRY_COMPARE(pages, 1);
        QCOMPARE(grid->model()->rowCount(), 1);
        QVERIFY(count->text().startsWith(QStringLiteral("1件")));
        QCOMPARE(f.log().count(), 0);
    }

    void f11CopiesTheLastEarlierDayOntoTheScreenOnly()
    {
        WindowFixture f;
        Store &store = f.store();
        QVERIFY(store.saveDay({"A0012345", "2024/02/20", "08:00", "17:00", {{"3", "古い", "x"}}}).ok());
        QVERIFY(store.saveDay({"A0012345", "2024/02/27", "09:00", "18:30", {{"1", "定例", "週次\r\n報告"}}}).ok());
        QVERIFY(store.saveDay({"A0012345", "2024/02/28", "", "", {}}).ok()); // nothing in it: passed over
        QVERIFY(store.saveDay({"B0000001", "2024/02/29", "07:00", "08:00", {{"1", "他", "y"}}}).ok());

        f.search(QStringLiteral("A0012345"), QStringLiteral("20240301"));
        WindowFixture::press(Qt::Key_F11); // an empty screen: no question
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(lineOf(f.w(), "txtWSTIME")->text(), QStringLiteral("09:00"));
        QCOMPARE(lineOf(f.w(), "txtWETIME")->text(), QStringLiteral("18:30"));
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("1|定例|週次\r\n報告")});
        QVERIFY(!store.loadDay(QStringLiteral("A0012345"), QStringLiteral("2024/03/01")).value.hasTimeRow);

        // The screen holds a day now: a question first, No keeps it.
        lineOf(f.w(), "txtWSTIME")->setText(QStringLiteral("10:00"));
        f.log().answer(false);
        WindowFixture::press(Qt::Key_F11);
        QCOMPARE(f.log().count(), 1);
        QCOMPARE(f.log().last().kind, MessageKind::Question);
        QVERIFY(f.log().last().text.contains(QStringLiteral("2024/02/27")));
        QCOMPARE(lineOf(f.w(), "txtWSTIME")->text(), QStringLiteral("10:00"));

        f.log().clear();
        f.search(QStringLiteral("A0012345"), QStringLiteral("20240220"));
        WindowFixture::press(Qt::Key_F11);
        QCOMPARE(f.log().texts(), QStringList{msg::NoEarlierDay.text});
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("3|古い|x")});
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_searchwindow.moc"
