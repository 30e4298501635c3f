// The grid under its view: rows and header, current cell and selection, the two display modes as they
// are drawn, keys and mouse, and the bulk fill.

#include "common/flexgrid.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace worvane;

namespace
{

const QColor Cyan(157, 255, 255);

// The work-item list as the main window lays it out: three columns, centred titles, 500/4000/4600 twips.
void layOut(FlexGrid &grid)
{
    grid.setRows(1);
    grid.setCols(3);
    grid.setRow(0);
    const int widths[] = {500, 4000, 4600};
    const char *titles[] = {"項目", "作業項目", "作業内容"};
    for (int c = 0; c < 3; ++c) {
        grid.setColWidth(c, widths[c]);
        grid.setCol(c);
        grid.setText(QString::fromUtf8(titles[c]));
        grid.setCellAlignment(FlexGrid::AlignCenterCenter);
    }
}

void addItem(FlexGrid &grid, const QString &number, const QString &title, const QString &detail)
{
    grid.setRows(grid.rows() + 1);
    grid.setRow(grid.rows() - 1);
    const QString texts[] = {number, title, detail};
    for (int c = 0; c < 3; ++c) {
        grid.setCol(c);
        grid.setText(texts[c]);
    }
}

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

// A grid in a shown, active window, with a line edit after it in tab order.
struct Window {
    std::unique_ptr<QDialog> top{new QDialog};
    FlexGrid *grid = new FlexGrid(top.get());
    QLineEdit *after = new QLineEdit(top.get());
    QPushButton *button = new QPushButton("OK", top.get());

    Window()
    {
        auto *layout = new QVBoxLayout(top.get());
        layout->addWidget(grid);
        layout->addWidget(after);
        layout->addWidget(button);
        button->setDefault(true);
        top->resize(700, 300);
        layOut(*grid);
        top->show();
        QApplication::setActiveWindow(top.get());
        if (!QTest::qWaitForWindowActive(top.get()))
            qFatal("window not active");
    }
    QRect cellRect(int row, int col) const { return grid->visualRect(grid->model()->index(row - 1, col)); }
};

} // namespace

class TestFlexGrid : public QObject
{
    Q_OBJECT

private slots:
    void rowsOneKeepsHeader();
    void removeItemMovesRowsUp();
    void currentCellAndSelection();
    void userMovesCurrentCell();
    void enterAndDoubleClick();
    void modesChangeWhatIsDrawn();
    void multiLineCell();
    void bulkFillIsOneReset();
    void columnsFitTheViewSoTheFixedColumnStays();
};

void TestFlexGrid::rowsOneKeepsHeader()
{
    FlexGrid grid;
    layOut(grid);
    addItem(grid, "1", "a", "x");
    addItem(grid, "2", "b", "y");
    QCOMPARE(grid.rows(), 3);
    grid.setRows(1);
    QCOMPARE(grid.rows(), 1);
    QCOMPARE(grid.model()->rowCount(), 0);
    QCOMPARE(grid.row(), 0);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(grid.textAt(0, c), grid.model()->headerData(c, Qt::Horizontal).toString());
        QCOMPARE(grid.model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignCenter);
    }
    QCOMPARE(grid.textAt(0, 1), QStringLiteral("作業項目"));
    QCOMPARE(grid.columnWidth(1), 267); // 4000 twips at 15 to a pixel

    // Rows added again are empty, not the dropped ones come back.
    grid.setRows(3);
    QCOMPARE(grid.textAt(1, 1), QString());
    QCOMPARE(grid.textAt(2, 2), QString());
    grid.setRows(0); // the header row cannot go
    QCOMPARE(grid.rows(), 1);
    QCOMPARE(grid.textAt(0, 2), QStringLiteral("作業内容"));
}

void TestFlexGrid::removeItemMovesRowsUp()
{
    FlexGrid grid;
    layOut(grid);
    addItem(grid, "1", "a", "x");
    addItem(grid, "2", "b", "y");
    addItem(grid, "3", "c", "z");
    QCOMPARE(grid.rows(), 4);
    grid.setRow(3);
    grid.removeItem(2);
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(grid.textAt(1, 0), QStringLiteral("1"));
    QCOMPARE(grid.textAt(2, 0), QStringLiteral("3"));
    QCOMPARE(grid.textAt(2, 2), QStringLiteral("z"));
    QCOMPARE(grid.row(), 2); // the current row was past the end
    grid.removeItem(0);
    grid.removeItem(3);
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(grid.textAt(0, 1), QStringLiteral("作業項目"));
}

