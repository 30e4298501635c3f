// The grid over a work-item model: current cell and selection, what the two modes draw, keys and mouse,
// and columns that always fit the view.

#include "widgets/flexgrid.h"
#include "models/workitemmodel.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace worvane;

namespace
{

const QColor Cyan(157, 255, 255);

int countPixels(const QImage &image, const QRect &rect, const std::function<bool(QColor)> &test)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (test(image.pixelColor(x, y)))
                ++n;
        }
    }
    return n;
}

bool isDark(QColor c)
{
    return c.lightness() < 100;
}

// A grid over work items, laid out as the main window's list, in a shown, active dialog with a line edit
// after it in tab order and a default button.
struct Window {
    std::unique_ptr<QDialog> top{new QDialog};
    WorkItemModel *items = new WorkItemModel(top.get());
    FlexGrid *grid = new FlexGrid(top.get());
    QLineEdit *after = new QLineEdit(top.get());
    QPushButton *button = new QPushButton("OK", top.get());

    explicit Window(int count)
    {
        auto *layout = new QVBoxLayout(top.get());
        layout->addWidget(grid);
        layout->addWidget(after);
        layout->addWidget(button);
        button->setDefault(true);
        grid->setModel(items);
        grid->setColumnWidthsTwips({500, 4000});
        QList<WorkItem> list;
        for (int r = 1; r <= count; ++r)
            list.append({QString::number(r), QStringLiteral("作業%1").arg(r), QStringLiteral("内容%1").arg(r)});
        items->setItems(list);
        top->resize(700, 300);
        top->show();
        QApplication::setActiveWindow(top.get());
        if (!QTest::qWaitForWindowActive(top.get()))
            qFatal("window not active");
    }
    QRect cellRect(int row, int col) const { return grid->visualRect(items->index(row, col)); }
    QModelIndexList selected() const
    {
        QModelIndexList list = grid->selectionModel()->selectedIndexes();
        std::sort(list.begin(), list.end());
        return list;
    }
};

} // namespace

class TestFlexGrid : public QObject
{
    Q_OBJECT

private slots:
    // The current cell and the selection as the program sets them, and as the model's rows come and go.
    void currentCellFollowsTheProgramAndTheRows()
    {
        Window w(0);
        FlexGrid &grid = *w.grid;
        QCOMPARE(grid.currentRow(), -1);
        QCOMPARE(grid.currentColumn(), -1);
        grid.selectRow(0); // no rows: ignored
        QCOMPARE(grid.currentRow(), -1);

        w.items->setItems({{"1", "a", "x"}, {"2", "b", "y"}, {"3", "c", "z"}, {"4", "d", "w"}});
        grid.selectRow(1);
        QCOMPARE(grid.currentRow(), 1);
        QCOMPARE(grid.currentColumn(), 1);
        QCOMPARE(w.selected(), (QModelIndexList{w.items->index(1, 1), w.items->index(1, 2)}));

        grid.setCurrentCell(2, 0); // collapses the selection; the fixed column itself is never selected
        QCOMPARE(grid.currentRow(), 2);
        QCOMPARE(grid.currentColumn(), 0);
        QVERIFY(w.selected().isEmpty());
        grid.setCurrentCell(9, 1); // outside: ignored
        grid.setCurrentCell(1, 3);
        QCOMPARE(grid.currentRow(), 2);

        // Removing the current row leaves the row that moved up current, not the one above.
        grid.selectRow(1);
        w.items->remove(1);
        QCOMPARE(grid.currentRow(), 1);
        QCOMPARE(w.items->at(grid.currentRow()).code, QStringLiteral("3"));
        QCOMPARE(w.selected(), (QModelIndexList{w.items->index(1, 1), w.items->index(1, 2)}));
        // Past the end: clamped to the last row.
        grid.selectRow(2);
        w.items->remove(2);
        QCOMPARE(grid.currentRow(), 1);
        w.items->add({"9", "n", "m"});
        QCOMPARE(grid.currentRow(), 1);
        w.items->clear();
        QCOMPARE(grid.currentRow(), -1);
        QVERIFY(w.selected().isEmpty());
    }

