#include "app/globals.h"
#include "common/bytelimit.h"
#include "common/clock.h"
#include "common/flexgrid.h"
#include "common/screen.h"
#include "project/frmpjviewer.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace worvane;
using worvane::test::MessageLog;
using worvane::test::sql;

namespace
{
const QString Caption = QStringLiteral("プロジェクト検索");
const QString NotFound = QStringLiteral("該当するプロジェクトが存在しません。");
const QString Confirm =
    QStringLiteral("入力内容でプロジェクトマスタを更新します。\r\n処理を実行してよろしいですか？");
const QString Updated = QStringLiteral("プロジェクトマスタの更新が完了しました。");
const QString UpdateFailed = QStringLiteral("プロジェクトマスタの更新に失敗しました。");

const QDateTime Created(QDate(2024, 1, 10), QTime(8, 0, 0));
const QDateTime Now(QDate(2024, 3, 1), QTime(18, 30, 5));
const QString CreatedText = QStringLiteral("2024/01/10 08:00:00");
const QString NowText = QStringLiteral("2024/03/01 18:30:05");

// Every project in code order after init(): the demo projects and three of the test's own.
const QStringList AllCodes = {QStringLiteral(" SP1"),     QStringLiteral("A0012345"),
                              QStringLiteral("A0012346"), QStringLiteral("B0000001"),
                              QStringLiteral("C1000010"), QStringLiteral("N1"),
                              QStringLiteral("Q'1"),      QStringLiteral("Z9999999")};

QList<QStringList> listed(const FlexGrid *grid)
{
    QList<QStringList> rows;
    for (int r = 1; r < grid->rows(); ++r)
        rows << QStringList{grid->textAt(r, 0), grid->textAt(r, 1), grid->textAt(r, 2)};
    return rows;
}

QStringList listedCodes(const FlexGrid *grid)
{
    QStringList codes;
    for (int r = 1; r < grid->rows(); ++r)
        codes << grid->textAt(r, 1);
    return codes;
}

// The centre of a cell of the list; row counts as the grid counts (1 is the first project).
QPoint cellCentre(const FlexGrid *grid, int row, int col)
{
    return grid->visualRect(grid->model()->index(row - 1, col)).center();
}

QString focusName()
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}
} // namespace

class TestPJViewer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    // The main window's side of a pick.
    std::unique_ptr<QWidget> m_host;
    QLineEdit *m_code = nullptr;
    QLabel *m_name = nullptr;
    std::unique_ptr<frmPJViewer> m_viewer;

    bool open()
    {
        m_viewer = std::make_unique<frmPJViewer>(m_code, m_name, m_host.get());
        m_viewer->show();
        return QTest::qWaitForWindowActive(m_viewer.get());
    }

    void search(const QString &code, const QString &name)
    {
        m_viewer->txtPJCODE->setText(code);
        m_viewer->txtPJNAME->setText(name);
        QTest::mouseClick(m_viewer->cmdSerch, Qt::LeftButton);
    }

    void update(const QString &code, const QString &name)
    {
        m_viewer->txtPJCODE->setText(code);
        m_viewer->txtPJNAME->setText(name);
        QTest::mouseClick(m_viewer->cmdUpdate, Qt::LeftButton);
    }

    QList<QVariantList> projects() const
    {
        return sql(m_db, QStringLiteral(
                             "SELECT rowid, PJCODE, PJNAME, ENTYMD, UPDYMD FROM DM_PRJMST ORDER BY rowid"));
    }

    FlexGrid *grid() const { return m_viewer->fgdPRJMST; }

