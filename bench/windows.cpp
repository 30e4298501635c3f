#include "windows.h"

#include "dataset.h"

#include "models/workitemmodel.h"
#include "plainwindow.h"
#include "report/frmworvane.h"
#include "store/open/openstore.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace bench
{

void waitForPaint(const PaintWatch &watch, int before)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (watch.count == before) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (Clock::now() > deadline)
            fail("the list was never painted");
    }
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void showWindow(QWidget *w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        fail("window not exposed");
    settle();
}

// What the program shows while it saves, writes the report or closes: its main window, here the plainest way
// (plainwindow.h), its table holding the day's items; shown and painted.
void showPlainMainWindow(QWidget &window, const Day &day)
{
    QStandardItemModel *model = PlainMainWindow(&window);
    for (const Item &item : day.items)
        model->appendRow({new QStandardItem(QString::fromStdString(item.code)),
                          new QStandardItem(QString::fromStdString(item.head)),
                          new QStandardItem(QString::fromStdString(item.detail))});
    showWindow(&window);
}

void loadBigDay(frmWorvane &w, Messages &messages)
{
    ControlOf<QLineEdit>(w, "txtPJCODE")->setText(QString::fromLatin1(Dataset::BigDayCode));
    ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromLatin1(Dataset::BigDayDate));
    QTest::mouseClick(ControlOf<QPushButton>(w, "cmdSerch"), Qt::LeftButton);
    messages.expectNone();
    const int rows = ControlOf<FlexGrid>(w, "fgdWKCONT")->model()->rowCount();
    if (rows != Dataset::BigDayItems)
        fail("the day did not load: " + std::to_string(rows) + " items");
}

void keyToGridPainted(frmWorvane &w, Messages &messages, int runs, Qt::Key key, const QString &grid)
{
    GridPaintWatch watch(grid);
    for (int run = 0; run <= runs; ++run) {
        watch.arm(run == runs);
        QWidget *target = w.focusWidget() ? w.focusWidget() : &w;
        const auto t0 = Clock::now();
        QTest::keyClick(target, key);
        if (!watch.painted)
            fail(grid.toStdString() + " was never painted");
        if (run > 0)
            sample(watch.paintedAt - t0);
        messages.expectNone();
        settle();
    }
    check(watch.grid);
}

// The texts a list holds from its first column on: the whole text of a work item, as shown otherwise.
std::string gridDigest(const FlexGrid *grid, int firstCol)
{
    const QAbstractItemModel *model = grid->model();
    const auto *items = qobject_cast<const WorkItemModel *>(model);
    unsigned long long h = Digest("");
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = firstCol; c < model->columnCount(); ++c) {
            QString text;
            if (items) {
                const WorkItem &item = items->at(r);
                text = c == WorkItemModel::Number  ? item.code
                       : c == WorkItemModel::Title ? item.head
                                                   : item.detail;
            } else {
                text = model->index(r, c).data().toString();
            }
            h = Digest(text.toStdString() + '\t', h);
        }
    }
    return std::to_string(model->rowCount()) + " rows " + hex(h);
}

Program::Program(const Child &c)
    : settings{QString::fromStdString(c.work + "/Worvane.ini"), QString::fromStdString(c.dataset),
               QString::fromLatin1(Dataset::BigDayCode), {}},
      store(OpenStore(settings.databasePath))
{
}

void Program::open(const std::string &db)
{
    settings.databasePath = QString::fromStdString(db);
    store = OpenStore(settings.databasePath);
}

} // namespace bench