void TestFlexGrid::currentCellAndSelection()
{
    FlexGrid grid;
    layOut(grid);
    addItem(grid, "1", "a", "x");
    addItem(grid, "2", "b", "y");
    auto *model = grid.model();
    auto selected = [&] {
        QModelIndexList list = grid.selectionModel()->selectedIndexes();
        std::sort(list.begin(), list.end());
        return list;
    };

    grid.setRow(1);
    grid.setCol(1);
    grid.setColSel(2);
    QCOMPARE(selected(), (QModelIndexList{model->index(0, 1), model->index(0, 2)}));
    QCOMPARE(grid.text(), QStringLiteral("a"));

    grid.setRow(2); // collapses to the current cell
    QCOMPARE(selected(), QModelIndexList{model->index(1, 1)});
    QCOMPARE(grid.text(), QStringLiteral("b"));

    grid.setCol(0); // the fixed column is never selected
    QCOMPARE(grid.text(), QStringLiteral("2"));
    QVERIFY(!grid.selectionModel()->isSelected(model->index(1, 0)));
    QVERIFY(!(model->flags(model->index(1, 0)) & Qt::ItemIsSelectable));

    grid.setRow(5); // outside: ignored
    QCOMPARE(grid.row(), 2);
}

void TestFlexGrid::userMovesCurrentCell()
{
    Window w;
    FlexGrid &grid = *w.grid;
    addItem(grid, "1", "a", "x");
    addItem(grid, "2", "b", "y");
    addItem(grid, "3", "c", "z");
    grid.setRow(1);
    grid.setCol(1);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, w.cellRect(2, 2).center());
    QCOMPARE(grid.row(), 2);
    QCOMPARE(grid.col(), 2);
    QCOMPARE(grid.text(), QStringLiteral("y"));
    QVERIFY(grid.hasFocus());

    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.row(), 3);
    QTest::keyClick(&grid, Qt::Key_Left);
    QTest::keyClick(&grid, Qt::Key_Left); // not into the fixed column
    QCOMPARE(grid.col(), 1);

    // A click on the fixed column selects the row's cells.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, w.cellRect(1, 0).center());
    QCOMPARE(grid.row(), 1);
    QCOMPARE(grid.col(), 1);
    QCOMPARE(grid.colSel(), 2);

    // Tab leaves the grid instead of walking its cells.
    QTest::keyClick(&grid, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.after);
}

void TestFlexGrid::enterAndDoubleClick()
{
    Window w;
    FlexGrid &grid = *w.grid;
    addItem(grid, "1", "a", "x");
    grid.setFocus();
    QList<int> codes;
    connect(&grid, &FlexGrid::keyPress, this, [&codes](int &code) { codes << code; });
    QSignalSpy clicked(w.button, &QPushButton::clicked);
    QSignalSpy doubled(&grid, &FlexGrid::dblClick);

    QTest::keyClick(&grid, Qt::Key_Return);
    QTest::keyClick(&grid, Qt::Key_A);
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(codes, (QList<int>{13, 'a'}));
    QCOMPARE(clicked.count(), 0); // Enter stays with the grid
    QVERIFY(w.top->isVisible());

    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, w.cellRect(1, 1).center());
    QCOMPARE(doubled.count(), 1);
}

void TestFlexGrid::modesChangeWhatIsDrawn()
{
    Window w;
    FlexGrid &grid = *w.grid;
    addItem(grid, "1", "", "");
    addItem(grid, "2", "", "");
    grid.setRow(1);
    grid.setCol(1);
    grid.setColSel(2);
    const QRect current = w.cellRect(1, 1);
    const QRect other = w.cellRect(1, 2);
    const QRect topLine(current.left() + 2, current.top() + 1, current.width() - 4, 1);
    auto cyanIn = [&](const QImage &image, const QRect &r) {
        return countPixels(image, r, [](QColor c) { return c == Cyan; });
    };

    // List mode: the selection is highlighted, no focus rectangle.
    grid.setFocusRect(0);
    grid.setHighLight(1);
    QImage image = grid.viewport()->grab().toImage();
    QVERIFY(cyanIn(image, current.adjusted(3, 3, -3, -3)) > current.width() * current.height() / 2);
    QVERIFY(cyanIn(image, other.adjusted(3, 3, -3, -3)) > other.width() * other.height() / 2);
    QCOMPARE(countPixels(image, topLine, isDark), 0);

    // Selected cells are black on cyan, with or without the focus.
    grid.setText("選択");
    w.after->setFocus();
    image = grid.viewport()->grab().toImage();
    QVERIFY(cyanIn(image, current.adjusted(3, 3, -3, -3)) > 0);
    QVERIFY(countPixels(image, current, isDark) > 0);
    grid.setText("");

    // Empty mode: no highlight anywhere, a dotted rectangle around the current cell.
    grid.setFocusRect(1);
    grid.setHighLight(0);
    image = grid.viewport()->grab().toImage();
    QCOMPARE(cyanIn(image, image.rect()), 0);
    const QRect unselected = w.cellRect(2, 2);
    QCOMPARE(image.pixelColor(other.center()), image.pixelColor(unselected.center()));
    QCOMPARE(image.pixelColor(current.center()), image.pixelColor(unselected.center()));
    const int dots = countPixels(image, topLine, isDark);
    QVERIFY(dots > topLine.width() / 4);
    QVERIFY(dots < topLine.width()); // dotted, not solid
    QCOMPARE(countPixels(image, QRect(other.left() + 2, other.top() + 1, other.width() - 4, 1), isDark), 0);

    // The fixed column is drawn like the header, not like a data cell.
    const QRect fixed = w.cellRect(1, 0);
    const QColor fixedColour = image.pixelColor(fixed.left() + 3, fixed.top() + 3);
    QVERIFY(fixedColour != image.pixelColor(current.left() + 3, current.top() + 3));
}

