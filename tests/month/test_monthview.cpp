#include "models/monthmodel.h"
#include "app/inictrl.h"
#include "app/savefiledialog.h"
#include "core/cp932.h"
#include "month/frmmonthview.h"
#include "widgets/stackedbarchart.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QScrollBar>
#include <QTableView>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace worvane;
using namespace worvane::test;

namespace
{
// March 2024: the 1st is a Friday, the 2nd a Saturday, the 3rd a Sunday.
DaySummary day(const char *code, const char *date, const char *start, const char *end)
{
    return DaySummary{code, QStringLiteral("名称"), date, start, end, 1};
}
const QList<DaySummary> March{day("A1", "2024/03/02", "09:00", "18:00"), day("A1", "2024/03/03", "", ""),
                             day("B2", "2024/03/02", "22:00", "25:30")};
} // namespace

class TestMonthView : public QObject
{
    Q_OBJECT

private slots:
    void theMonthIsATableOfHoursWithItsTotals()
    {
        MonthModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setMonth(QDate(2024, 3, 15), March);
        QCOMPARE(model.rowCount(), 3); // A1, B2, totals
        QCOMPARE(model.columnCount(), MonthModel::FirstDay + 31 + 1);
        const auto cell = [&](int row, int day) {
            return model.index(row, MonthModel::FirstDay + day - 1).data().toString();
        };
        QCOMPARE(cell(0, 2), QStringLiteral("9:00"));
        QCOMPARE(cell(0, 3), MonthModel::Untimed); // saved without times: marked, not 0:00
        QCOMPARE(cell(0, 4), QString());
        QCOMPARE(cell(1, 2), QStringLiteral("3:30")); // past midnight
        QCOMPARE(cell(2, 2), QStringLiteral("12:30"));
        QCOMPARE(model.index(0, model.totalColumn()).data().toString(), QStringLiteral("9:00"));
        QCOMPARE(model.index(2, model.totalColumn()).data().toString(), QStringLiteral("12:30"));
        QCOMPARE(model.index(2, MonthModel::Code).data().toString(), QStringLiteral("合計"));
        QCOMPARE(model.headerData(MonthModel::FirstDay + 1, Qt::Horizontal).toString(), QStringLiteral("2(土)"));
        QCOMPARE(model.headerData(MonthModel::FirstDay + 1, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(0, 0, 255));
        QCOMPARE(model.headerData(MonthModel::FirstDay + 2, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(255, 0, 0));
        QVERIFY(model.dayAt(model.index(1, MonthModel::FirstDay + 1)));
        QVERIFY(!model.dayAt(model.index(2, MonthModel::FirstDay + 1))); // a total opens nothing

        // Everyone's month on the team database: a row per person's project, its name naming the person.
        DaySummary alice = day("A1", "2024/03/02", "09:00", "18:00"), bob = day("a1", "2024/03/02", "10:00", "18:00");
        alice.person = QStringLiteral("alice");
        bob.person = QStringLiteral("bob");
        model.setMonth(QDate(2024, 3, 1), {alice, bob}, true);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(1, MonthModel::Name).data().toString(), QStringLiteral("名称（bob）"));
        QCOMPARE((QStringList{cell(0, 2), cell(1, 2), cell(2, 2)}),
                 (QStringList{QStringLiteral("9:00"), QStringLiteral("8:00"), QStringLiteral("17:00")}));
        QCOMPARE(model.dayAt(model.index(1, MonthModel::FirstDay + 1))->person, QStringLiteral("bob"));
    }

    void f7OpensTheMonthAndEnterOpensADay()
    {
        WindowFixture f;
        Store &store = f.store();
        QVERIFY(store.saveDay({"A0012345", "2024/03/02", "09:00", "18:00", {{"1", "t", "d"}}}).ok());
        QVERIFY(store.saveDay({"A0012345", "2024/02/27", "09:00", "10:00", {}}).ok());
        // A name that is widest by its trailing blanks, which a cell's layout counts too, beside a longer one.
        QVERIFY(store.updateProjectMaster(QStringLiteral("A0012345"), QStringLiteral("名前") + QString(30, u' ')).ok());
        QVERIFY(store.updateProjectMaster(QStringLiteral("B1"), QStringLiteral("もっと長い案件の名前")).ok());
        QVERIFY(store.saveDay({"B1", "2024/03/04", "09:00", "10:00", {}}).ok());
        QString shown;
        QImage drawn, drawnPlain;
        test::whenModal([&](QWidget *modal) {
            auto *view = qobject_cast<frmMonthView *>(modal);
            QVERIFY(view);
            const auto closeOnFailure = qScopeGuard([view] { view->reject(); }); // no-op once accepted
            auto *grid = view->findChild<QTableView *>(QStringLiteral("fgdMONTH"));
            QCOMPARE(grid->model()->rowCount(), 3); // the projects, the totals
            // Each column as wide as Qt's own fitting to the contents makes it.
            QList<int> widths, fitted;
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                widths << grid->columnWidth(c);
            grid->resizeColumnsToContents();
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                fitted << grid->columnWidth(c);
            QVERIFY(widths[MonthModel::Name] <= fitted[MonthModel::Name]); // a long name is shortened
            fitted[MonthModel::Name] = widths[MonthModel::Name];
            QCOMPARE(widths, fitted);
            // Cells drawn from the pictures kept of their texts, as the style draws them (compared below).
            drawn = grid->grab().toImage();
            QAbstractItemDelegate *own = grid->itemDelegate();
            QStyledItemDelegate plain;
            grid->setItemDelegate(&plain);
            drawnPlain = grid->grab().toImage();
            grid->setItemDelegate(own);
            QTest::keyClick(grid, Qt::Key_PageUp);  // February
            shown = grid->model()->index(0, MonthModel::FirstDay + 26).data().toString();
            QTest::keyClick(grid, Qt::Key_PageDown);
            grid->setCurrentIndex(grid->model()->index(0, MonthModel::FirstDay + 1));
            QTest::keyClick(grid, Qt::Key_Return);
        });
        WindowFixture::press(Qt::Key_F7);
        QCOMPARE(shown, QStringLiteral("1:00"));
        QVERIFY(!drawn.isNull());
        QCOMPARE(drawn, drawnPlain);
        // The day opened as if typed and searched.
        QCOMPARE(lineOf(f.w(), "txtWKYMD")->text(), QStringLiteral("2024/03/02"));
        QCOMPARE(lineOf(f.w(), "txtWSTIME")->text(), QStringLiteral("09:00"));
        QVERIFY(panelOf(f.w())->isEnabled());
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("1|t|d")});
    }

    // A day picked in 月報 replaces the screen only after asking, when the screen holds input not saved.
    void openingADayAsksBeforeReplacingInputNotSaved()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/04", "09:00", "10:00", {{"1", "stored", "d"}}}).ok());
        f.search(QStringLiteral("A0012345"), QStringLiteral("2024/03/01"));
        lineOf(f.w(), "txtWSTIME")->setText(QStringLiteral("08:00"));
        lineOf(f.w(), "txtWETIME")->setText(QStringLiteral("17:00"));
        f.addItem(QStringLiteral("1"), QStringLiteral("typed"), QStringLiteral("not saved"));
        const auto pickMarch4 = [] {
            test::whenModal([](QWidget *modal) {
                auto *grid = modal->findChild<QTableView *>(QStringLiteral("fgdMONTH"));
                grid->setCurrentIndex(grid->model()->index(0, MonthModel::FirstDay + 3));
                QTest::keyClick(grid, Qt::Key_Return);
            });
            WindowFixture::press(Qt::Key_F7);
        };
        pickMarch4(); // いいえ, the default
        QCOMPARE(f.log().texts(), QStringList{msg::ConfirmOpenDay(QStringLiteral("A0012345"), QStringLiteral("2024/03/04")).text});
        QCOMPARE(lineOf(f.w(), "txtWKYMD")->text(), QStringLiteral("2024/03/01"));
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("1|typed|not saved")});

        f.log().answer(true);
        pickMarch4();
        QCOMPARE(f.listRows(), QStringList{QStringLiteral("1|stored|d")});
        // The day as loaded, unchanged: another day opens without a question.
        f.log().clear();
        pickMarch4();
        QCOMPARE(f.log().count(), 0);
    }

    // Many projects, a long name: however far the grid is scrolled, the code and name columns, the totals
    // column and the totals row are what is seen at its edges; the name is shortened, whole in its
    // tooltip; the next month opens at its first day.
    // F8 shows the month as a chart in the grid's place and back; F9 the year, which PageUp and PageDown
    // then step; the chart's whole is the grid's.
    void theMonthAndTheYearAsCharts()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/04", "09:00", "18:00", {}}).ok());
        QVERIFY(f.store().saveDay({"B0000001", "2024/03/05", "09:00", "12:30", {}}).ok());
        QVERIFY(f.store().saveDay({"B0000001", "2024/07/01", "09:00", "10:00", {}}).ok());
        frmMonthView view(f.store(), f.w().settings(), QDate(2024, 3, 1));
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        auto *grid = view.findChild<QTableView *>(QStringLiteral("fgdMONTH"));
        auto *chart = view.findChild<StackedBarChart *>(QStringLiteral("chtMONTH"));
        auto *title = view.findChild<QLabel *>(QStringLiteral("lblMonth"));
        const auto *model = qobject_cast<const MonthModel *>(grid->model());
        QTest::keyClick(grid, Qt::Key_F8);
        QVERIFY(chart->isVisible());
        QVERIFY(!grid->isVisible());
        QVERIFY(chart->hasFocus());
        QCOMPARE(FormatHours(chart->chart().total),
                 model->index(model->totalRow(), model->totalColumn()).data().toString());
        QTest::keyClick(chart, Qt::Key_Right);
        QTest::keyClick(chart, Qt::Key_Right);
        QTest::keyClick(chart, Qt::Key_Right);
        QCOMPARE(BucketText(chart->chart(), chart->current()), QStringLiteral("4: 9:00（A0012345 ワーベーン開発 9:00）"));
        QTest::keyClick(chart, Qt::Key_F9);
        QCOMPARE(title->text(), QStringLiteral("2024年"));
        QCOMPARE(chart->chart().bucketTotals.mid(2, 5), (QList<qint64>{750, 0, 0, 0, 60}));
        QTest::keyClick(chart, Qt::Key_PageDown);
        QCOMPARE(title->text(), QStringLiteral("2025年"));
        QCOMPARE(chart->chart().total, 0);
        QTest::keyClick(chart, Qt::Key_PageUp);
        QTest::keyClick(chart, Qt::Key_F9);
        QCOMPARE(title->text(), QStringLiteral("2024年3月"));
        QTest::keyClick(chart, Qt::Key_F8);
        QVERIFY(grid->isVisible() && !chart->isVisible());
    }

    void theCodesAndTotalsStayInView()
    {
        WindowFixture f;
        const QString longName = QStringLiteral("とても長いプロジェクト名称の保守と運用と改善と移行");
        QVERIFY(f.store().updateProjectMaster(QStringLiteral("P00"), longName).ok());
        for (int p = 0; p < 40; ++p)
            QVERIFY(f.store().saveDay({QStringLiteral("P%1").arg(p, 2, 10, QLatin1Char('0')), "2024/03/28", "09:00", "18:00", {}}).ok());
        QVERIFY(f.store().saveDay({"P00", "2024/04/02", "09:00", "10:00", {}}).ok());
        lineOf(f.w(), "txtWKYMD")->setText(QStringLiteral("2024/03/28"));
        QStringList seen;
        test::whenModal([&](QWidget *modal) {
            const auto closeOnFailure = qScopeGuard([modal] { qobject_cast<QDialog *>(modal)->reject(); });
            auto *grid = modal->findChild<QTableView *>(QStringLiteral("fgdMONTH"));
            const auto *model = qobject_cast<const MonthModel *>(grid->model());
            // What the user sees at a point of the grid's viewport: the model's row and column there.
            const auto at = [grid](int x, int y) {
                const QPoint point = grid->viewport()->mapTo(grid, QPoint(x, y));
                for (QWidget *w = grid->childAt(point); w; w = w->parentWidget())
                    if (auto *view = qobject_cast<QTableView *>(w)) {
                        const QModelIndex index = view->indexAt(view->viewport()->mapFrom(grid, point));
                        return QStringLiteral("%1,%2").arg(index.row()).arg(index.column());
                    }
                return QStringLiteral("none");
            };
            QVERIFY(QTest::qWaitForWindowExposed(modal));
            const int right = grid->viewport()->width() - 2, bottom = grid->viewport()->height() - 2;
            // The columns at the top corners, the cells at the bottom ones.
            const auto edges = [&] {
                return QStringList{at(2, 2).section(u',', 1), at(right, 2).section(u',', 1), at(2, bottom),
                                   at(right, bottom)}
                    .join(u' ');
            };
            grid->setFocus();
            grid->setCurrentIndex(model->index(30, MonthModel::FirstDay + 27)); // the 28th, far down and right
            seen << edges();
            QTest::keyClick(grid, Qt::Key_Right);
            QTest::keyClick(grid, Qt::Key_Right);
            seen << edges() << QString::number(grid->visualRect(grid->currentIndex()).right() <
                                               grid->viewport()->width() - grid->columnWidth(model->totalColumn()));
            seen << model->index(0, MonthModel::Name).data(Qt::ToolTipRole).toString()
                 << QString::number(grid->columnWidth(MonthModel::Name) < grid->fontMetrics().horizontalAdvance(longName));
            QTest::keyClick(grid, Qt::Key_PageDown);
            seen << QString::number(grid->horizontalScrollBar()->value()) << at(2, 2) + u' ' + at(right, 2);
        });
        WindowFixture::press(Qt::Key_F7);
        // March 2024: columns 2 to 32 are its days, 33 the totals; row 40 the totals. April has 30 days.
        QCOMPARE(seen, (QStringList{QStringLiteral("0 33 40,0 40,33"), QStringLiteral("0 33 40,0 40,33"),
                                    QStringLiteral("1"), longName, QStringLiteral("1"), QStringLiteral("0"),
                                    QStringLiteral("0,0 0,32")}));
    }

    // An export chosen onto the database file is refused with why, and the database stays whole.
    void anExportNeverReplacesTheDatabase()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/02", "09:00", "18:00", {{"1", "t", "d"}}}).ok());
        const QByteArray database = test::readBytes(f.dbPath());
        SaveFileDialog::setHandler([&f](const SaveDialogRequest &) { return std::optional(f.dbPath()); });
        f.log().answer(true); // an overwrite question, were there one
        test::whenModal([](QWidget *modal) {
            auto *view = qobject_cast<frmMonthView *>(modal);
            QVERIFY(view);
            for (Qt::Key key : {Qt::Key_F5, Qt::Key_F6, Qt::Key_F7})
                QTest::keyClick(view->findChild<QTableView *>(QStringLiteral("fgdMONTH")), key);
            view->reject();
        });
        WindowFixture::press(Qt::Key_F7);
        SaveFileDialog::setHandler({});
        QCOMPARE(f.log().count(), 3);
        for (const MessageRequest &shown : f.log().messages())
            QVERIFY2(shown.kind == MessageKind::Critical && shown.text.contains(QStringLiteral("使用中のデータベースファイルです")),
                     qPrintable(shown.text));
        QCOMPARE(test::readBytes(f.dbPath()), database);
    }

    // The CSV is offered in UTF-8 and in Shift-JIS; each kind of file is offered the folder one went to last.
    void exportsOfferShiftJisAndTheFolderUsedLast()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/02", "09:00", "18:00", {{"1", "打合せ", "d"}}}).ok());
        QVERIFY(QDir(f.filePath(QString())).mkdir(QStringLiteral("out")));
        const QString csv = f.filePath(QStringLiteral("out/month.csv"));
        QStringList offered; // kind, folder and filters of each dialog
        SaveFileDialog::setHandler([&](const SaveDialogRequest &request) -> std::optional<SaveChoice> {
            offered << request.kind + QLatin1Char('|') + request.folder + QLatin1Char('|') + request.filters.join(u',');
            if (request.kind != QLatin1String("CSV"))
                return std::nullopt;
            return SaveChoice(csv, 1);
        });
        test::whenModal([](QWidget *modal) {
            for (Qt::Key key : {Qt::Key_F5, Qt::Key_F6, Qt::Key_F5})
                QTest::keyClick(modal->findChild<QTableView *>(QStringLiteral("fgdMONTH")), key);
            qobject_cast<QDialog *>(modal)->reject();
        });
        WindowFixture::press(Qt::Key_F7);
        SaveFileDialog::setHandler({});
        const QString csvFilters = QStringLiteral("CSVﾌｧｲﾙ UTF-8(*.csv),CSVﾌｧｲﾙ Shift-JIS(*.csv)");
        QCOMPARE(offered, (QStringList{QStringLiteral("CSV||") + csvFilters, QStringLiteral("Excel||Excelﾌｧｲﾙ(*.xlsx)"),
                                       QStringLiteral("CSV|") + QFileInfo(csv).absolutePath() + u'|' + csvFilters}));
        const QByteArray written = test::readBytes(csv);
        bool ok = false;
        QVERIFY(!written.startsWith("\xEF\xBB\xBF"));
        QVERIFY(FromCp932(written, &ok).contains(QStringLiteral("打合せ")) && ok);
        QCOMPARE(GetIniString(QStringLiteral("Save Folders"), QStringLiteral("CSV"), f.iniPath()),
                 QFileInfo(csv).absolutePath());
    }

    // An export writes the projects the grid shows: a filter typed without Enter is not applied.
    void anExportWritesWhatTheGridShows()
    {
        WindowFixture f;
        QVERIFY(f.store().saveDay({"A0012345", "2024/03/02", "09:00", "18:00", {}}).ok());
        QVERIFY(f.store().saveDay({"C1000010", "2024/03/02", "09:00", "10:00", {}}).ok());
        const QString csv = f.filePath(QStringLiteral("shown.csv"));
        SaveFileDialog::setHandler([&csv](const SaveDialogRequest &) { return std::optional(csv); });
        int shown = 0;
        QString filtered;
        test::whenModal([&shown, &filtered](QWidget *modal) {
            const auto closeOnFailure = qScopeGuard([modal] { qobject_cast<QDialog *>(modal)->reject(); });
            QTRY_VERIFY(modal->isActiveWindow());
            auto *grid = modal->findChild<QTableView *>(QStringLiteral("fgdMONTH"));
            modal->findChild<QLineEdit *>(QStringLiteral("txtPJCODE"))->setText(QStringLiteral("C*"));
            QTest::keyClick(grid, Qt::Key_F5);
            shown = grid->model()->rowCount() - 1; // without the totals
            // Enter applies the filter, in upper case.
            auto *code = modal->findChild<QLineEdit *>(QStringLiteral("txtPJCODE"));
            code->setText(QStringLiteral("c*"));
            QTest::keyClick(code, Qt::Key_Return);
            filtered = code->text() + QLatin1Char(' ') + QString::number(grid->model()->rowCount() - 1);
            // 期間 takes digits, tidied when left; Enter goes on to 終了, then to the first export.
            auto *from = modal->findChild<QLineEdit *>(QStringLiteral("txtFROM"));
            from->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), from);
            from->clear();
            QTest::keyClicks(from, QStringLiteral("2024/03/02"));
            QTest::keyClick(from, Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            filtered += QLatin1Char(' ') + from->text() + QLatin1Char(' ') + QApplication::focusWidget()->objectName();
        });
        WindowFixture::press(Qt::Key_F7);
        SaveFileDialog::setHandler({});
        QCOMPARE(shown, 2);
        QCOMPARE(filtered, QStringLiteral("C* 1 2024/03/02 cmdCsv"));
        const QString written = QString::fromUtf8(test::readBytes(csv));
        QVERIFY2(written.contains(QStringLiteral("A0012345")) && written.contains(QStringLiteral("C1000010")),
                 qPrintable(written));
    }
};

QTEST_MAIN(TestMonthView)
#include "test_monthview.moc"