    void userMovesTheCurrentCell()
    {
        Window w(3);
        FlexGrid &grid = *w.grid;
        grid.setCurrentCell(0, 1);

        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, w.cellRect(1, 2).center());
        QCOMPARE(grid.currentRow(), 1);
        QCOMPARE(grid.currentColumn(), 2);
        QVERIFY(grid.hasFocus());

        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(grid.currentRow(), 2);
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Left); // not into the fixed column
        QCOMPARE(grid.currentColumn(), 1);
        // Typed characters do not jump to another row starting with them.
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("作"));
        QApplication::sendEvent(&grid, &typed);
        QCOMPARE(grid.currentRow(), 2);

        // A click on the fixed column selects the row's cells.
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, w.cellRect(0, 0).center());
        QCOMPARE(grid.currentRow(), 0);
        QCOMPARE(grid.currentColumn(), 1);
        QCOMPARE(w.selected(), (QModelIndexList{w.items->index(0, 1), w.items->index(0, 2)}));

        // Tab leaves the grid instead of walking its cells.
        QTest::keyClick(&grid, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.after);
    }

    void enterAndDoubleClickAreTheGrids()
    {
        Window w(1);
        FlexGrid &grid = *w.grid;
        grid.setFocus();
        QList<int> codes;
        connect(&grid, &FlexGrid::keyPress, this, [&codes](int &code) { codes << code; });
        QSignalSpy clicked(w.button, &QPushButton::clicked);
        QSignalSpy doubled(&grid, &FlexGrid::dblClick);

        QTest::keyClick(&grid, Qt::Key_Return);
        QTest::keyClick(&grid, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(&grid, Qt::Key_A);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(codes, (QList<int>{13, 13, 'a'}));
        QCOMPARE(clicked.count(), 0); // Enter never reaches the default button
        QVERIFY(w.top->isVisible());

        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, w.cellRect(0, 1).center());
        QCOMPARE(doubled.count(), 1);
    }

    void modesChangeWhatIsDrawn()
    {
        Window w(2);
        FlexGrid &grid = *w.grid;
        w.items->setItems({{"1", "", ""}, {"2", "", ""}});
        grid.selectRow(0);
        const QRect current = w.cellRect(0, 1);
        const QRect other = w.cellRect(0, 2);
        const QRect unselected = w.cellRect(1, 2);
        const QRect topLine(current.left() + 2, current.top() + 1, current.width() - 4, 1);
        auto cyanIn = [](const QImage &image, const QRect &r) {
            return countPixels(image, r, [](QColor c) { return c == Cyan; });
        };

        // List mode: the selection is highlighted, focus or not; no focus rectangle.
        grid.setMode(FlexGrid::Mode::List);
        QCOMPARE(grid.mode(), FlexGrid::Mode::List);
        QImage image = grid.viewport()->grab().toImage();
        QVERIFY(cyanIn(image, current.adjusted(3, 3, -3, -3)) > current.width() * current.height() / 2);
        QVERIFY(cyanIn(image, other.adjusted(3, 3, -3, -3)) > other.width() * other.height() / 2);
        QCOMPARE(cyanIn(image, unselected), 0);
        QCOMPARE(countPixels(image, topLine, isDark), 0);
        // Black text on cyan, without the focus too.
        w.items->replace(0, {"1", "選択", ""});
        w.after->setFocus();
        image = grid.viewport()->grab().toImage();
        QVERIFY(cyanIn(image, current.adjusted(3, 3, -3, -3)) > 0);
        QVERIFY(countPixels(image, current, isDark) > 0);
        w.items->replace(0, {"1", "", ""});

        // Empty mode: no highlight anywhere, a dotted rectangle around the current cell only.
        grid.setMode(FlexGrid::Mode::Empty);
        image = grid.viewport()->grab().toImage();
        QCOMPARE(cyanIn(image, image.rect()), 0);
        QCOMPARE(image.pixelColor(current.center()), image.pixelColor(unselected.center()));
        const int dots = countPixels(image, topLine, isDark);
        QVERIFY(dots > topLine.width() / 4);
        QVERIFY(dots < topLine.width()); // dotted, not solid
        QCOMPARE(countPixels(image, QRect(other.left() + 2, other.top() + 1, other.width() - 4, 1), isDark), 0);

        // The fixed column is drawn like the header, not like a data cell.
        const QRect fixed = w.cellRect(0, 0);
        QVERIFY(image.pixelColor(fixed.left() + 3, fixed.top() + 3) !=
                image.pixelColor(current.left() + 3, current.top() + 3));
    }

    // The main window's list: 9210 x 2010 twips, 99 items. With the vertical scroll bar there is still no
    // horizontal one, and the number column never scrolls out of view.
    void columnsFitTheViewSoTheFixedColumnStays()
    {
        Window w(99);
        FlexGrid &grid = *w.grid;
        grid.setFixedSize(614, 134);
        QTest::qWait(0);
        QVERIFY(grid.verticalScrollBar()->isVisible());
        QCOMPARE(grid.columnWidth(0), 33); // 500 twips at 15 to a pixel
        QCOMPARE(grid.columnWidth(1), 267);
        grid.setCurrentCell(98, 2);
        QTest::keyClick(&grid, Qt::Key_Right);
        QTest::keyClick(&grid, Qt::Key_End);
        QCOMPARE(grid.horizontalScrollBar()->maximum(), 0);
        QVERIFY(!grid.horizontalScrollBar()->isVisible());
        QCOMPARE(grid.columnViewportPosition(0), 0);
        QTRY_COMPARE(grid.columnViewportPosition(2) + grid.columnWidth(2), grid.viewport()->width());
        // A reload keeps the widths.
        w.items->setItems({{"1", "a", "b"}});
        QCOMPARE(grid.columnWidth(1), 267);
        QTRY_COMPARE(grid.columnWidth(0) + grid.columnWidth(1) + grid.columnWidth(2), grid.viewport()->width());
    }
};

QTEST_MAIN(TestFlexGrid)
#include "test_flexgrid.moc"
