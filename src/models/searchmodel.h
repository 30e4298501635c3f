#pragma once

#include "core/searchtext.h"
#include "core/values.h"

#include <QAbstractTableModel>
#include <optional>

namespace worvane
{

// The hits of a full-text search as a table: date, code, project name, item number, title, and the
// piece of the detail around the hit. SnippetRole gives that piece as its three parts (before, hit,
// after), so that a view can mark the hit; DisplayRole gives it as plain text.
class SearchModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Date, Code, Name, Item, Head, Detail, ColumnCount };
    static constexpr int SnippetRole = Qt::UserRole + 1;

    explicit SearchModel(QObject *parent = nullptr);

    // A new search: its words (in search form) and its first page.
    void setHits(const QStringList &words, const QList<SearchHit> &hits);
    // The next page of the same search, after the hits held.
    void appendHits(const QList<SearchHit> &hits);
    const SearchHit &at(int row) const { return m_hits.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_words;
    QList<SearchHit> m_hits;
    mutable QList<std::optional<Snippet>> m_snippets; // each row's, made the first time it is shown
};

} // namespace worvane