private slots:
    void init()
    {
        m_db = m_dir.filePath(QStringLiteral("%1.db").arg(QTest::currentTestFunction()));
        QFile::remove(m_db);
        Clock::setFixed(Created);
        test::makeDatabase(m_db, true);
        sql(m_db,
            QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES "
                           "(' SP1', '空白付き', ?), ('Q''1', 'O''Neil', ?), ('N1', NULL, ?)"),
            {CreatedText, CreatedText, CreatedText});
        Clock::setFixed(Now);
        globals::MdbPath = m_db;

        m_host = std::make_unique<QWidget>();
        m_code = new QLineEdit(QStringLiteral("OLD"), m_host.get());
        m_name = new QLabel(QStringLiteral("前の名称"), m_host.get());
    }

    void cleanup()
    {
        m_viewer.reset();
        m_host.reset();
        Clock::clearFixed();
        globals::clear();
    }

    void opensEmptyWithItsLayout()
    {
        QVERIFY(open());
        frmPJViewer &w = *m_viewer;
        QCOMPARE(w.windowTitle(), Caption);
        QCOMPARE(w.size(), QSize(312, 268));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(w.txtPJNAME->geometry(), TwipsRect(1050, 450, 3450, 285));
        QCOMPARE(w.fgdPRJMST->geometry(), TwipsRect(30, 1275, 4635, 2010));
        QVERIFY(w.cmdSerch->font().bold() && w.cmdClose->font().bold());

        // Every control can be found by name, and everything the user works with has a spoken name.
        for (const char *name : {"lblPJCode", "txtPJCODE", "lblPJNAME", "txtPJNAME", "cmdSerch", "cmdUpdate",
                                 "fgdPRJMST", "cmdClose"})
            QVERIFY2(w.findChild<QWidget *>(QLatin1String(name)), name);
        for (QWidget *control : std::initializer_list<QWidget *>{w.txtPJCODE, w.txtPJNAME, w.cmdSerch,
                                                                 w.cmdUpdate, w.fgdPRJMST, w.cmdClose})
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        QCOMPARE(w.txtPJCODE->accessibleName(), QStringLiteral("PJコード"));

        // Typing rules: 8 half-width bytes for the code, Japanese input for the name.
        QCOMPARE(ByteLimit(w.txtPJCODE), 8);
        QCOMPARE(ByteLimit(w.txtPJNAME), 0);
        QVERIFY(!w.txtPJCODE->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(w.txtPJNAME->testAttribute(Qt::WA_InputMethodEnabled));
        QTest::keyClicks(w.txtPJCODE, QStringLiteral("ABCDEFGHIJ"));
        QCOMPARE(w.txtPJCODE->text(), QStringLiteral("ABCDEFGH"));
        w.txtPJCODE->clear();

        // Empty fields and a list of its header row only.
        QCOMPARE(w.txtPJCODE->text(), QString());
        QCOMPARE(w.txtPJNAME->text(), QString());
        QCOMPARE(grid()->rows(), 1);
        QCOMPARE(grid()->cols(), 3);
        QCOMPARE((QStringList{grid()->textAt(0, 0), grid()->textAt(0, 1), grid()->textAt(0, 2)}),
                 (QStringList{QStringLiteral("行数"), QStringLiteral("PJコード"), QStringLiteral("PJ名称")}));
        QCOMPARE(grid()->columnWidth(0), qRound(500 / 15.0));
        QCOMPARE(grid()->columnWidth(1), qRound(1000 / 15.0));
        // The name column takes the rest of the view: no horizontal scroll bar, whatever the rows.
        QCOMPARE(grid()->columnWidth(0) + grid()->columnWidth(1) + grid()->columnWidth(2),
                 grid()->viewport()->width());
        QCOMPARE(grid()->focusRect(), 1);
        QCOMPARE(grid()->highLight(), 0);

        // The tab order, wrapping round.
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << focusName();
        }
        QCOMPARE(order, (QStringList{QStringLiteral("txtPJNAME"), QStringLiteral("cmdSerch"),
                                     QStringLiteral("cmdUpdate"), QStringLiteral("fgdPRJMST"),
                                     QStringLiteral("cmdClose"), QStringLiteral("txtPJCODE")}));
    }

    // The keyboard path: code, Enter, name, Enter, Enter on 検索, Enter on the first result. A new
    // opening after the pick starts empty again.
    void keyboardPathPicksTheFirstResult()
    {
        MessageLog log;
        QVERIFY(open());
        QTest::keyClicks(m_viewer->txtPJCODE, QStringLiteral("a*"));
        QTest::keyClick(m_viewer->txtPJCODE, Qt::Key_Return);
        QTRY_COMPARE(focusName(), QStringLiteral("txtPJNAME"));
        QTest::keyClicks(m_viewer->txtPJNAME, QStringLiteral("%"));
        QTest::keyClick(m_viewer->txtPJNAME, Qt::Key_Return);
        QTRY_COMPARE(focusName(), QStringLiteral("cmdSerch"));
        QCOMPARE(m_viewer->txtPJCODE->text(), QStringLiteral("a*"));
        QTest::keyClick(m_viewer->cmdSerch, Qt::Key_Return);

        QCOMPARE(log.count(), 0);
        QCOMPARE(focusName(), QStringLiteral("fgdPRJMST"));
        QCOMPARE(listed(grid()), (QList<QStringList>{{QStringLiteral("1"), QStringLiteral("A0012345"),
                                                      QStringLiteral("ワーベーン開発")},
                                                     {QStringLiteral("2"), QStringLiteral("A0012346"),
                                                      QStringLiteral("販売管理システム保守")}}));
        QCOMPARE(grid()->row(), 1);
        QCOMPARE(grid()->col(), 1);
        QCOMPARE(grid()->colSel(), 2);
        QCOMPARE(grid()->focusRect(), 0);
        QCOMPARE(grid()->highLight(), 1);
        QVERIFY(grid()->isVisible());

        QTest::keyClick(grid(), Qt::Key_Return);
        QCOMPARE(m_viewer->result(), int(QDialog::Accepted));
        QVERIFY(!m_viewer->isVisible());
        QCOMPARE(m_code->text(), QStringLiteral("A0012345"));
        QCOMPARE(m_name->text(), QStringLiteral("ワーベーン開発"));

        QVERIFY(open());
        QCOMPARE(m_viewer->txtPJCODE->text(), QString());
        QCOMPARE(m_viewer->txtPJNAME->text(), QString());
        QCOMPARE(grid()->rows(), 1);
    }

    void searchCases_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("codes"); // empty: nothing found

        QTest::newRow("both empty") << ""
                                    << "" << AllCodes;
        QTest::newRow("both blanks only") << "   " << QStringLiteral(" 　") << AllCodes;
        QTest::newRow("whole code") << "A0012345"
                                    << "" << QStringList{"A0012345"};
        QTest::newRow("part of a code is no match") << "A001"
                                                    << "" << QStringList();
        QTest::newRow("prefix with *") << "A001*"
                                       << "" << QStringList{"A0012345", "A0012346"};
        QTest::newRow("prefix with %") << "A001%"
                                       << "" << QStringList{"A0012345", "A0012346"};
        QTest::newRow("one character with ?") << "A00123?5"
                                              << "" << QStringList{"A0012345"};
        QTest::newRow("name part") << "" << QStringLiteral("*ネット*") << QStringList{"B0000001"};
        QTest::newRow("code and name") << "A*" << QStringLiteral("*保守") << QStringList{"A0012346"};
        QTest::newRow("code and name must both match") << "B*" << QStringLiteral("*保守") << QStringList();
        QTest::newRow("leading blank is part of the code") << " SP1"
                                                           << "" << QStringList{" SP1"};
        QTest::newRow("leading blank, prefix") << " *"
                                               << "" << QStringList{" SP1"};
        QTest::newRow("code without its blank") << "SP1"
                                                << "" << QStringList();
        QTest::newRow("trailing blank is part of the code") << "A0012345 "
                                                            << "" << QStringList();
        QTest::newRow("quote in a code") << "Q'1"
                                         << "" << QStringList{"Q'1"};
        QTest::newRow("quote in a name") << ""
                                         << "O'Neil" << QStringList{"Q'1"};
        QTest::newRow("quote cannot widen the search") << ""
                                                       << "x' OR '1'='1" << QStringList();
    }

    void searchCases()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QStringList, codes);
        MessageLog log;
        QVERIFY(open());
        search(code, name);
        // The fields keep what was typed, whatever the outcome.
        QCOMPARE(m_viewer->txtPJCODE->text(), code);
        QCOMPARE(m_viewer->txtPJNAME->text(), name);
        if (codes.isEmpty()) {
            QCOMPARE(log.count(), 1);
            QCOMPARE(log.last().kind, MessageKind::Warning);
            QCOMPARE(log.last().title, Caption);
            QCOMPARE(log.last().text, NotFound);
            QCOMPARE(grid()->rows(), 1);
            QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
            return;
        }
        QCOMPARE(log.count(), 0);
        QCOMPARE(listedCodes(grid()), codes);
        for (int r = 1; r < grid()->rows(); ++r)
            QCOMPARE(grid()->textAt(r, 0), QString::number(r));
        QCOMPARE(focusName(), QStringLiteral("fgdPRJMST"));
    }

    void doubleClickPicksTheRowClicked()
    {
        MessageLog log;
        QVERIFY(open());
        search(QString(), QString());
        QCOMPARE(grid()->textAt(3, 1), QStringLiteral("A0012346"));
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid(), 3, 2));
        QCOMPARE(m_viewer->result(), int(QDialog::Accepted));
        QCOMPARE(m_code->text(), QStringLiteral("A0012346"));
        QCOMPARE(m_name->text(), QStringLiteral("販売管理システム保守"));
        QCOMPARE(log.count(), 0);
    }

    void nothingFoundKeepsTheEarlierList()
    {
        MessageLog log;
        QVERIFY(open());
        search(QStringLiteral("A001*"), QString());
        const QList<QStringList> before = listed(grid());
        QCOMPARE(before.size(), 2);
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->row(), 2);

        search(QStringLiteral("NONE"), QString());
        QCOMPARE(log.texts(), QStringList{NotFound});
        QCOMPARE(listed(grid()), before);
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
        QCOMPARE(m_viewer->txtPJCODE->text(), QStringLiteral("NONE"));
        QVERIFY(m_viewer->isVisible());

        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid(), 2, 1));
        QCOMPARE(m_viewer->result(), int(QDialog::Accepted));
        QCOMPARE(m_code->text(), QStringLiteral("A0012346"));
        QCOMPARE(m_name->text(), QStringLiteral("販売管理システム保守"));
    }

    void pickBeforeAnySearchDoesNothing()
    {
        MessageLog log;
        QVERIFY(open());
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        grid()->setFocus();
        QTest::keyClick(grid(), Qt::Key_Return);
        m_viewer->PickProject();
        QVERIFY(m_viewer->isVisible());
        QCOMPARE(m_viewer->result(), int(QDialog::Rejected));
        QCOMPARE(m_code->text(), QStringLiteral("OLD"));
        QCOMPARE(m_name->text(), QStringLiteral("前の名称"));
        QCOMPARE(log.count(), 0);
    }

    void nullNameIsListedAndPickedEmpty()
    {
        QVERIFY(open());
        search(QStringLiteral("N1"), QString());
        QCOMPARE(listed(grid()),
                 (QList<QStringList>{{QStringLiteral("1"), QStringLiteral("N1"), QString()}}));
        QTest::keyClick(grid(), Qt::Key_Return);
        QCOMPARE(m_code->text(), QStringLiteral("N1"));
        QCOMPARE(m_name->text(), QString());
    }

    void closingPicksNothing()
    {
        MessageLog log;
        QVERIFY(open());
        search(QStringLiteral("A*"), QString());
        QTest::mouseClick(m_viewer->cmdClose, Qt::LeftButton);
        QVERIFY(!m_viewer->isVisible());
        QCOMPARE(m_viewer->result(), int(QDialog::Rejected));
        // Escape closes it as 閉じる does.
        QVERIFY(open());
        search(QStringLiteral("A*"), QString());
        QTest::keyClick(grid(), Qt::Key_Escape);
        QVERIFY(!m_viewer->isVisible());
        QCOMPARE(m_viewer->result(), int(QDialog::Rejected));

        // Shown as the main window shows it: modal, and closed by the close box.
        m_viewer = std::make_unique<frmPJViewer>(m_code, m_name, m_host.get());
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            modal = QApplication::activeModalWidget() == m_viewer.get();
            search(QStringLiteral("A*"), QString());
            m_viewer->close();
            if (m_viewer->isVisible())
                m_viewer->done(-1); // still open: let the test fail, not hang
        });
        QCOMPARE(m_viewer->exec(), int(QDialog::Rejected));
        QVERIFY(modal);
        QVERIFY(!m_viewer->isVisible());
        QCOMPARE(m_viewer->result(), int(QDialog::Rejected));
        QCOMPARE(m_code->text(), QStringLiteral("OLD"));
        QCOMPARE(m_name->text(), QStringLiteral("前の名称"));
        QCOMPARE(log.count(), 0);
    }

    void storeFailureKeepsTheWindowUsable()
    {
        MessageLog log;
        QVERIFY(open());
        search(QStringLiteral("A001*"), QString());
        const QList<QStringList> before = listed(grid());

        globals::MdbPath = m_dir.filePath(QStringLiteral("missing.db"));
        search(QStringLiteral("*"), QString());
        QVERIFY(m_viewer->searchFailed());
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.last().kind, MessageKind::Critical);
        QCOMPARE(log.last().title, Caption);
        QVERIFY(!log.last().text.isEmpty() && log.last().text != NotFound);
        QCOMPARE(listed(grid()), before);
        QVERIFY(m_viewer->isVisible());
        QVERIFY(!QFile::exists(globals::MdbPath));

        // The database back in place: the same window searches again.
        globals::MdbPath = m_db;
        search(QStringLiteral("*"), QString());
        QVERIFY(!m_viewer->searchFailed());
        QCOMPARE(listedCodes(grid()), AllCodes);
    }

    // A long result is listed whole and numbered on past 32,767 (no 16-bit row counter), sized once and
    // filled while hidden.
    void longResultIsListedWholeInOneGo()
    {
        sql(m_db, QStringLiteral(
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32800) "
                      "INSERT INTO DM_PRJMST (PJCODE, PJNAME) SELECT printf('X%07d', i), 'P' || i FROM n"));
        QVERIFY(open());
        int resets = 0;
        int inserts = 0;
        bool shownWhileFilled = false;
        connect(grid()->model(), &QAbstractItemModel::modelReset, this, [&] {
            ++resets;
            shownWhileFilled = shownWhileFilled || grid()->isVisible();
        });
        connect(grid()->model(), &QAbstractItemModel::rowsInserted, this, [&] { ++inserts; });

        search(QStringLiteral("X*"), QString());
        QCOMPARE(resets, 1);
        QCOMPARE(inserts, 0);
        QVERIFY(!shownWhileFilled);
        QVERIFY(grid()->isVisible());
        QCOMPARE(grid()->rows(), 32801);
        QCOMPARE(grid()->textAt(32767, 0), QStringLiteral("32767"));
        QCOMPARE(grid()->textAt(32800, 0), QStringLiteral("32800"));
        QCOMPARE(grid()->textAt(32800, 1), QStringLiteral("X0032800"));
        QCOMPARE(grid()->textAt(32800, 2), QStringLiteral("P32800"));
    }

    void checkWarnsCodeFirstThenName()
    {
        MessageLog log;
        QVERIFY(open());
        const auto before = projects();

        update(QString(), QString());
        QCOMPARE(log.texts(), QStringList{QStringLiteral("PJコードは必須入力です。")});
        QCOMPARE(log.last().kind, MessageKind::Warning);
        QCOMPARE(log.last().title, Caption);
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));

        log.clear();
        update(QStringLiteral("  "), QStringLiteral("名称"));
        QCOMPARE(log.texts(), QStringList{QStringLiteral("PJコードは必須入力です。")});
        QCOMPARE(m_viewer->txtPJCODE->selectedText(), QStringLiteral("  "));

        log.clear();
        update(QStringLiteral("NEW1"), QStringLiteral(" 　 "));
        QCOMPARE(log.texts(), QStringList{QStringLiteral("PJ名称は必須入力です。")});
        QCOMPARE(log.last().kind, MessageKind::Warning);
        QCOMPARE(focusName(), QStringLiteral("txtPJNAME"));
        QCOMPARE(m_viewer->txtPJNAME->selectedText(), QStringLiteral(" 　 "));

        QCOMPARE(projects(), before);
        QCOMPARE(m_viewer->txtPJCODE->text(), QStringLiteral("NEW1"));
    }

    void answeringNoChangesNothing()
    {
        MessageLog log;
        log.answer(false);
        QVERIFY(open());
        const auto before = projects();
        update(QStringLiteral("A0012345"), QStringLiteral("改名"));
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.last().kind, MessageKind::Question);
        QCOMPARE(log.last().title, Caption);
        QCOMPARE(log.last().text, Confirm);
        QCOMPARE(projects(), before);
        QCOMPARE(m_viewer->txtPJNAME->text(), QStringLiteral("改名"));
    }

    void updateRows_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("changed"); // rowid written; 0: a new row; -1: nothing (the write fails)

        // Rows 1-5 are the demo projects, 6-8 the test's own, 9 shares its name with row 5.
        QTest::newRow("new code, new name") << "NEW00001" << QStringLiteral("新規PJ") << 0;
        QTest::newRow("code of A, new name") << "A0012345" << QStringLiteral("改名") << 1;
        QTest::newRow("new code, name of B") << "B0000009" << QStringLiteral("社内ネットワーク更改") << 3;
        QTest::newRow("new code, name of two") << "Z0000001" << QStringLiteral("社内業務") << 5;
        QTest::newRow("code and name of A") << "A0012345" << QStringLiteral("ワーベーン開発") << 1;
        QTest::newRow("code of A, name of a later B")
            << "A0012345" << QStringLiteral("販売管理システム保守") << 1;
        QTest::newRow("code of B, name of an earlier A")
            << "A0012346" << QStringLiteral("ワーベーン開発") << -1;
        QTest::newRow("code in blanks") << " E1 " << QStringLiteral("空白コード") << 0;
        QTest::newRow("quote in the code") << "Q'1" << QStringLiteral("引用符") << 7;
    }

    void updateRows()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(int, changed);
        sql(m_db,
            QStringLiteral(
                "INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES ('Z0000002', '社内業務', ?)"),
            {CreatedText});
        MessageLog log;
        log.answer(true);
        QVERIFY(open());
        const auto before = projects();

        update(code, name);

        QCOMPARE(log.count(), 2);
        QCOMPARE(log.messages().at(0).text, Confirm);
        QCOMPARE(log.last().title, Caption);
        QCOMPARE(log.last().kind, changed < 0 ? MessageKind::Critical : MessageKind::Information);
        QCOMPARE(log.last().text, changed < 0 ? UpdateFailed : Updated);
        QCOMPARE(m_viewer->txtPJCODE->text(), code);
        QCOMPARE(m_viewer->txtPJNAME->text(), name);
        QVERIFY(!QApplication::overrideCursor());

        auto expected = before;
        if (changed == 0) {
            expected << QVariantList{before.last().at(0).toLongLong() + 1, code, name, NowText, QVariant()};
        } else if (changed > 0) {
            QVariantList &row = expected[changed - 1];
            QCOMPARE(row.at(0).toInt(), changed);
            row[1] = code;
            row[2] = name;
            row[4] = NowText; // ENTYMD stays
        }
        const auto after = projects();
        QCOMPARE(after.size(), expected.size());
        for (int i = 0; i < after.size(); ++i) {
            QCOMPARE(after.at(i).at(0).toLongLong(), expected.at(i).at(0).toLongLong());
            for (int c = 1; c < 5; ++c) {
                QCOMPARE(after.at(i).at(c).isNull(), expected.at(i).at(c).isNull());
                QCOMPARE(after.at(i).at(c).toString(), expected.at(i).at(c).toString());
            }
        }
    }

    // The list goes on showing the last search; the hourglass is gone before each box is shown.
    void updateLeavesTheListAndRestoresThePointer()
    {
        QList<bool> busyAtMessage;
        MessagePresenter::setHandler([&](const MessageRequest &) {
            busyAtMessage << (QApplication::overrideCursor() != nullptr);
            return true;
        });
        QVERIFY(open());
        search(QStringLiteral("A0012345"), QString());
        const QList<QStringList> before = listed(grid());
        update(QStringLiteral("A0012345"), QStringLiteral("改名"));
        update(QStringLiteral("A0012346"), QStringLiteral("改名")); // the name is now A's: refused
        MessagePresenter::setHandler({});

        QCOMPARE(busyAtMessage, (QList<bool>{false, false, false, false}));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(listed(grid()), before);
        QCOMPARE(sql(m_db, QStringLiteral("SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = 'A0012345'"))
                     .first()
                     .first(),
                 QVariant(QStringLiteral("改名")));
    }
};

QTEST_MAIN(TestPJViewer)
#include "test_pjviewer.moc"
