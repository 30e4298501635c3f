#include "models/workitemmodel.h"

namespace worvane
{

namespace
{
bool isMultiLine(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// What a cell shows: its first line, with an ellipsis when more lines follow.
QString firstLine(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\r' || text.at(i) == u'\n')
            return text.left(i) + QChar(0x2026);
    }
    return text;
}

const QString &textOf(const WorkItem &item, int column)
{
    switch (column) {
    case WorkItemModel::Number:
        return item.code;
    case WorkItemModel::Title:
        return item.head;
    default:
        return item.detail;
    }
}
} // namespace

WorkItemModel::WorkItemModel(QObject *parent) : QAbstractTableModel(parent) {}

int WorkItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int WorkItemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant WorkItemModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const QString &text = textOf(m_items.at(index.row()), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return firstLine(text);
    case Qt::ToolTipRole:
        if (isMultiLine(text))
            return QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        return QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return QVariant();
    }
}

QVariant WorkItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole: {
        static const QString titles[] = {QStringLiteral("項目"), QStringLiteral("作業項目"),
                                         QStringLiteral("作業内容")};
        return titles[section];
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return QVariant();
    }
}

Qt::ItemFlags WorkItemModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return index.column() == Number ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void WorkItemModel::setItems(QList<WorkItem> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

int WorkItemModel::firstRowOf(const QString &number) const
{
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row).code == number)
            return row;
    }
    return -1;
}

int WorkItemModel::lastRowOf(const QString &number) const
{
    for (int row = int(m_items.size()) - 1; row >= 0; --row) {
        if (m_items.at(row).code == number)
            return row;
    }
    return -1;
}

int WorkItemModel::add(const WorkItem &item)
{
    const int row = int(m_items.size());
    beginInsertRows(QModelIndex(), row, row);
    m_items.append(item);
    endInsertRows();
    return row;
}

void WorkItemModel::replace(int row, const WorkItem &item)
{
    if (row < 0 || row >= m_items.size())
        return;
    m_items[row] = item;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1),
                     {Qt::DisplayRole, Qt::ToolTipRole});
}

void WorkItemModel::remove(int row)
{
    if (row < 0 || row >= m_items.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_items.removeAt(row);
    endRemoveRows();
}

void WorkItemModel::clear()
{
    setItems({});
}

} // namespace worvane
