#include "models/searchmodel.h"

namespace worvane
{

SearchModel::SearchModel(QObject *parent) : QAbstractTableModel(parent) {}

void SearchModel::setHits(const QStringList &words, const QList<SearchHit> &hits)
{
    beginResetModel();
    m_words = words;
    m_hits.clear();
    m_snippets.clear();
    endResetModel();
    appendHits(hits);
}

void SearchModel::appendHits(const QList<SearchHit> &hits)
{
    if (hits.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_hits.size()), int(m_hits.size() + hits.size() - 1));
    m_hits.append(hits);
    m_snippets.resize(m_hits.size()); // made when a row is shown
    endInsertRows();
}

int SearchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

int SearchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const SearchHit &hit = m_hits.at(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == Item)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && !(role == SnippetRole && index.column() == Detail))
        return QVariant();
    // The title shows whole; the detail shows around its hit.
    std::optional<Snippet> &made = m_snippets[index.row()];
    if (index.column() == Detail && !made)
        made = SnippetOf(hit.detail, m_words);
    if (role == SnippetRole)
        return QStringList{made->before, made->hit, made->after};
    switch (index.column()) {
    case Date:
        return hit.date;
    case Code:
        return hit.code;
    case Name:
        return hit.name;
    case Item:
        return hit.itemCode;
    case Head:
        return hit.head;
    default:
        return role == Qt::ToolTipRole ? hit.detail : made->before + made->hit + made->after;
    }
}

QVariant SearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const headings[] = {"日付", "PJコード", "PJ名称", "№", "作業項目", "作業内容"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QVariant();
    return QString::fromUtf8(headings[section]);
}

} // namespace worvane
