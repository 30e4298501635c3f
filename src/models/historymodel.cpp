#include "models/historymodel.h"

#include <QBrush>

namespace worvane
{

void VersionListModel::setVersions(QList<DayVersion> versions)
{
    beginResetModel();
    m_versions = std::move(versions);
    endResetModel();
}

int VersionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_versions.size());
}

int VersionListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant VersionListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_versions.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(index.column() == Items ? Qt::AlignRight | Qt::AlignVCenter
                                                           : Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    const DayVersion &version = m_versions.at(index.row());
    switch (index.column()) {
    case SavedAt:
        return version.savedAt;
    case Person:
        return version.person;
    case Start:
        return version.startTime;
    case End:
        return version.endTime;
    case Items:
        return QString::number(version.items.size());
    default:
        return {};
    }
}

QVariant VersionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList headings{QStringLiteral("保存日時"), QStringLiteral("保存者"), QStringLiteral("開始"),
                                      QStringLiteral("終了"), QStringLiteral("項目数")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return headings.value(section);
}

void VersionDiffModel::setLines(QList<VersionLine> lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

int VersionDiffModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int VersionDiffModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

namespace
{
QString changeText(VersionLine::Change change)
{
    switch (change) {
    case VersionLine::Change::Added:
        return QStringLiteral("追加");
    case VersionLine::Change::Removed:
        return QStringLiteral("削除");
    case VersionLine::Change::Changed:
        return QStringLiteral("変更");
    case VersionLine::Change::Same:
        break;
    }
    return {};
}
} // namespace

QVariant VersionDiffModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    const VersionLine &line = m_lines.at(index.row());
    if (role == Qt::BackgroundRole && line.change != VersionLine::Change::Same)
        return QBrush(line.change == VersionLine::Change::Added     ? QColor(220, 245, 220)
                      : line.change == VersionLine::Change::Removed ? QColor(250, 220, 220)
                                                                    : QColor(255, 243, 205));
    if (role == Qt::ToolTipRole && (index.column() == Version || index.column() == Screen))
        return index.column() == Version ? line.version : line.screen; // a title cut short, whole
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case Label:
        return line.label;
    case Version:
        return line.version;
    case Screen:
        return line.screen;
    case Change:
        return changeText(line.change);
    default:
        return {};
    }
}

QVariant VersionDiffModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList headings{QStringLiteral("項目"), QStringLiteral("この版"), QStringLiteral("画面"),
                                      QStringLiteral("差異")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return headings.value(section);
}

} // namespace worvane
