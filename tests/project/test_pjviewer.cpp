// The project window's flows, on a real database file: search and pick, a search that finds nothing, the
// update with its checks and question, closing without a pick, and a database that cannot be read. The
// search patterns and the update rule themselves are the store's and tested there.

#include "widgets/bytelimit.h"
#include "core/clock.h"
#include "widgets/flexgrid.h"
#include "project/frmpjviewer.h"
#include "core/messages.h"
#include "store/open/openstore.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace worvane;
using worvane::test::MessageLog;
using worvane::test::sql;

namespace
{
const QDateTime Now(QDate(2024, 3, 1), QTime(18, 30, 5));

// Every project in code order after init(): the demo projects and two of the test's own.
const QStringList AllCodes = {QStringLiteral(" SP1"),     QStringLiteral("A0012345"), QStringLiteral("A0012346"),
                              QStringLiteral("B0000001"), QStringLiteral("C1000010"), QStringLiteral("N1"),
                              QStringLiteral("Z9999999")};

QString focusName()
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}

// The window's controls, found by name.
struct Controls {
    QLineEdit *code;
    QLineEdit *name;
    QPushButton *search;
    QPushButton *update;
    QPushButton *close;
    FlexGrid *list;

    explicit Controls(const frmPJViewer &w)
        : code(w.findChild<QLineEdit *>(QStringLiteral("txtPJCODE"))),
          name(w.findChild<QLineEdit *>(QStringLiteral("txtPJNAME"))),
          search(w.findChild<QPushButton *>(QStringLiteral("cmdSerch"))),
          update(w.findChild<QPushButton *>(QStringLiteral("cmdUpdate"))),
          close(w.findChild<QPushButton *>(QStringLiteral("cmdClose"))),
          list(w.findChild<FlexGrid *>(QStringLiteral("fgdPRJMST")))
    {
    }

    void type(const QString &c, const QString &n) const
    {
        code->setText(c);
        name->setText(n);
    }

    // The listed projects as "number|code|name".
    QStringList listed() const
    {
        const QAbstractItemModel *m = list->model();
        QStringList rows;
        for (int r = 0; r < m->rowCount(); ++r)
            rows << QStringList{m->index(r, 0).data().toString(), m->index(r, 1).data().toString(),
                                m->index(r, 2).data().toString()}
                        .join(QLatin1Char('|'));
        return rows;
    }

    QStringList codes() const
    {
        QStringList result;
        for (const QString &row : listed())
            result << row.section(QLatin1Char('|'), 1, 1);
        return result;
    }
};
} // namespace

class TestPJViewer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<Store> m_store; // the program's store of m_db
    std::unique_ptr<Store> m_other; // of another path, when a test opens one
    std::unique_ptr<QWidget> m_host; // the main window's place
    std::unique_ptr<frmPJViewer> m_viewer;

    Controls open(const QString &path = QString())
    {
        if (!path.isEmpty())
            m_other = OpenStore(path);
        m_viewer = std::make_unique<frmPJViewer>(path.isEmpty() ? *m_store : *m_other, m_host.get());
        m_viewer->show();
        if (!QTest::qWaitForWindowActive(m_viewer.get()))
            qFatal("project window not active");
        return Controls(*m_viewer);
    }

    QList<QVariantList> projects() const
    {
        return sql(m_db, QStringLiteral("SELECT PJCODE, PJNAME, UPDYMD FROM DM_PRJMST ORDER BY rowid"));
    }

