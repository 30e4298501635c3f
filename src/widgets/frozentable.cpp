#include "widgets/frozentable.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QScrollBar>

namespace worvane
{

FrozenTableView::FrozenTableView(QWidget *parent) : QTableView(parent)
{
    // By the pixel: what scrolls under a frozen part meets its edge exactly.
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
}

void FrozenTableView::setFrozen(int leftColumns, int rightColumns, int bottomRows)
{
    m_left = leftColumns;
    m_right = rightColumns;
    m_bottom = bottomRows;
    for (int p = 0; p < PartCount; ++p)
        if (!m_parts[p])
            m_parts[p] = makePart(Part(p));
    // Bottom above the sides, the corners above all.
    for (const Part p : {Left, Right, Bottom, BottomLeft, BottomRight})
        m_parts[p]->raise();
    connect(model(), &QAbstractItemModel::modelReset, this, &FrozenTableView::shapeParts);
    connect(model(), &QAbstractItemModel::layoutChanged, this, &FrozenTableView::shapeParts);
    // A column's width goes to the parts that show it.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        for (QTableView *part : m_parts)
            if (!part->isColumnHidden(column))
                part->setColumnWidth(column, size);
        placeParts();
    });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int row, int, int size) {
        for (QTableView *part : m_parts)
            if (!part->isRowHidden(row))
                part->setRowHeight(row, size);
        placeParts();
    });
    shapeParts();
}

QTableView *FrozenTableView::makePart(Part part)
{
    auto *view = new QTableView(this);
    view->setModel(model());
    view->setSelectionModel(selectionModel());
    view->setItemDelegate(itemDelegate());
    view->setFocusPolicy(Qt::NoFocus);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollMode(ScrollPerPixel);
    view->setVerticalScrollMode(ScrollPerPixel);
    view->setSelectionMode(selectionMode());
    view->setSelectionBehavior(selectionBehavior());
    view->setEditTriggers(editTriggers());
    view->setWordWrap(wordWrap());
    view->setTextElideMode(textElideMode());
    view->setShowGrid(showGrid());
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    view->horizontalHeader()->setHighlightSections(horizontalHeader()->highlightSections());
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    if (part == Bottom || part == BottomLeft || part == BottomRight)
        view->horizontalHeader()->hide();
    // The sides scroll up and down with the table, the bottom rows sideways; a wheel over a part
    // scrolls the table.
    if (part == Left || part == Right) {
        connect(verticalScrollBar(), &QScrollBar::valueChanged, view->verticalScrollBar(), &QScrollBar::setValue);
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(), &QScrollBar::setValue);
    }
    if (part == Bottom) {
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, view->horizontalScrollBar(),
                &QScrollBar::setValue);
        connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, horizontalScrollBar(),
                &QScrollBar::setValue);
    }
    // The keys stay with the table.
    connect(view, &QTableView::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
    connect(view, &QTableView::clicked, this, &QTableView::clicked);
    connect(view, &QTableView::doubleClicked, this, &QTableView::doubleClicked);
    connect(view, &QTableView::activated, this, &QTableView::activated);
    view->show();
    return view;
}

bool FrozenTableView::frozenColumn(int column) const
{
    return column < m_left || column >= model()->columnCount() - m_right;
}

bool FrozenTableView::frozenRow(int row) const
{
    return row >= model()->rowCount() - m_bottom;
}

void FrozenTableView::shapeParts()
{
    if (!m_parts[Left])
        return;
    const int columns = model()->columnCount(), rows = model()->rowCount();
    for (int p = 0; p < PartCount; ++p) {
        QTableView *part = m_parts[p];
        const bool leftOnly = p == Left || p == BottomLeft, rightOnly = p == Right || p == BottomRight;
        const bool bottomOnly = p == Bottom || p == BottomLeft || p == BottomRight;
        for (int c = 0; c < columns; ++c) {
            const bool hidden = (leftOnly && c >= m_left) || (rightOnly && c < columns - m_right);
            if (part->isColumnHidden(c) != hidden)
                part->setColumnHidden(c, hidden);
            if (!hidden && part->columnWidth(c) != columnWidth(c))
                part->setColumnWidth(c, columnWidth(c));
        }
        for (int r = 0; r < rows; ++r) {
            const bool hidden = bottomOnly && r < rows - m_bottom;
            if (part->isRowHidden(r) != hidden)
                part->setRowHidden(r, hidden);
            if (!hidden && part->rowHeight(r) != rowHeight(r))
                part->setRowHeight(r, rowHeight(r));
        }
        part->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    }
    placeParts();
}

