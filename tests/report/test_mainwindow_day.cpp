#include "core/messages.h"
#include "widgets/bytelimit.h"
#include "widgets/flexgrid.h"
#include "windowfixture.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace worvane;
using namespace worvane::test;
using worvane::test::sql;
using worvane::test::WindowFixture;

namespace
{
const QString Code = QStringLiteral("A0012345");

void storeDay(const QString &db, const QString &date, const QVariant &start, const QVariant &end)
{
    sql(db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME) VALUES (?, ?, ?, ?)"),
        {Code, date, start, end});
}
void storeItem(const QString &db, const QString &date, const QString &number, const QVariant &title,
               const QVariant &detail)
{
    sql(db, QStringLiteral("INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)"),
        {Code, date, number, title, detail});
}
} // namespace

class TestMainWindowDay : public QObject
{
    Q_OBJECT

private slots:
    // ---- Search and load ----

    // The wiring of the search's checks: the first fault's message, then the focus on its field. The
    // whole table of faults is the rules' (tests/rules).
    void searchChecksInOrder_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("both blank: only the code") << "  "
                                                   << ""
                                                   << msg::CodeRequired.text
                                                   << "txtPJCODE";
        QTest::newRow("not a day") << Code << "2023/02/29"
                                   << msg::DateInvalid.text
                                   << "txtWKYMD";
        QTest::newRow("unknown project") << "NOPE"
                                         << "2024/02/29"
                                         << msg::ProjectUnknown.text
                                         << "txtPJCODE";
    }
    void searchChecksInOrder()
    {
        QFETCH(QString, code);
        QFETCH(QString, date);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        WindowFixture f;
        frmWorvane &w = f.w();
        lineOf(w, "txtPJCODE")->setText(code);
        lineOf(w, "txtWKYMD")->setText(date);
        buttonOf(w, "cmdSerch")->setFocus();
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(f.log().texts(), QStringList{message});
        QCOMPARE(f.log().last().kind, MessageKind::Warning);
        QCOMPARE(f.log().last().title, QStringLiteral("ワーベーン"));
        QCOMPARE(WindowFixture::focus()->objectName(), focus);
        QVERIFY(!panelOf(w)->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }

    void theProjectMessageComesUnderTheHourglass()
    {
        WindowFixture f;
        bool hourglass = false;
        MessagePresenter::setHandler([&](const MessageRequest &) {
            hourglass =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            return false;
        });
        lineOf(f.w(), "txtPJCODE")->setText(QStringLiteral("NOPE"));
        buttonOf(f.w(), "cmdSerch")->click();
        QVERIFY(hourglass);
        QVERIFY(!QApplication::overrideCursor());
    }

    void aDayWithNothingStoredOpensEmpty()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(QStringLiteral("a0012345"), QStringLiteral("20240229"));
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(labelOf(w, "lblPJNAME")->text(), QStringLiteral("ワーベーン開発"));
        QCOMPARE(lineOf(w, "txtWKYMD")->text(), QStringLiteral("2024/02/29"));
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QString());
        QCOMPARE(lineOf(w, "txtWETIME")->text(), QString());
        QCOMPARE(gridOf(w)->model()->rowCount(), 0);
        QCOMPARE(gridOf(w)->mode(), FlexGrid::Mode::Empty);
        for (QWidget *x : std::initializer_list<QWidget *>{
                 panelOf(w), buttonOf(w, "cmdAddWork"), buttonOf(w, "cmdUpdWork"), buttonOf(w, "cmdDelWork"),
                 buttonOf(w, "cmdUpdate"), buttonOf(w, "cmdOutput")})
            QVERIFY(x->isEnabled());
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWSTIME"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void hoursAndItemsLoadInNumberOrder()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        storeDay(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("09:00"), QVariant());
        storeItem(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("3"), QStringLiteral("three"),
                  QVariant());
        storeItem(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("1"), QVariant(),
                  QStringLiteral("a\r\nb"));
        storeItem(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("2"), QStringLiteral("two"),
                  QStringLiteral("d"));
        f.search(Code, QStringLiteral("20240301"));
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("09:00"));
        QCOMPARE(lineOf(w, "txtWETIME")->text(), QString()); // Null reads as empty
        QCOMPARE(f.listRows(), (QStringList{"1||a\r\nb", "2|two|d", "3|three|"}));
        // List mode, the first item's title and detail selected, the editor empty.
        QCOMPARE(gridOf(w)->mode(), FlexGrid::Mode::List);
        QCOMPARE(gridOf(w)->currentRow(), 0);
        QCOMPARE(gridOf(w)->currentColumn(), 1);
        QCOMPARE(gridOf(w)->selectionModel()->selectedIndexes().size(), 2);
        QVERIFY(gridOf(w)->isVisible());
        QCOMPARE(lineOf(w, "txtWKCODE")->text(), QString());
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QString());
        QCOMPARE(detailOf(w)->toPlainText(), QString());
    }

    void hoursWithoutItemsAndItemsWithoutHours()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        storeDay(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("08:00"), QStringLiteral("17:00"));
        storeItem(f.dbPath(), QStringLiteral("2024/03/02"), QStringLiteral("1"), QStringLiteral("t"),
                  QStringLiteral("d"));
        f.search(Code, QStringLiteral("20240301"));
        QCOMPARE(lineOf(w, "txtWETIME")->text(), QStringLiteral("17:00"));
        QCOMPARE(gridOf(w)->model()->rowCount(), 0);
        QCOMPARE(gridOf(w)->mode(), FlexGrid::Mode::Empty);
        // Items stored for a day without a working-time row are not shown.
        f.search(Code, QStringLiteral("20240302"));
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QString());
        QCOMPARE(gridOf(w)->model()->rowCount(), 0);
        QVERIFY(panelOf(w)->isEnabled());
    }

    void searchingAgainReplacesUnsavedEditsAndAFailedSearchKeepsTheDay()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        storeDay(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("08:00"), QStringLiteral("17:00"));
        f.search(Code, QStringLiteral("20240301"));
        f.addItem(QStringLiteral("7"), QStringLiteral("unsaved"), QStringLiteral("x"));
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("06:00"));
        // An unknown project: the message, and the day stays on screen, editable.
        f.search(QStringLiteral("NOPE"), QStringLiteral("20240301"));
        QCOMPARE(f.log().texts(), QStringList{msg::ProjectUnknown.text});
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("7|unsaved|x")});
        QVERIFY(panelOf(w)->isEnabled());
        // The database cannot be read: a critical box, nothing on screen changes.
        f.log().clear();
        QVERIFY(QFile::rename(f.dbPath(), f.filePath(QStringLiteral("moved-away.mdb"))));
        f.search(Code, QStringLiteral("20240301"));
        // Once, by the search (leaving the code field on the way says nothing).
        QCOMPARE(f.log().texts(), QStringList{msg::LoadFailed.text});
        QCOMPARE(f.log().last().kind, MessageKind::Critical);
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("7|unsaved|x")});
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("06:00"));
        QVERIFY(!QApplication::overrideCursor());
        // Searching the day again drops the edits without a question.
        QVERIFY(QFile::rename(f.filePath(QStringLiteral("moved-away.mdb")), f.dbPath()));
        f.log().clear();
        f.search(Code, QStringLiteral("20240301"));
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("08:00"));
        QVERIFY(f.listRows().isEmpty());
    }

    // ---- The list and the editor ----

    void addKeepsTypedNumbersAndRefusesDuplicates()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(Code, QStringLiteral("20240301"));
        f.addItem(QStringLiteral("05"), QStringLiteral("five"), QStringLiteral("d5"));
        QCOMPARE(gridOf(w)->mode(), FlexGrid::Mode::List); // list mode once an item is in
        f.addItem(QStringLiteral("5"), QStringLiteral("5 too"), QStringLiteral("d"));
        f.addItem(QStringLiteral("1"), QStringLiteral("one"), QStringLiteral("d1"));
        QCOMPARE(f.listRows(), (QStringList{"05|five|d5", "5|5 too|d", "1|one|d1"})); // never sorted
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(gridOf(w)->currentRow(), 2);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKCODE"));
        QCOMPARE(lineOf(w, "txtWKCODE")->selectedText(), QStringLiteral("1"));
        // The editor keeps its values: a second F5 finds the duplicate and leaves that row current.
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QStringLiteral("one"));
        lineOf(w, "txtWKCODE")->setText(QStringLiteral("5"));
        WindowFixture::press(Qt::Key_F5);
        QCOMPARE(f.log().texts(), QStringList{msg::ItemDuplicate.text});
        QCOMPARE(gridOf(w)->currentRow(), 1);
        QCOMPARE(gridOf(w)->currentColumn(), 0);
        // F9 then deletes that row.
        WindowFixture::press(Qt::Key_F9);
        QCOMPARE(f.listRows(), (QStringList{"05|five|d5", "1|one|d1"}));
    }

    void changeTakesTheLastMatchAndAMissLeavesTheLastRowCurrent()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        storeDay(f.dbPath(), QStringLiteral("2024/03/01"), QStringLiteral("08:00"), QStringLiteral("17:00"));
        for (const char *n : {"1", "2", "2", "3"})
            storeItem(f.dbPath(), QStringLiteral("2024/03/01"), QString::fromLatin1(n), QStringLiteral("old"),
                      QStringLiteral("old"));
        f.search(Code, QStringLiteral("20240301"));
        // Two rows share number 2: change writes the later one, add reports the earlier one.
        lineOf(w, "txtWKCODE")->setText(QStringLiteral("2"));
        lineOf(w, "txtWKHEAD")->setText(QStringLiteral("new"));
        detailOf(w)->setTextCrLf(QStringLiteral("line 1\r\nline 2"));
        lineOf(w, "txtWKCODE")->setFocus();
        WindowFixture::press(Qt::Key_F6);
        QCOMPARE(f.listRows(),
                 (QStringList{"1|old|old", "2|old|old", "2|new|line 1\r\nline 2", "3|old|old"}));
        QCOMPARE(gridOf(w)->currentRow(), 2);
        QCOMPARE(gridOf(w)->currentColumn(), 1);
        QCOMPARE(gridOf(w)->selectionModel()->selectedIndexes().size(), 2);
        WindowFixture::press(Qt::Key_F5);
        QCOMPARE(f.log().texts(), QStringList{msg::ItemDuplicate.text});
        QCOMPARE(gridOf(w)->currentRow(), 1);

        // A number not in the list: the message, the list unchanged, the last row current; F9 deletes it.
        f.log().clear();
        lineOf(w, "txtWKCODE")->setText(QStringLiteral("9"));
        WindowFixture::press(Qt::Key_F6);
        QCOMPARE(f.log().texts(), QStringList{msg::ItemMissing.text});
        QCOMPARE(gridOf(w)->currentRow(), 3);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKCODE"));
        WindowFixture::press(Qt::Key_F9);
        QCOMPARE(f.listRows(), (QStringList{"1|old|old", "2|old|old", "2|new|line 1\r\nline 2"}));
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKCODE"));
    }

    void deleteOfTheOnlyAndOfNoItem()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(Code, QStringLiteral("20240301"));
        f.addItem(QStringLiteral("1"), QStringLiteral("t"), QStringLiteral("d"));
        lineOf(w, "txtWKHEAD")->setFocus();
        WindowFixture::settle();
        WindowFixture::press(Qt::Key_F9);
        QCOMPARE(gridOf(w)->model()->rowCount(), 0);
        QCOMPARE(gridOf(w)->mode(), FlexGrid::Mode::Empty);
        QCOMPARE(gridOf(w)->currentRow(), -1);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKHEAD")); // the focus stays
        QCOMPARE(f.log().count(), 0);
        WindowFixture::press(Qt::Key_F9);
        QCOMPARE(f.log().texts(), QStringList{msg::NothingToDelete.text});
        // The editor is never cleared by the list actions.
        QCOMPARE(lineOf(w, "txtWKCODE")->text(), QStringLiteral("1"));
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QStringLiteral("t"));
    }

    // The wiring of the item check: the message, the focus, the fields never corrected, the detail's
    // line breaks as CR LF. The whole table is the rules'.
    void itemChecksInOrder_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("all empty: the number") << ""
                                               << ""
                                               << ""
                                               << msg::ItemNumberRequired.text
                                               << "txtWKCODE";
        QTest::newRow("title of blanks") << "1"
                                         << "  　"
                                         << "d"
                                         << msg::ItemTitleRequired.text
                                         << "txtWKHEAD";
        QTest::newRow("01 and a line break pass") << "01"
                                                  << "t"
                                                  << "\r\n"
                                                  << ""
                                                  << "txtWKCODE";
    }
    void itemChecksInOrder()
    {
        QFETCH(QString, number);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(Code, QStringLiteral("20240301"));
        lineOf(w, "txtWKCODE")->setText(number);
        lineOf(w, "txtWKHEAD")->setText(title);
        detailOf(w)->setTextCrLf(detail);
        buttonOf(w, "cmdAddWork")->setFocus();
        WindowFixture::press(Qt::Key_Space);
        QCOMPARE(f.log().texts(), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(gridOf(w)->model()->rowCount(), message.isEmpty() ? 1 : 0);
        QCOMPARE(WindowFixture::focus()->objectName(), focus);
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), title); // never corrected
    }

    void pickCopiesTheRowIntoTheEditor()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(Code, QStringLiteral("20240301"));
        // Nothing to pick in an empty list.
        gridOf(w)->setFocus();
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(lineOf(w, "txtWKCODE")->text(), QString());
        QCOMPARE(WindowFixture::focus(), gridOf(w));

        f.addItem(QStringLiteral("1"), QStringLiteral("one"), QStringLiteral("first\r\nsecond\r\nthird"));
        f.addItem(QStringLiteral("2"), QStringLiteral("two"), QStringLiteral("x"));
        lineOf(w, "txtWKCODE")->clear();
        lineOf(w, "txtWKHEAD")->clear();
        detailOf(w)->clear();
        // Double-click on row 1.
        gridOf(w)->setCurrentCell(0, 1);
        const QRect cell = gridOf(w)->visualRect(gridOf(w)->model()->index(0, 1));
        QTest::mouseDClick(gridOf(w)->viewport(), Qt::LeftButton, {}, cell.center());
        WindowFixture::settle();
        QCOMPARE(lineOf(w, "txtWKCODE")->text(), QStringLiteral("1"));
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QStringLiteral("one"));
        QCOMPARE(detailOf(w)->textCrLf(), QStringLiteral("first\r\nsecond\r\nthird"));
        QCOMPARE(detailOf(w)->toPlainText().count(QLatin1Char('\n')), 2);
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKCODE"));
        QCOMPARE(lineOf(w, "txtWKCODE")->selectedText(), QStringLiteral("1"));
        // Enter on row 2.
        gridOf(w)->setFocus();
        gridOf(w)->setCurrentCell(1, 1);
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QStringLiteral("two"));
        QCOMPARE(gridOf(w)->currentColumn(), 1);
        QCOMPARE(gridOf(w)->selectionModel()->selectedIndexes().size(), 2);
    }

    void editorKeys()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(Code, QStringLiteral("20240301"));
        lineOf(w, "txtWKCODE")->setFocus();
        WindowFixture::settle();
        WindowFixture::type(QStringLiteral("a1-2"));
        QCOMPARE(lineOf(w, "txtWKCODE")->text(), QStringLiteral("12"));
        WindowFixture::press(Qt::Key_Return); // past the three buttons
        QCOMPARE(WindowFixture::focus(), lineOf(w, "txtWKHEAD"));
        WindowFixture::type(QStringLiteral("title"));
        WindowFixture::press(Qt::Key_Return);
        QCOMPARE(WindowFixture::focus(), detailOf(w));
        QCOMPARE(lineOf(w, "txtWKHEAD")->text(), QStringLiteral("title"));
        WindowFixture::type(QStringLiteral("one"));
        WindowFixture::press(Qt::Key_Return);
        WindowFixture::type(QStringLiteral("two"));
        QCOMPARE(detailOf(w)->textCrLf(), QStringLiteral("one\r\ntwo"));
        QCOMPARE(WindowFixture::focus(), detailOf(w));
        // Ctrl+A selects the whole detail; Ctrl+Shift+A does not.
        WindowFixture::press(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!detailOf(w)->textCursor().hasSelection());
        WindowFixture::press(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(detailOf(w)->textCursor().selectedText().size(), 7);
        // Added with its CR LF.
        WindowFixture::press(Qt::Key_F5);
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("12|title|one\r\ntwo")});
    }
};

QTEST_MAIN(TestMainWindowDay)
#include "test_mainwindow_day.moc"
