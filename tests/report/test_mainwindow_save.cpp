#include "core/messages.h"
#include "app/savefiledialog.h"
#include "app/startup.h"
#include "calendar/frmcalendar.h"
#include "widgets/bytelimit.h"
#include "core/clock.h"
#include "widgets/flexgrid.h"
#include "main/program.h"
#include "project/frmpjviewer.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace worvane;
using namespace worvane::test;
using worvane::test::readBytes;
using worvane::test::sql;
using worvane::test::WindowFixture;

namespace
{
const QString Code = QStringLiteral("A0012346");

// A day on screen: code, date, hours and items, through the window.
void prepareDay(WindowFixture &f, const QString &date = QStringLiteral("20240301"))
{
    f.search(Code, date);
    lineOf(f.w(), "txtWSTIME")->setText(QStringLiteral("09:00"));
    lineOf(f.w(), "txtWETIME")->setText(QStringLiteral("18:00"));
    f.addItem(QStringLiteral("1"), QStringLiteral("first item title"), QStringLiteral("first item detail"));
    f.addItem(QStringLiteral("2"), QStringLiteral("second item title"),
              QStringLiteral("detail line one\r\ndetail line two"));
    f.log().clear();
}

QList<QVariantList> storedItems(const WindowFixture &f, const QString &code = Code,
                                const QString &date = QStringLiteral("2024/03/01"))
{
    return sql(
        f.dbPath(),
        QStringLiteral(
            "SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT WHERE PJCODE = ? AND WKYMD = ? ORDER BY rowid"),
        {code, date});
}

// The file-save dialog answers with this path (or a cancel) and remembers what it was asked.
struct DialogAnswer {
    std::optional<QString> path;
    SaveDialogRequest asked;
    int count = 0;
    DialogAnswer()
    {
        SaveFileDialog::setHandler([this](const SaveDialogRequest &r) {
            asked = r;
            ++count;
            return path;
        });
    }
    ~DialogAnswer() { SaveFileDialog::setHandler({}); }
};
} // namespace

