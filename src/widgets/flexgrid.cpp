#include "widgets/flexgrid.h"

#include "widgets/fieldrules.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace worvane
{

namespace
{

// Draws the fixed column like the header, the selection in the grid's highlight colours (or not at all)
// and the light focus rectangle around the current cell.
class FlexGridDelegate : public QStyledItemDelegate
{
public:
    explicit FlexGridDelegate(FlexGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() == 0) {
            paintFixed(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.state &= ~QStyle::State_HasFocus;
        const bool selected = opt.state & QStyle::State_Selected;
        if (selected && m_grid->mode() == FlexGrid::Mode::List) {
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                opt.palette.setColor(group, QPalette::Highlight, QColor(FlexGrid::SelectionColor));
                opt.palette.setColor(group, QPalette::HighlightedText, Qt::black);
            }
            painter->fillRect(opt.rect, QColor(FlexGrid::SelectionColor));
        } else if (selected) {
            // The view has already laid the style's selection panel under the cell; cover it.
            opt.state &= ~QStyle::State_Selected;
            painter->fillRect(opt.rect, opt.backgroundBrush.style() != Qt::NoBrush ? opt.backgroundBrush
                                                                                   : opt.palette.base());
        }
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        if (m_grid->mode() == FlexGrid::Mode::Empty && index.row() == m_grid->currentRow() &&
            index.column() == m_grid->currentColumn()) {
            painter->save();
            painter->setPen(QPen(opt.palette.color(QPalette::Text), 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(opt.rect.adjusted(1, 1, -2, -2));
            painter->restore();
        }
    }

private:
    void paintFixed(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        const QHeaderView *header = m_grid->horizontalHeader();
        QStyleOptionHeader opt;
        opt.initFrom(header);
        opt.state = QStyle::State_Raised | (m_grid->isEnabled() ? QStyle::State_Enabled : QStyle::State_None);
        opt.rect = option.rect;
        opt.section = 0;
        opt.orientation = Qt::Vertical;
        opt.text = index.data(Qt::DisplayRole).toString();
        opt.textAlignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        opt.position = QStyleOptionHeader::Middle;
        opt.fontMetrics = option.fontMetrics;
        // The header style leaves a clip behind; the cells after this one must not inherit it.
        painter->save();
        header->style()->drawControl(QStyle::CE_Header, &opt, painter, header);
        painter->restore();
    }

    FlexGrid *m_grid;
};

} // namespace

FlexGrid::FlexGrid(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new FlexGridDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);

    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Highlight, QColor(SelectionColor));
        colours.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    setPalette(colours);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1); // column widths are the program's, whatever the font
    // The columns fit the view: the last one takes what the others and a vertical scroll bar leave, so
    // there is never a horizontal scroll bar and the fixed column never scrolls out of view.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalHeader()->setFixedHeight(fontMetrics().height() + 6);
}

void FlexGrid::setModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *old = this->model())
        disconnect(old, nullptr, this, nullptr);
    m_row = -1;
    m_column = -1;
    m_lastSelected = -1;
    if (model) {
        // Connected before the selection model's own handlers: while rows come and go, the current index
        // the selection model moves on its own is not the user's move.
        for (auto changing :
             {&QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsAboutToBeRemoved})
            connect(model, changing, this, [this] { m_showing = true; });
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_showing = true; });
    }
    QTableView::setModel(model);
    if (!model)
        return;
    // Connected after the selection model's own handlers, so the grid's rule for the current row wins.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        if (m_row >= first)
            m_row += last - first + 1;
        showCurrent();
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        clampCurrent();
        showCurrent();
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        clampCurrent();
        applyColumnWidths();
        showCurrent();
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &FlexGrid::userMovedCurrent);
    applyColumnWidths();
    showCurrent();
}

void FlexGrid::setColumnWidthsTwips(const QList<int> &twips)
{
    m_widthsTwips = twips;
    applyColumnWidths();
}

void FlexGrid::applyColumnWidths()
{
    if (!model())
        return;
    const int last = model()->columnCount() - 1;
    for (int c = 0; c < m_widthsTwips.size() && c < last; ++c)
        setColumnWidth(c, qRound(double(m_widthsTwips.at(c)) / TwipsPerPixel));
    fitLastColumn();
}

void FlexGrid::fitLastColumn()
{
    if (!model())
        return;
    const int last = model()->columnCount() - 1;
    if (last < 1)
        return;
    int others = 0;
    for (int c = 0; c < last; ++c)
        others += columnWidth(c);
    const int width = qMax(1, viewport()->width() - others);
    if (columnWidth(last) != width)
        setColumnWidth(last, width);
}

int FlexGrid::currentRow() const
{
    return m_row;
}

int FlexGrid::currentColumn() const
{
    return m_row < 0 ? -1 : m_column;
}

void FlexGrid::setCurrentCell(int row, int column)
{
    if (!model() || row < 0 || row >= model()->rowCount() || column < 0 || column >= model()->columnCount())
        return;
    m_row = row;
    m_column = column;
    m_lastSelected = column;
    showCurrent();
}

void FlexGrid::selectRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const int columns = model()->columnCount();
    m_row = row;
    m_column = qMin(1, columns - 1);
    m_lastSelected = columns - 1;
    showCurrent();
}

void FlexGrid::setMode(Mode mode)
{
    m_mode = mode;
    viewport()->update();
}

void FlexGrid::keyPressEvent(QKeyEvent *event)
{
    int code = KeyPressCode(event);
    if (code != 0)
        emit keyPress(code);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter belongs to the grid's own handler; it must not reach a dialog's default button.
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void FlexGrid::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && at.column() == 0 && event->button() == Qt::LeftButton && model()->columnCount() > 1) {
        // A click on the fixed column selects the row's cells.
        setFocus(Qt::MouseFocusReason);
        selectRow(at.row());
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit dblClick();
}

void FlexGrid::userMovedCurrent(const QModelIndex &current)
{
    if (m_showing || !current.isValid())
        return;
    m_row = current.row();
    m_column = current.column();
    m_lastSelected = m_column;
    viewport()->update();
}

QModelIndex FlexGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    QModelIndex to = QTableView::moveCursor(cursorAction, modifiers);
    if (to.isValid() && to.column() == 0 && model()->columnCount() > 1)
        to = to.sibling(to.row(), 1);
    return to;
}

void FlexGrid::updateGeometries()
{
    QTableView::updateGeometries();
    fitLastColumn();
    horizontalScrollBar()->setRange(0, 0);
}

void FlexGrid::keyboardSearch(const QString &)
{
    // Typed characters do not jump between rows.
}

void FlexGrid::clampCurrent()
{
    const int rows = model() ? model()->rowCount() : 0;
    m_row = qMin(m_row, rows - 1);
}

void FlexGrid::showCurrent()
{
    QItemSelectionModel *selection = selectionModel();
    if (!selection)
        return;
    m_showing = true;
    if (m_row >= 0) {
        const QAbstractItemModel *m = model();
        selection->setCurrentIndex(m->index(m_row, m_column), QItemSelectionModel::NoUpdate);
        const QItemSelection cells(m->index(m_row, qMin(m_column, m_lastSelected)),
                                   m->index(m_row, qMax(m_column, m_lastSelected)));
        selection->select(cells, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
        selection->clearCurrentIndex();
    }
    m_showing = false;
    viewport()->update();
}

} // namespace worvane
