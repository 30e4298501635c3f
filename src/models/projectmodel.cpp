#include "models/projectmodel.h"

#include <algorithm>

namespace worvane
{

ProjectModel::ProjectModel(QObject *parent) : QAbstractTableModel(parent) {}

int ProjectModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_pageEnds.isEmpty() ? 0 : m_pageEnds.last();
}

std::pair<const ProjectRows *, qsizetype> ProjectModel::locate(int row) const
{
    const qsizetype page = std::upper_bound(m_pageEnds.cbegin(), m_pageEnds.cend(), row) - m_pageEnds.cbegin();
    return {&m_pages.at(page), row - (page == 0 ? 0 : m_pageEnds.at(page - 1))};
}

ProjectRow ProjectModel::at(int row) const
{
    const auto [page, place] = locate(row);
    return page->at(place);
}

int ProjectModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProjectModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole: {
        // Row numbers run on past 32,767: nothing here is a 16-bit counter.
        if (index.column() == RowNumber)
            return QString::number(index.row() + 1);
        const auto [page, place] = locate(index.row());
        return index.column() == Code ? page->code(place) : page->name(place);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return QVariant();
    }
}

QVariant ProjectModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole: {
        static const QString titles[] = {QStringLiteral("行数"), QStringLiteral("PJコード"),
                                         QStringLiteral("PJ名称")};
        return titles[section];
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return QVariant();
    }
}

Qt::ItemFlags ProjectModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return index.column() == RowNumber ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void ProjectModel::setProjects(ProjectRows projects)
{
    beginResetModel();
    m_pages.clear();
    m_pageEnds.clear();
    if (!projects.isEmpty()) {
        m_pageEnds.append(int(projects.size()));
        m_pages.append(std::move(projects));
    }
    endResetModel();
}

void ProjectModel::appendProjects(ProjectRows more)
{
    if (more.isEmpty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + int(more.size()) - 1);
    m_pageEnds.append(first + int(more.size()));
    m_pages.append(std::move(more));
    endInsertRows();
}

} // namespace worvane
