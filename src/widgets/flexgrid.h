#pragma once

#include <QTableView>

// The grid of the two lists (the work items of the main window, the projects of the project window):
// a view over a table model whose column 0 is the fixed column, drawn like the header and never
// selected. The header row is the model's horizontal header, so it stays in place while the rows
// scroll; the columns always fit the view (the last one takes what the others leave), so there is no
// horizontal scroll bar. Widths are given in twips (15 to a pixel).

namespace worvane
{

class FlexGrid : public QTableView
{
    Q_OBJECT
public:
    static constexpr int TwipsPerPixel = 15;
    static constexpr QRgb SelectionColor = 0xFF9DFFFF; // RGB(157, 255, 255)

    // Empty mode while the list holds no rows: a light focus rectangle around the current cell, no
    // highlighted selection. List mode: no focus rectangle, the selection always highlighted (black on
    // RGB(157, 255, 255)), focus or not.
    enum class Mode { Empty, List };

    explicit FlexGrid(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;

    // The widths of the columns but the last, in twips; the last one fits the rest of the view.
    void setColumnWidthsTwips(const QList<int> &twips);

    // The current cell, in model rows and columns; -1 when there is none (no rows).
    int currentRow() const;
    int currentColumn() const;
    // Makes the cell current and collapses the selection to it. Out of range: ignored.
    void setCurrentCell(int row, int column);
    // Makes the row current and selects its cells after the fixed column (title and detail, code and
    // name), as the windows do after loading, adding and changing.
    void selectRow(int row);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

signals:
    void dblClick();
    // A key that types a character, with its code (13 for Enter). Enter stays in the grid: it never
    // reaches a dialog's default button.
    void keyPress(int &keyCode);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;

public:
    void keyboardSearch(const QString &search) override;

private:
    void fitLastColumn();
    void applyColumnWidths();
    // After the model changed its rows: the current row keeps its number, within the rows there are.
    void clampCurrent();
    // Puts the view's current index and selection where the grid's current cell and selection are.
    void showCurrent();
    void userMovedCurrent(const QModelIndex &current);

    Mode m_mode = Mode::Empty;
    QList<int> m_widthsTwips;
    int m_row = -1;
    int m_column = -1;
    int m_lastSelected = -1; // the last column of the selection, along the current row
    bool m_showing = false;
};

} // namespace worvane