class TestMainWindowSave : public QObject
{
    Q_OBJECT

private slots:
    // The wiring of the save's header check (the whole table is the rules'): the message, the focus,
    // nothing written.
    void headerChecksInOrder_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("code") << " "
                              << ""
                              << ""
                              << ""
                              << msg::CodeRequired.text
                              << "txtPJCODE";
        QTest::newRow("end") << Code << "2024/03/01"
                             << "09:00"
                             << ""
                             << msg::HoursRequired.text
                             << "txtWETIME";
        QTest::newRow("reversed") << Code << "2024/03/01"
                                  << "18:00"
                                  << "09:00"
                                  << msg::HoursOutOfOrder.text
                                  << "txtWSTIME";
    }
    void headerChecksInOrder()
    {
        QFETCH(QString, code);
        QFETCH(QString, date);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        // The same check stands before the save and before the report file.
        for (Qt::Key key : {Qt::Key_F1, Qt::Key_F2}) {
            WindowFixture f;
            DialogAnswer dialog;
            frmWorvane &w = f.w();
            f.search(Code, QStringLiteral("20240301"));
            lineOf(w, "txtPJCODE")->setText(code);
            lineOf(w, "txtWKYMD")->setText(date);
            lineOf(w, "txtWSTIME")->setText(start);
            lineOf(w, "txtWETIME")->setText(end);
            buttonOf(w, "cmdCancel")->setFocus();
            WindowFixture::settle();
            WindowFixture::press(key);
            QCOMPARE(f.log().texts(), QStringList{message});
            QCOMPARE(WindowFixture::focus()->objectName(), focus);
            QCOMPARE(dialog.count, 0);
            QCOMPARE(sql(f.dbPath(), QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME"))[0][0].toInt(), 0);
        }
    }

    void savingAddsThenChangesTheDay()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        prepareDay(f);
        f.log().answer(true);
        WindowFixture::press(Qt::Key_F1);
        QCOMPARE(f.log().count(), 2);
        QCOMPARE(f.log().messages()[0].kind, MessageKind::Question);
        QCOMPARE(f.log().messages()[0].text,
                 msg::ConfirmSave.text);
        QCOMPARE(f.log().messages()[1].kind, MessageKind::Information);
        QCOMPARE(f.log().messages()[1].text, msg::Saved.text);
        auto time = sql(
            f.dbPath(),
            QStringLiteral("SELECT PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD IS NULL FROM DF_WKTIME"));
        QCOMPARE(time,
                 (QList<QVariantList>{{Code, QStringLiteral("2024/03/01"), QStringLiteral("09:00"),
                                       QStringLiteral("18:00"), QStringLiteral("2024/03/01 18:30:00"), 1}}));
        QCOMPARE(storedItems(f).size(), 2);
        QCOMPARE(storedItems(f)[1][2].toString(), QStringLiteral("detail line one\r\ndetail line two"));
        // The screen stays; the list's first row is selected.
        QCOMPARE(gridOf(w)->currentRow(), 0);
        QCOMPARE(gridOf(w)->selectionModel()->selectedIndexes().size(), 2);
        QVERIFY(panelOf(w)->isEnabled());
        // The saved code is the new default, in the file and at once.
        QCOMPARE(w.settings().defaultCode, Code);
        QVERIFY(readBytes(f.iniPath()).contains("PJCode=" + Code.toLatin1()));
        WindowFixture::press(Qt::Key_F3);
        QCOMPARE(lineOf(w, "txtPJCODE")->text(), Code);
        // A fresh start reads it back from the file.
        const Settings fresh =
            LoadSettings(QFileInfo(f.iniPath()).path(), f.filePath(QStringLiteral("user")));
        QCOMPARE(fresh.defaultCode, Code);
        QCOMPARE(fresh.databasePath, f.dbPath());

        // Again, with item 1 deleted and "05" added: ENTYMD kept, UPDYMD set, items replaced.
        Clock::setFixed(QDateTime(QDate(2024, 3, 2), QTime(7, 0, 0)));
        prepareDay(f);
        gridOf(w)->setCurrentCell(0, 1);
        WindowFixture::press(Qt::Key_F9);
        f.addItem(QStringLiteral("05"), QStringLiteral("five"), QStringLiteral("d"));
        f.log().clear();
        f.log().answer(true);
        buttonOf(w, "cmdUpdate")->click();
        time = sql(f.dbPath(), QStringLiteral("SELECT ENTYMD, UPDYMD FROM DF_WKTIME"));
        QCOMPARE(time, (QList<QVariantList>{
                           {QStringLiteral("2024/03/01 18:30:00"), QStringLiteral("2024/03/02 07:00:00")}}));
        QCOMPARE(storedItems(f),
                 (QList<QVariantList>{{"2", "second item title", "detail line one\r\ndetail line two"},
                                      {"05", "five", "d"}}));
    }

    // The status line names the working days of the month so far without a saved day, from the start and
    // again after each save (a holiday, 2024/03/20, and the weekends are not working days).
    void theStatusLineNamesTheDaysNotEntered()
    {
        WindowFixture f;
        Clock::setFixed(QDateTime(QDate(2024, 3, 22), QTime(9, 0)));
        QVERIFY(f.store().saveDay({"B0000001", "2024/03/01", "09:00", "18:00", {}}).ok());
        for (const char *date : {"2024/03/04", "2024/03/05", "2024/03/06", "2024/03/07", "2024/03/08",
                                 "2024/03/11", "2024/03/12", "2024/03/13", "2024/03/14", "2024/03/15",
                                 "2024/03/18", "2024/03/19"})
            QVERIFY(f.store().saveDay({"B0000001", date, "09:00", "18:00", {}}).ok());
        f.useDatabase(f.dbPath()); // started again
        auto *status = labelOf(f.w(), "lblStatus");
        QCOMPARE(status->text(), QStringLiteral("未入力の日: 3/21(木)"));
        prepareDay(f, QStringLiteral("20240321"));
        f.log().answer(true);
        WindowFixture::press(Qt::Key_F1);
        QCOMPARE(f.log().last().text, msg::Saved.text);
        QCOMPARE(status->text(), QString());
    }

    // An undo of a save: F10, Enter on the version before it, 復元 (its times and items back on the screen,
    // what differs marked beside it), F1. A day never saved lists nothing; Escape closes.
    void historyPutsAnEarlierVersionBackForF1()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        f.search(Code, QStringLiteral("20240305"));
        test::whenModal([&](QWidget *modal) {
            const auto closeOnFailure = qScopeGuard([modal] { qobject_cast<QDialog *>(modal)->reject(); });
            QTRY_VERIFY(modal->isActiveWindow());
            QCOMPARE(modal->windowTitle(), QStringLiteral("履歴"));
            QCOMPARE(modal->findChild<QTableView *>(QStringLiteral("fgdVERSIONS"))->model()->rowCount(), 0);
            QVERIFY(!modal->findChild<QPushButton *>(QStringLiteral("cmdRestore"))->isEnabled());
            WindowFixture::press(Qt::Key_Escape);
        });
        WindowFixture::press(Qt::Key_F10);
        QVERIFY(!QApplication::activeModalWidget());

        prepareDay(f);
        f.log().answer(true);
        WindowFixture::press(Qt::Key_F1);
        const QList<QVariantList> first = storedItems(f);
        f.search(Code, QStringLiteral("20240301"));
        lineOf(w, "txtWSTIME")->setText(QStringLiteral("08:30"));
        f.addItem(QStringLiteral("3"), QStringLiteral("third"), QStringLiteral("added later"));
        f.log().answer(true);
        WindowFixture::press(Qt::Key_F1);
        QCOMPARE(storedItems(f).size(), 3);

        QStringList marked;
        test::whenModal([&](QWidget *modal) {
            const auto closeOnFailure = qScopeGuard([modal] { qobject_cast<QDialog *>(modal)->reject(); });
            QTRY_VERIFY(modal->isActiveWindow());
            auto *versions = modal->findChild<QTableView *>(QStringLiteral("fgdVERSIONS"));
            QCOMPARE(versions->model()->rowCount(), 2);
            WindowFixture::press(Qt::Key_Down); // the version before the last save
            const QAbstractItemModel *diff = modal->findChild<QTableView *>(QStringLiteral("fgdDIFF"))->model();
            for (int row = 0; row < diff->rowCount(); ++row)
                marked << diff->index(row, 0).data().toString() + QLatin1Char(' ') + diff->index(row, 3).data().toString();
            WindowFixture::press(Qt::Key_Return);
            QCOMPARE(WindowFixture::focus()->objectName(), QStringLiteral("cmdRestore"));
            WindowFixture::press(Qt::Key_Return);
        });
        WindowFixture::press(Qt::Key_F10);
        QCOMPARE(marked, (QStringList{QStringLiteral("開始 変更"), QStringLiteral("終了 "), QStringLiteral("1 "),
                                      QStringLiteral("2 "), QStringLiteral("3 追加")}));
        QCOMPARE(lineOf(w, "txtWSTIME")->text(), QStringLiteral("09:00"));
        QCOMPARE(f.listRows().size(), 2);
        QCOMPARE(storedItems(f).size(), 3); // nothing saved until F1
        f.log().answer(true);
        WindowFixture::press(Qt::Key_F1);
        QCOMPARE(f.log().last().text, msg::Saved.text);
        QCOMPARE(storedItems(f), first);
        QCOMPARE(f.store().dayHistory(Code, QStringLiteral("2024/03/01")).value.size(), 3);
    }

    void anEmptyListStillSavesTheHours()
    {
        WindowFixture f;
        prepareDay(f);
        f.log().answer(true);
        buttonOf(f.w(), "cmdUpdate")->click();
        f.search(Code, QStringLiteral("20240301"));
        QCOMPARE(f.listRows().size(), 2);
        WindowFixture::press(Qt::Key_F9);
        WindowFixture::press(Qt::Key_F9);
        QVERIFY(f.listRows().isEmpty());
        lineOf(f.w(), "txtWSTIME")->setText(QStringLiteral("10:00"));
        lineOf(f.w(), "txtWETIME")->setText(QStringLiteral("25:00")); // hours are not range-checked
        f.log().clear();
        f.log().answer(true);
        buttonOf(f.w(), "cmdUpdate")->click();
        QCOMPARE(f.log().last().kind, MessageKind::Information);
        QVERIFY(storedItems(f).isEmpty());
        QCOMPARE(sql(f.dbPath(), QStringLiteral("SELECT WSTIME, WETIME FROM DF_WKTIME")),
                 (QList<QVariantList>{{"10:00", "25:00"}}));
    }

    // Another PC saved the day after this one loaded it: this save is refused, and nothing typed is lost.
    void aDayChangedElsewhereIsNotOverwrittenAndTheScreenStays()
    {
        WindowFixture here;
        prepareDay(here);
        WindowFixture there; // its message log takes every box from now on, the other window's too
        there.useDatabase(here.dbPath());
        there.search(Code, QStringLiteral("20240301"));
        MessageLog &log = there.log();
        log.answer(true);
        buttonOf(here.w(), "cmdUpdate")->click();
        QCOMPARE(log.last().text, msg::Saved.text);
        log.answer(true); // a second save from the same screen is not a conflict
        buttonOf(here.w(), "cmdUpdate")->click();
        QCOMPARE(log.last().text, msg::Saved.text);

        lineOf(there.w(), "txtWSTIME")->setText(QStringLiteral("07:00"));
        lineOf(there.w(), "txtWETIME")->setText(QStringLiteral("16:00"));
        there.addItem(QStringLiteral("9"), QStringLiteral("other"), QStringLiteral("pc"));
        log.answer(true);
        buttonOf(there.w(), "cmdUpdate")->click();
        QCOMPARE(log.last().text, msg::DayChangedElsewhere.text);
        QCOMPARE(there.listRows(), QStringList{QStringLiteral("9|other|pc")});
        QCOMPARE(lineOf(there.w(), "txtWSTIME")->text(), QStringLiteral("07:00"));
        QCOMPARE(storedItems(here).size(), 2);
    }

    void aChangedCodeOrDateSavesUnderTheNewKeys()
    {
        WindowFixture f;
        prepareDay(f);
        f.log().answer(true);
        buttonOf(f.w(), "cmdUpdate")->click();
        lineOf(f.w(), "txtWKYMD")->setText(QStringLiteral("2024/03/05"));
        lineOf(f.w(), "txtPJCODE")->setText(QStringLiteral("NEWCODE"));
        f.log().answer(true);
        buttonOf(f.w(), "cmdUpdate")->click();
        QCOMPARE(storedItems(f).size(), 2);
        QCOMPARE(storedItems(f, QStringLiteral("NEWCODE"), QStringLiteral("2024/03/05")).size(), 2);
        QCOMPARE(f.w().settings().defaultCode, QStringLiteral("NEWCODE"));
    }

    void rawTimeTextIsSavedWhenF1IsPressedInTheField()
    {
        WindowFixture f;
        f.search(Code, QStringLiteral("20240301"));
        WindowFixture::type(QStringLiteral("0900"));
        WindowFixture::press(Qt::Key_Tab);
        WindowFixture::type(QStringLiteral("1800"));
        QCOMPARE(lineOf(f.w(), "txtWETIME")->text(), QStringLiteral("1800"));
        f.log().answer(true);
        WindowFixture::press(Qt::Key_F1);
        QCOMPARE(sql(f.dbPath(), QStringLiteral("SELECT WSTIME, WETIME FROM DF_WKTIME")),
                 (QList<QVariantList>{{"09:00", "1800"}}));
        QCOMPARE(WindowFixture::focus(), lineOf(f.w(), "txtWETIME"));
    }

    void noWritesNothingAndAFailureKeepsEverything()
    {
        WindowFixture f;
        prepareDay(f);
        const QByteArray ini = readBytes(f.iniPath());
        buttonOf(f.w(), "cmdUpdate")->click(); // answered No
        QCOMPARE(f.log().count(), 1);
        QCOMPARE(sql(f.dbPath(), QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME"))[0][0].toInt(), 0);
        QCOMPARE(readBytes(f.iniPath()), ini);

        // The database is gone: only the failure box, the screen and the settings as they were.
        const QStringList rows = f.listRows();
        QVERIFY(QFile::rename(f.dbPath(), f.filePath(QStringLiteral("gone.mdb"))));
        f.log().clear();
        f.log().answer(true);
        buttonOf(f.w(), "cmdUpdate")->click();
        QCOMPARE(f.log().count(), 2);
        QCOMPARE(f.log().last().kind, MessageKind::Critical);
        QCOMPARE(f.log().last().text, msg::SaveFailed.text);
        QCOMPARE(f.listRows(), rows);
        QCOMPARE(readBytes(f.iniPath()), ini);
        QCOMPARE(f.w().settings().defaultCode, QStringLiteral("A0012345"));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!QFileInfo::exists(f.dbPath()));
    }

    void theQuestionBoxSaysHaiIieAndEnterAnswersNo()
    {
        WindowFixture f;
        prepareDay(f);
        MessagePresenter::setHandler({}); // the real box
        QStringList buttons;
        QString title;
        QTimer::singleShot(100, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            for (QAbstractButton *b : box->buttons())
                buttons << b->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
            QTest::keyClick(box, Qt::Key_Return);
        });
        buttonOf(f.w(), "cmdUpdate")->click();
        QCOMPARE(title, QStringLiteral("ワーベーン"));
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("いいえ"), QStringLiteral("はい")}));
        QCOMPARE(sql(f.dbPath(), QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME"))[0][0].toInt(), 0);
    }

    // ---- The report file ----

    void reportFileIsWrittenFromTheScreen()
    {
        WindowFixture f;
        DialogAnswer dialog;
        prepareDay(f);
        dialog.path = f.filePath(QStringLiteral("20240301"));
        lineOf(f.w(), "txtWKCODE")->setFocus();
        WindowFixture::press(Qt::Key_F2);
        QCOMPARE(dialog.asked.suggestedName, QStringLiteral("20240301"));
        // Each filter shows its pattern once; "*" is every file.
        QCOMPARE(dialog.asked.filters,
                 (QStringList{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral("CSVﾌｧｲﾙ(*.csv)"),
                              QStringLiteral("全てのﾌｧｲﾙ(*)")}));
        QCOMPARE(f.log().texts(), QStringList{msg::ReportWritten.text});
        const QByteArray expected(
            "2024/03/01\t09:00\x81\x60"
            "18:00\r\n\r\n"
            "1.\tfirst item title\r\n\t\tfirst item detail\r\n\r\n"
            "2.\tsecond item title\r\n\t\tdetail line one\r\n\t\tdetail line two\r\n\r\n\r\n");
        QCOMPARE(readBytes(*dialog.path), expected);
        QCOMPARE(gridOf(f.w())->currentRow(), 0);
        // Nothing was saved: the file is made from the screen.
        QCOMPARE(sql(f.dbPath(), QStringLiteral("SELECT COUNT(*) FROM DF_WKCONT"))[0][0].toInt(), 0);

        // An existing .csv is replaced with the same bytes.
        dialog.path = f.filePath(QStringLiteral("report.csv"));
        test::writeBytes(*dialog.path, QByteArray(9000, 'x'));
        buttonOf(f.w(), "cmdOutput")->click();
        QCOMPARE(readBytes(*dialog.path), expected);
    }

    void rawTimeTextGoesIntoTheFileWhenF2IsPressedInTheField()
    {
        WindowFixture f;
        DialogAnswer dialog;
        dialog.path = f.filePath(QStringLiteral("raw.txt"));
        f.search(Code, QStringLiteral("20240301"));
        WindowFixture::type(QStringLiteral("0900"));
        lineOf(f.w(), "txtWETIME")->setText(QStringLiteral("18:00"));
        WindowFixture::press(Qt::Key_F2);
        QCOMPARE(readBytes(*dialog.path), QByteArray("2024/03/01\t0900\x81\x60"
                                                     "18:00\r\n\r\n\r\n"));
    }

    void cancelledOrFailedOutputLeavesNoFile()
    {
        WindowFixture f;
        DialogAnswer dialog;
        prepareDay(f);
        buttonOf(f.w(), "cmdOutput")->click();
        QCOMPARE(dialog.count, 1);
        QCOMPARE(f.log().count(), 0);
        QCOMPARE(QDir(f.filePath(QString())).entryList({QStringLiteral("2024*")}), QStringList{});

        dialog.path = f.filePath(QStringLiteral("missing/folder/r.txt"));
        buttonOf(f.w(), "cmdOutput")->click();
        QCOMPARE(f.log().count(), 1);
        QCOMPARE(f.log().last().kind, MessageKind::Critical);
        QVERIFY(f.log().last().text.startsWith(QStringLiteral("実行時ｴﾗｰ: '76'\r\nｴﾗｰｵﾌﾞｼﾞｪｸﾄ: Worvane")));

        f.log().clear();
        dialog.path = f.filePath(QStringLiteral("locked.txt"));
        test::writeBytes(*dialog.path, "mine");
        QFile::setPermissions(*dialog.path, QFile::ReadOwner);
        buttonOf(f.w(), "cmdOutput")->click();
        QVERIFY(f.log().last().text.startsWith(QStringLiteral("実行時ｴﾗｰ: '70'")));
        QCOMPARE(readBytes(*dialog.path), QByteArray("mine"));

        // The database itself, and the settings file, are never a report file.
        const QByteArray database = readBytes(f.dbPath());
        for (const QString &inUse : {f.dbPath(), f.w().settings().iniPath}) {
            dialog.path = inUse;
            buttonOf(f.w(), "cmdOutput")->click();
            QVERIFY2(f.log().last().text.startsWith(QStringLiteral("実行時ｴﾗｰ: '75'")) &&
                         f.log().last().text.contains(QStringLiteral("使用中の")),
                     qPrintable(f.log().last().text));
        }
        QCOMPARE(readBytes(f.dbPath()), database);
    }

    // ---- The two "…" buttons ----

    void projectWindowPicksIntoTheHeader()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        QTimer::singleShot(50, [] {
            auto *viewer = qobject_cast<frmPJViewer *>(QApplication::activeModalWidget());
            if (!viewer)
                return;
            viewer->findChild<QLineEdit *>(QStringLiteral("txtPJCODE"))->setText(QStringLiteral("B*"));
            viewer->findChild<QPushButton *>(QStringLiteral("cmdSerch"))->click();
            QTest::keyClick(viewer->findChild<FlexGrid *>(QStringLiteral("fgdPRJMST")), Qt::Key_Return);
        });
        buttonOf(w, "cmdCallPJViewer")->click();
        QCOMPARE(lineOf(w, "txtPJCODE")->text(), QStringLiteral("B0000001"));
        QCOMPARE(labelOf(w, "lblPJNAME")->text(), QStringLiteral("社内ネットワーク更改"));
        QCOMPARE(w.focusWidget(), lineOf(w, "txtWKYMD"));
    }

    void calendarPicksIntoTheDate()
    {
        WindowFixture f;
        frmWorvane &w = f.w();
        // Closed without a pick: nothing changes, the focus stays on the button.
        QTimer::singleShot(50, [] {
            if (auto *cal = qobject_cast<frmCalendar *>(QApplication::activeModalWidget()))
                cal->findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
        });
        buttonOf(w, "cmdCallCalendar")->setFocus();
        buttonOf(w, "cmdCallCalendar")->click();
        QCOMPARE(lineOf(w, "txtWKYMD")->text(), QStringLiteral("2024/03/01"));
        QCOMPARE(w.focusWidget(), buttonOf(w, "cmdCallCalendar"));

        QTimer::singleShot(50, [] {
            if (auto *cal = qobject_cast<frmCalendar *>(QApplication::activeModalWidget())) {
                cal->findChild<QCalendarWidget *>(QStringLiteral("Calendar"))
                    ->setSelectedDate(QDate(2024, 2, 9));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            }
        });
        buttonOf(w, "cmdCallCalendar")->click();
        QCOMPARE(lineOf(w, "txtWKYMD")->text(), QStringLiteral("2024/02/09"));
        QCOMPARE(w.focusWidget(), buttonOf(w, "cmdSerch"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ConfigureApplication(app); // Qt's own texts in Japanese
    TestMainWindowSave test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_mainwindow_save.moc"