void TestFlexGrid::multiLineCell()
{
    FlexGrid grid;
    layOut(grid);
    const QString detail = QStringLiteral("一行目\r\n二行目\r\n三行目");
    addItem(grid, "1", "title", detail);
    QCOMPARE(grid.textAt(1, 2), detail);
    grid.setRow(1);
    grid.setCol(2);
    QCOMPARE(grid.text(), detail);
    const QModelIndex cell = grid.model()->index(0, 2);
    QCOMPARE(cell.data(Qt::DisplayRole).toString(), QStringLiteral("一行目…"));
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QStringLiteral("一行目\n二行目\n三行目"));
    QCOMPARE(grid.model()->index(0, 1).data(Qt::DisplayRole).toString(), QStringLiteral("title"));
}

void TestFlexGrid::bulkFillIsOneReset()
{
    Window w;
    FlexGrid &grid = *w.grid;
    addItem(grid, "old", "old", "old");
    QList<QStringList> rows;
    rows.reserve(32766);
    for (int r = 1; r <= 32766; ++r)
        rows.append({QString::number(r), QStringLiteral("PJ%1").arg(r, 5, 10, QLatin1Char('0')),
                     QStringLiteral("プロジェクト名称%1").arg(r)});
    auto *model = grid.model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

    grid.setVisible(false);
    QElapsedTimer timer;
    timer.start();
    grid.fillRows(rows);
    const qint64 fillMs = timer.elapsed();
    grid.setFocusRect(0);
    grid.setHighLight(1);
    grid.setRow(1);
    grid.setCol(1);
    grid.setColSel(2);
    grid.setVisible(true);
    grid.viewport()->grab();
    qInfo("32,766-row fill: %lld ms; with selection and first paint: %lld ms", fillMs,
          qint64(timer.elapsed()));

    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(grid.rows(), 32767);
    QCOMPARE(grid.textAt(0, 1), QStringLiteral("作業項目"));
    QCOMPARE(grid.textAt(1, 1), QStringLiteral("PJ00001"));
    QCOMPARE(grid.textAt(32766, 2), QStringLiteral("プロジェクト名称32766"));
    QCOMPARE(grid.selectionModel()->selectedIndexes().size(), 2);
    QVERIFY(fillMs < 2000);
}

void TestFlexGrid::columnsFitTheViewSoTheFixedColumnStays()
{
    Window w;
    FlexGrid &grid = *w.grid;
    grid.setFixedSize(614, 134); // the main window's list: 9210 x 2010 twips, 500 + 4000 + 4600 of columns
    for (int r = 1; r <= 99; ++r)
        addItem(grid, QString::number(r), QStringLiteral("作業%1").arg(r), QStringLiteral("内容%1").arg(r));
    QTest::qWait(0);
    QVERIFY(grid.verticalScrollBar()->isVisible());
    grid.setRow(99);
    grid.setCol(2);
    QTest::keyClick(&grid, Qt::Key_Right);
    QCOMPARE(grid.horizontalScrollBar()->maximum(), 0);
    QVERIFY(!grid.horizontalScrollBar()->isVisible());
    QCOMPARE(grid.columnViewportPosition(0), 0); // the numbers stay in view
    QTRY_COMPARE(grid.columnViewportPosition(2) + grid.columnWidth(2), grid.viewport()->width());
}

QTEST_MAIN(TestFlexGrid)
#include "test_flexgrid.moc"
