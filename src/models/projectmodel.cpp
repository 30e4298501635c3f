#include "models/projectmodel.h"

namespace worvane
{

ProjectModel::ProjectModel(QObject *parent) : QAbstractTableModel(parent) {}

int ProjectModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_projects.size());
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
        switch (index.column()) {
        case RowNumber:
            return QString::number(index.row() + 1);
        case Code:
            return m_projects.code(index.row());
        default:
            return m_projects.name(index.row());
        }
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
    m_projects = std::move(projects);
    endResetModel();
}

void ProjectModel::appendProjects(const ProjectRows &more)
{
    if (more.isEmpty())
        return;
    const int first = int(m_projects.size());
    beginInsertRows(QModelIndex(), first, first + int(more.size()) - 1);
    m_projects.append(more);
    endInsertRows();
}

} // namespace worvane
