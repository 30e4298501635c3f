#pragma once

#include <QList>
#include <QStringList>
#include <QTableView>

// The grid of the two lists (the work items of the main window, the projects of the project window):
// a rectangle of text cells under a QTableView, reached as the windows reach it: through the current
// row and column.
//
// Row 0 is the header row: it is drawn by the horizontal header, so it stays in place while the rows
// scroll. Column 0 is the fixed column: drawn like a header, never selected. Item rows are 1..rows()-1.
// Widths are in twips (15 to a pixel).

namespace worvane
{

class FlexGridModel;

class FlexGrid : public QTableView
{
    Q_OBJECT
public:
    // Values of setCellAlignment.
    enum Alignment {
        AlignLeftTop = 0,
        AlignLeftCenter = 1,
        AlignLeftBottom = 2,
        AlignCenterTop = 3,
        AlignCenterCenter = 4,
        AlignCenterBottom = 5,
        AlignRightTop = 6,
        AlignRightCenter = 7,
        AlignRightBottom = 8,
        AlignGeneral = 9,
    };
    static constexpr int TwipsPerPixel = 15;
    static constexpr QRgb SelectionColor = 0xFF9DFFFF; // RGB(157, 255, 255)

    explicit FlexGrid(QWidget *parent = nullptr);
    ~FlexGrid() override;

    // Row count, header row included (at least 1). Fewer drops rows at the end, more adds empty rows.
    int rows() const;
    void setRows(int count);
    // Column count, fixed column included (at least 1).
    int cols() const;
    void setCols(int count);

    // The current cell. Setting either collapses the selection to the current cell. A number outside
    // the grid is ignored.
    int row() const { return m_row; }
    void setRow(int row);
    int col() const { return m_col; }
    void setCol(int col);
    // Last column of the selection, which runs along the current row from the current column.
    int colSel() const { return m_colSel; }
    void setColSel(int col);

    // Text of the current cell; on row 0 the header text of the current column.
    QString text() const;
    void setText(const QString &text);
    QString textAt(int row, int col) const;

    // The last column's width is what the other columns leave of the view, so that the columns always
    // fit it: a width set for it is overridden.
    void setColWidth(int col, int twips);
    int colWidth(int col) const;

    // Alignment of the current cell (Alignment values; 4 centres it both ways).
    int cellAlignment() const;
    void setCellAlignment(int alignment);

    // 0: no focus rectangle; 1: a light (dotted) rectangle around the current cell.
    int focusRect() const { return m_focusRect; }
    void setFocusRect(int style);
    // 0: the selection is never highlighted; 1: always (black on RGB(157, 255, 255)), focus or not.
    int highLight() const { return m_highLight; }
    void setHighLight(int style);

    // Removes an item row; the rows below move up by one. Row 0 and numbers outside the grid are ignored.
    void removeItem(int row);

    // Replaces every item row by the given rows in one model reset (rows() becomes 1 + rows.size()); the
    // header row stays. Rows are cut or padded to cols() cells.
    void fillRows(const QList<QStringList> &rows);

signals:
    void dblClick();
    // A key that types a character, with its code (13 for Enter).
    void keyPress(int &keyCode);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;

public:
    void keyboardSearch(const QString &search) override;

private:
    void clampCurrent();
    void fitLastColumn();
    void showCurrent();

    FlexGridModel *m_model;
    int m_row = 0;
    int m_col = 0;
    int m_colSel = 0;
    int m_focusRect = 1;
    int m_highLight = 1;
    bool m_showing = false;
};

} // namespace worvane