private slots:
    void init()
    {
        m_db = m_dir.filePath(QStringLiteral("%1.db").arg(QTest::currentTestFunction()));
        QFile::remove(m_db);
        test::makeDatabase(m_db, true);
        m_store = OpenStore(m_db);
        sql(m_db, QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME) VALUES (' SP1', '空白付き'), ('N1', NULL)"));
        Clock::setFixed(Now);
        m_host = std::make_unique<QWidget>();
    }

    void cleanup()
    {
        m_viewer.reset();
        m_host.reset();
        Clock::clearFixed();
    }

    void opensEmptyAndNamed()
    {
        const Controls c = open();
        frmPJViewer &w = *m_viewer;
        QCOMPARE(w.windowTitle(), caption::Project);
        QCOMPARE(w.minimumSize(), w.maximumSize());
        for (const char *name : {"lblPJCode", "txtPJCODE", "lblPJNAME", "txtPJNAME", "cmdSerch", "cmdUpdate",
                                 "fgdPRJMST", "cmdClose"})
            QVERIFY2(w.findChild<QWidget *>(QLatin1String(name)), name);
        for (QWidget *control : std::initializer_list<QWidget *>{c.code, c.name, c.search, c.update, c.list, c.close})
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        // 8 half-width bytes for the code, Japanese input for the name.
        QCOMPARE(ByteLimit(c.code), 8);
        QVERIFY(!c.code->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(c.name->testAttribute(Qt::WA_InputMethodEnabled));
        // Empty fields, an empty list in empty mode, the focus on the code.
        QCOMPARE(c.code->text(), QString());
        QCOMPARE(c.list->model()->rowCount(), 0);
        QCOMPARE(c.list->mode(), FlexGrid::Mode::Empty);
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << focusName();
        }
        QCOMPARE(order, (QStringList{"txtPJNAME", "cmdSerch", "cmdUpdate", "fgdPRJMST", "cmdClose", "txtPJCODE"}));
    }

    // The keyboard path through pick(): code, Enter, name, Enter, Enter on 検索, Enter on the first result.
    void searchAndPickByKeyboard()
    {
        MessageLog log;
        QStringList listed;
        FlexGrid::Mode mode = FlexGrid::Mode::Empty;
        QString focusAfterSearch;
        int resets = 0;
        bool shownWhileFilled = true;
        QTimer::singleShot(0, this, [&] {
            auto *w = qobject_cast<frmPJViewer *>(QApplication::activeModalWidget());
            if (!w)
                return;
            const Controls c(*w);
            connect(c.list->model(), &QAbstractItemModel::modelReset, w, [&, c] {
                ++resets;
                shownWhileFilled = c.list->isVisible();
            });
            QTest::keyClicks(c.code, QStringLiteral("a*"));
            QTest::keyClick(c.code, Qt::Key_Return);
            QTRY_COMPARE(focusName(), QStringLiteral("txtPJNAME"));
            QTest::keyClicks(c.name, QStringLiteral("%"));
            QTest::keyClick(c.name, Qt::Key_Return);
            QTRY_COMPARE(focusName(), QStringLiteral("cmdSerch"));
            QTest::keyClick(c.search, Qt::Key_Return);
            listed = c.listed();
            mode = c.list->mode();
            focusAfterSearch = focusName();
            // The first result's code and name are selected: Enter picks it.
            QTest::keyClick(c.list, Qt::Key_Return);
            if (w->isVisible())
                w->reject(); // not picked: let the test fail, not hang
        });
        const std::optional<ProjectRow> picked = frmPJViewer::pick(*m_store, m_host.get());

        QCOMPARE(log.count(), 0);
        QCOMPARE(listed, (QStringList{"1|A0012345|ワーベーン開発", "2|A0012346|販売管理システム保守"}));
        QCOMPARE(mode, FlexGrid::Mode::List);
        QCOMPARE(focusAfterSearch, QStringLiteral("fgdPRJMST"));
        QCOMPARE(resets, 1);
        QVERIFY(!shownWhileFilled);
        QVERIFY(picked);
        QCOMPARE(*picked, (ProjectRow{"A0012345", "ワーベーン開発"}));
    }

    // Blank fields list everything; a code keeps its blanks; a double-click picks the row clicked, a
    // project without a name is picked with an empty one.
    void searchAndPickByMouse()
    {
        MessageLog log;
        const Controls c = open();
        c.type(QStringLiteral("  "), QStringLiteral(" 　"));
        c.search->click();
        QCOMPARE(c.codes(), AllCodes);
        QCOMPARE(c.listed().first(), QStringLiteral("1| SP1|空白付き"));
        QCOMPARE(c.list->currentRow(), 0);
        QCOMPARE(c.list->currentColumn(), 1);

        c.type(QStringLiteral(" SP1"), QString());
        c.search->click();
        QCOMPARE(c.codes(), QStringList{" SP1"});
        c.type(QStringLiteral("*1"), QString());
        c.search->click();
        QCOMPARE(c.codes(), (QStringList{" SP1", "B0000001", "N1"}));
        QCOMPARE(log.count(), 0);

        const QRect cell = c.list->visualRect(c.list->model()->index(2, 2));
        QTest::mouseDClick(c.list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(m_viewer->result(), int(QDialog::Accepted));
        QVERIFY(!m_viewer->isVisible());
        QCOMPARE(m_viewer->picked(), (ProjectRow{"N1", QString()}));
    }

    void nothingFoundKeepsTheEarlierList()
    {
        MessageLog log;
        const Controls c = open();
        // Before any search there is nothing to pick.
        c.list->setFocus();
        QTest::keyClick(c.list, Qt::Key_Return);
        QVERIFY(m_viewer->isVisible());

        c.type(QStringLiteral("A001*"), QString());
        c.search->click();
        const QStringList before = c.listed();
        QCOMPARE(before.size(), 2);
        QTest::keyClick(c.list, Qt::Key_Down);

        c.type(QStringLiteral("NONE"), QString());
        c.search->click();
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.last().kind, msg::NoProjectFound.kind);
        QCOMPARE(log.last().title, caption::Project);
        QCOMPARE(log.last().text, msg::NoProjectFound.text);
        QCOMPARE(c.listed(), before);
        QCOMPARE(c.list->mode(), FlexGrid::Mode::List);
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
        QCOMPARE(c.code->text(), QStringLiteral("NONE"));

        // The row moved to before is still the one Enter picks.
        c.list->setFocus();
        QTest::keyClick(c.list, Qt::Key_Return);
        QCOMPARE(m_viewer->picked(), (ProjectRow{"A0012346", "販売管理システム保守"}));
    }

    // Code first, then name, must be filled in; then the question; Yes writes and says so, a refused
    // write says that. The list keeps showing the last search; the hourglass is gone before each box.
    void updateChecksAsksAndWrites()
    {
        QList<MessageRequest> shown;
        QList<bool> answers{false, true, true};
        bool busyAtMessage = false;
        MessagePresenter::setHandler([&](const MessageRequest &request) {
            shown << request;
            busyAtMessage = busyAtMessage || QApplication::overrideCursor();
            return request.kind == MessageKind::Question && !answers.isEmpty() ? answers.takeFirst() : false;
        });
        const Controls c = open();
        c.type(QStringLiteral("A0012345"), QString());
        c.search->click();
        const QStringList listed = c.listed();
        const auto before = projects();

        c.type(QStringLiteral("  "), QStringLiteral("名称"));
        c.update->click();
        QCOMPARE(shown.last().text, msg::CodeRequired.text);
        QCOMPARE(shown.last().title, caption::Project);
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
        QCOMPARE(c.code->selectedText(), QStringLiteral("  "));

        c.type(QStringLiteral("NEW1"), QStringLiteral(" 　 "));
        c.update->click();
        QCOMPARE(shown.last().text, msg::ProjectNameRequired.text);
        QCOMPARE(focusName(), QStringLiteral("txtPJNAME"));
        QCOMPARE(c.name->selectedText(), QStringLiteral(" 　 "));
        QCOMPARE(shown.size(), 2);

        // No: nothing written.
        c.type(QStringLiteral("A0012345"), QStringLiteral("改名"));
        c.update->click();
        QCOMPARE(shown.last().kind, MessageKind::Question);
        QCOMPARE(shown.last().text, msg::ConfirmProjectUpdate.text);
        QCOMPARE(projects(), before);

        // Yes: written, as typed.
        c.update->click();
        QCOMPARE(shown.last().text, msg::ProjectUpdated.text);
        QCOMPARE(projects().at(0), (QVariantList{"A0012345", "改名", "2024/03/01 18:30:05"}));

        // A second project may not take the same code through a shared name: refused.
        c.type(QStringLiteral("A0012346"), QStringLiteral("改名"));
        c.update->click();
        QCOMPARE(shown.last().kind, MessageKind::Critical);
        QCOMPARE(shown.last().text, msg::ProjectUpdateFailed.text);
        MessagePresenter::setHandler({});

        QVERIFY(!busyAtMessage);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(c.listed(), listed);
        QCOMPARE(c.code->text(), QStringLiteral("A0012346"));
    }

    // 閉じる, Escape and the close box all leave without a pick.
    void closingPicksNothing()
    {
        MessageLog log;
        Controls c = open();
        c.type(QStringLiteral("A*"), QString());
        c.search->click();
        c.close->click();
        QVERIFY(!m_viewer->isVisible());
        QVERIFY(!m_viewer->picked());

        c = open();
        c.type(QStringLiteral("A*"), QString());
        c.search->click();
        QTest::keyClick(c.list, Qt::Key_Escape);
        QVERIFY(!m_viewer->isVisible());
        QVERIFY(!m_viewer->picked());

        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            auto *w = qobject_cast<frmPJViewer *>(QApplication::activeModalWidget());
            modal = w != nullptr;
            if (!w)
                return;
            const Controls shown(*w);
            shown.type(QStringLiteral("A*"), QString());
            shown.search->click();
            w->close();
            if (w->isVisible())
                w->done(-1); // still open: let the test fail, not hang
        });
        QVERIFY(!frmPJViewer::pick(*m_store, m_host.get()));
        QVERIFY(modal);
        QCOMPARE(log.count(), 0);
    }

    // A database that cannot be read: a stop box, the list as it was, the window still usable; the
    // missing file is never created.
    void aFailedSearchKeepsTheWindowUsable()
    {
        MessageLog log;
        const QString missing = m_dir.filePath(QStringLiteral("missing.db"));
        const Controls c = open(missing);
        c.type(QStringLiteral("*"), QString());
        c.search->click();
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.last().kind, MessageKind::Critical);
        QCOMPARE(log.last().title, caption::Project);
        QCOMPARE(log.last().text, msg::ProjectSearchFailed.text);
        QCOMPARE(c.list->model()->rowCount(), 0);
        QCOMPARE(focusName(), QStringLiteral("txtPJCODE"));
        QVERIFY(m_viewer->isVisible());
        QVERIFY(!QFile::exists(missing));

        QFile::copy(m_db, missing);
        c.search->click();
        QCOMPARE(log.count(), 1);
        QCOMPARE(c.codes(), AllCodes);
    }

    // A long list shows its first rows at once and the rest while the window takes keys; a new search
    // drops the old one's pages; a page that cannot be read stops the list with one stop box.
    void aLongListArrivesInPagesWhileTheWindowWorks()
    {
        constexpr int added = 40000, all = added + 7;
        sql(m_db, QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME) WITH RECURSIVE n(i) AS (SELECT 1 UNION "
                                 "ALL SELECT i + 1 FROM n WHERE i < %1) SELECT printf('L%05d', i), 'name' || i FROM n")
                      .arg(added));
        MessageLog log;
        const Controls c = open();
        const QAbstractItemModel *m = c.list->model();
        c.search->click();
        QVERIFY(m->rowCount() > 0 && m->rowCount() < all);
        QCOMPARE(focusName(), QStringLiteral("fgdPRJMST"));
        QTest::keyClick(c.list, Qt::Key_Down);
        QTRY_COMPARE(m->rowCount(), all);
        QCOMPARE(c.list->currentRow(), 1);
        const QStringList codes = c.codes();
        QCOMPARE(codes.mid(0, 3), AllCodes.mid(0, 3));
        QCOMPARE(codes.at(all - 1), QStringLiteral("Z9999999"));
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), all);
        QVERIFY(std::is_sorted(codes.begin(), codes.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        }));
        QCOMPARE(m->index(all - 1, 0).data().toString(), QString::number(all));

        c.search->click();
        c.type(QStringLiteral("A001*"), QString());
        c.search->click();
        QTest::qWait(200);
        QCOMPARE(c.codes(), AllCodes.mid(1, 2));

        c.type(QString(), QString());
        c.search->click();
        const int shown = m->rowCount();
        QVERIFY(QFile::rename(m_db, m_db + QStringLiteral(".away")));
        QTRY_COMPARE(log.count(), 1);
        QCOMPARE(log.last().text, msg::ProjectSearchFailed.text);
        QCOMPARE(m->rowCount(), shown);
        QVERIFY(m_viewer->isVisible());
    }
};

QTEST_MAIN(TestPJViewer)
#include "test_pjviewer.moc"
