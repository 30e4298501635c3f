#include "common/flexgrid.h"

#include "common/fieldrules.h"

#include <QAbstractTableModel>
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

Qt::Alignment toQt(int alignment)
{
    static const Qt::Alignment map[] = {
        Qt::AlignLeft | Qt::AlignTop,
        Qt::AlignLeft | Qt::AlignVCenter,
        Qt::AlignLeft | Qt::AlignBottom,
        Qt::AlignHCenter | Qt::AlignTop,
        Qt::AlignCenter,
        Qt::AlignHCenter | Qt::AlignBottom,
        Qt::AlignRight | Qt::AlignTop,
        Qt::AlignRight | Qt::AlignVCenter,
        Qt::AlignRight | Qt::AlignBottom,
        Qt::AlignLeft | Qt::AlignVCenter,
    };
    return (alignment >= 0 && alignment <= 9) ? map[alignment] : map[FlexGrid::AlignGeneral];
}

// What a cell shows: its first line, with an ellipsis when more lines follow.
QString shownText(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\r' || text.at(i) == u'\n')
            return text.left(i) + QChar(0x2026);
    }
    return text;
}

} // namespace

// The cells, row 0 included; the view shows rows 1.. as model rows 0.., row 0 as the header.
class FlexGridModel : public QAbstractTableModel
{
public:
    struct Row {
        QStringList cells;
        QList<qint8> alignments; // empty unless an alignment was set on the row
    };

    explicit FlexGridModel(QObject *parent) : QAbstractTableModel(parent) { m_rows.append(emptyRow()); }

    int gridRows() const { return int(m_rows.size()); }
    int gridCols() const { return m_cols; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size()) - 1;
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_cols;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return QVariant();
        return cellData(index.row() + 1, index.column(), role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal)
            return QVariant();
        return cellData(0, section, role);
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return index.column() == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

    QString cell(int row, int col) const
    {
        if (row < 0 || row >= m_rows.size() || col < 0 || col >= m_cols)
            return QString();
        return m_rows.at(row).cells.at(col);
    }

    void setCell(int row, int col, const QString &text)
    {
        m_rows[row].cells[col] = text;
        if (row == 0) {
            emit headerDataChanged(Qt::Horizontal, col, col);
        } else {
            const QModelIndex at = index(row - 1, col);
            emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
        }
    }

    int alignment(int row, int col) const
    {
        const QList<qint8> &a = m_rows.at(row).alignments;
        return col < a.size() ? int(a.at(col)) : int(FlexGrid::AlignGeneral);
    }

    void setAlignment(int row, int col, int alignment)
    {
        QList<qint8> &a = m_rows[row].alignments;
        if (a.size() < m_cols)
            a.resize(m_cols, qint8(FlexGrid::AlignGeneral));
        a[col] = qint8(alignment);
        if (row == 0) {
            emit headerDataChanged(Qt::Horizontal, col, col);
        } else {
            const QModelIndex at = index(row - 1, col);
            emit dataChanged(at, at, {Qt::TextAlignmentRole});
        }
    }

    void setGridRows(int count)
    {
        const int now = gridRows();
        if (count > now) {
            beginInsertRows(QModelIndex(), now - 1, count - 2);
            m_rows.reserve(count);
            while (m_rows.size() < count)
                m_rows.append(emptyRow());
            endInsertRows();
        } else if (count < now) {
            beginRemoveRows(QModelIndex(), count - 1, now - 2);
            m_rows.resize(count);
            endRemoveRows();
        }
    }

    void setGridCols(int count)
    {
        if (count == m_cols)
            return;
        if (count > m_cols)
            beginInsertColumns(QModelIndex(), m_cols, count - 1);
        else
            beginRemoveColumns(QModelIndex(), count, m_cols - 1);
        const int before = m_cols;
        m_cols = count;
        for (Row &r : m_rows) {
            r.cells.resize(count);
            if (r.alignments.size() > count)
                r.alignments.resize(count);
        }
        if (count > before)
            endInsertColumns();
        else
            endRemoveColumns();
    }

    void removeGridRow(int row)
    {
        beginRemoveRows(QModelIndex(), row - 1, row - 1);
        m_rows.removeAt(row);
        endRemoveRows();
    }

    void fill(const QList<QStringList> &rows)
    {
        beginResetModel();
        m_rows.resize(1);
        m_rows.reserve(rows.size() + 1);
        for (const QStringList &cells : rows) {
            Row r{cells, {}};
            r.cells.resize(m_cols);
            m_rows.append(std::move(r));
        }
        endResetModel();
    }

private:
    Row emptyRow() const
    {
        Row r;
        r.cells.resize(m_cols);
        return r;
    }