int FrozenTableView::leftWidth() const
{
    int width = 0;
    for (int c = 0; c < std::min(m_left, model()->columnCount()); ++c)
        width += columnWidth(c);
    return width;
}

int FrozenTableView::rightWidth() const
{
    int width = 0;
    for (int c = std::max(0, model()->columnCount() - m_right); c < model()->columnCount(); ++c)
        width += columnWidth(c);
    return width;
}

int FrozenTableView::bottomHeight() const
{
    int height = 0;
    for (int r = std::max(0, model()->rowCount() - m_bottom); r < model()->rowCount(); ++r)
        height += rowHeight(r);
    return height;
}

void FrozenTableView::placeParts()
{
    if (!m_parts[Left])
        return;
    const QRect area = viewport()->geometry();
    const int header = horizontalHeader()->isVisible() ? horizontalHeader()->height() : 0;
    const int leftW = std::min(leftWidth(), area.width()), rightW = rightWidth(), bottomH = bottomHeight();
    // Where the table itself has the right columns and bottom rows, when they fit; else at its edge.
    const int columns = model()->columnCount(), rows = model()->rowCount();
    const int rightX =
        columns > m_right ? std::min(columnViewportPosition(columns - m_right), area.width() - rightW) : 0;
    const int bottomY = rows > m_bottom ? std::min(rowViewportPosition(rows - m_bottom), area.height() - bottomH) : 0;
    const int top = area.top() - header;
    m_parts[Left]->setGeometry(area.left(), top, leftW, header + area.height());
    m_parts[Right]->setGeometry(area.left() + rightX, top, rightW, header + area.height());
    m_parts[Bottom]->setGeometry(area.left(), area.top() + bottomY, area.width(), bottomH);
    m_parts[BottomLeft]->setGeometry(area.left(), area.top() + bottomY, leftW, bottomH);
    m_parts[BottomRight]->setGeometry(area.left() + rightX, area.top() + bottomY, rightW, bottomH);
    for (const Part p : {Left, Right})
        m_parts[p]->verticalScrollBar()->setValue(verticalScrollBar()->value());
    m_parts[Bottom]->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
}

void FrozenTableView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    // A cell of a frozen part is in view already: the table does not scroll for it that way.
    const int across = horizontalScrollBar()->value(), down = verticalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!index.isValid() || !m_parts[Left])
        return;
    const QRect area = viewport()->rect();
    if (frozenColumn(index.column())) {
        horizontalScrollBar()->setValue(across);
    } else {
        // Out from under the frozen columns.
        const int x = columnViewportPosition(index.column()), w = columnWidth(index.column());
        const int leftEdge = leftWidth(), rightEdge = area.width() - rightWidth();
        if (x < leftEdge)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (leftEdge - x));
        else if (x + w > rightEdge)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + std::min(x + w - rightEdge, x - leftEdge));
    }
    if (frozenRow(index.row())) {
        verticalScrollBar()->setValue(down);
    } else {
        const int y = rowViewportPosition(index.row()), h = rowHeight(index.row());
        const int bottomEdge = area.height() - bottomHeight();
        if (y + h > bottomEdge)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + std::min(y + h - bottomEdge, y));
    }
}

void FrozenTableView::paintEvent(QPaintEvent *event)
{
    // What a frozen part covers is not painted under it.
    QRegion region = event->region();
    if (m_parts[Left])
        for (const QTableView *part : m_parts)
            if (part->isVisible())
                region -= QRect(viewport()->mapFrom(this, part->geometry().topLeft()), part->size());
    QPaintEvent uncovered(region);
    QTableView::paintEvent(&uncovered);
}

void FrozenTableView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    placeParts();
}

void FrozenTableView::updateGeometries()
{
    QTableView::updateGeometries();
    placeParts();
}

} // namespace worvane