    QVariant cellData(int row, int col, int role) const
    {
        if (row < 0 || row >= m_rows.size() || col < 0 || col >= m_cols)
            return QVariant();
        const QString &text = m_rows.at(row).cells.at(col);
        switch (role) {
        case Qt::DisplayRole:
            return shownText(text);
        case Qt::ToolTipRole:
            if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
                return QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
            return QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(toQt(alignment(row, col)));
        default:
            return QVariant();
        }
    }

    QList<Row> m_rows;
    int m_cols = 1;
};

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
        if (selected && m_grid->highLight() == 1) {
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

        if (m_grid->focusRect() == 1 && index.row() + 1 == m_grid->row() && index.column() == m_grid->col()) {
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

FlexGrid::FlexGrid(QWidget *parent) : QTableView(parent), m_model(new FlexGridModel(this))
{
    setModel(m_model);
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

FlexGrid::~FlexGrid() = default;

int FlexGrid::rows() const
{
    return m_model->gridRows();
}

void FlexGrid::setRows(int count)
{
    m_model->setGridRows(qMax(1, count));
    clampCurrent();
    showCurrent();
}

int FlexGrid::cols() const
{
    return m_model->gridCols();
}

void FlexGrid::setCols(int count)
{
    m_model->setGridCols(qMax(1, count));
    clampCurrent();
    showCurrent();
}

void FlexGrid::setRow(int row)
{
    if (row < 0 || row >= rows())
        return;
    m_row = row;
    m_colSel = m_col;
    showCurrent();
}

void FlexGrid::setCol(int col)
{
    if (col < 0 || col >= cols())
        return;
    m_col = col;
    m_colSel = col;
    showCurrent();
}

void FlexGrid::setColSel(int col)
{
    if (col < 0 || col >= cols())
        return;
    m_colSel = col;
    showCurrent();
}

QString FlexGrid::text() const
{
    return m_model->cell(m_row, m_col);
}

void FlexGrid::setText(const QString &text)
{
    m_model->setCell(m_row, m_col, text);
}

QString FlexGrid::textAt(int row, int col) const
{
    return m_model->cell(row, col);
}

void FlexGrid::setColWidth(int col, int twips)
{
    setColumnWidth(col, qRound(double(twips) / TwipsPerPixel));
    fitLastColumn();
}

void FlexGrid::fitLastColumn()
{
    const int last = cols() - 1;
    if (last < 1)
        return;
    int others = 0;
    for (int c = 0; c < last; ++c)
        others += columnWidth(c);
    const int width = qMax(1, viewport()->width() - others);
    if (columnWidth(last) != width)
        setColumnWidth(last, width);
}

int FlexGrid::colWidth(int col) const
{
    return columnWidth(col) * TwipsPerPixel;
}

int FlexGrid::cellAlignment() const
{
    return m_model->alignment(m_row, m_col);
}

void FlexGrid::setCellAlignment(int alignment)
{
    m_model->setAlignment(m_row, m_col, alignment);
}

void FlexGrid::setFocusRect(int style)
{
    m_focusRect = style;
    viewport()->update();
}

void FlexGrid::setHighLight(int style)
{
    m_highLight = style;
    viewport()->update();
}

void FlexGrid::removeItem(int row)
{
    if (row < 1 || row >= rows())
        return;
    m_model->removeGridRow(row);
    clampCurrent();
    showCurrent();
}

void FlexGrid::fillRows(const QList<QStringList> &rows)
{
    m_model->fill(rows);
    clampCurrent();
    showCurrent();
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
    if (at.isValid() && at.column() == 0 && event->button() == Qt::LeftButton && cols() > 1) {
        // A click on the fixed column selects the row's cells.
        setFocus(Qt::MouseFocusReason);
        m_row = at.row() + 1;
        m_col = 1;
        m_colSel = cols() - 1;
        showCurrent();
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

void FlexGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_showing || !current.isValid())
        return;
    // The user moved the current cell.
    m_row = current.row() + 1;
    m_col = current.column();
    m_colSel = m_col;
    viewport()->update();
}

QModelIndex FlexGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    QModelIndex to = QTableView::moveCursor(cursorAction, modifiers);
    if (to.isValid() && to.column() == 0 && cols() > 1)
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
    m_row = qBound(0, m_row, rows() - 1);
    m_col = qBound(0, m_col, cols() - 1);
    m_colSel = qBound(0, m_colSel, cols() - 1);
}

// Puts the view's current index and selection where the grid's current cell and selection are.
void FlexGrid::showCurrent()
{
    QItemSelectionModel *selection = selectionModel();
    m_showing = true;
    if (m_row >= 1) {
        const int r = m_row - 1;
        selection->setCurrentIndex(m_model->index(r, m_col), QItemSelectionModel::NoUpdate);
        const QItemSelection cells(m_model->index(r, qMin(m_col, m_colSel)),
                                   m_model->index(r, qMax(m_col, m_colSel)));
        selection->select(cells, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
        selection->clearCurrentIndex();
    }
    m_showing = false;
    viewport()->update();
}

} // namespace worvane
