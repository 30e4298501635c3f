#pragma once

#include "core/values.h"

#include <QAbstractTableModel>

namespace worvane
{

// The projects a search of the project window found, in the order found, numbered from 1. A model over
// the rows as read: a cell's text is made when the view asks for it, so only what is shown is converted.
// The pages of a long search are kept as they came, so that adding one never copies the ones before.
class ProjectModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Column 0, the row number, is the grid's fixed column.
    enum Column { RowNumber, Code, Name, ColumnCount };

    explicit ProjectModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // "行数", "PJコード", "PJ名称", centred.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces the list in one reset.
    void setProjects(ProjectRows projects);
    // The next page of the same search, after the rows listed.
    void appendProjects(ProjectRows more);
    ProjectRow at(int row) const;
    bool isEmpty() const { return m_pageEnds.isEmpty(); }

private:
    // The page holding a row, and the row's place in it.
    std::pair<const ProjectRows *, qsizetype> locate(int row) const;

    QList<ProjectRows> m_pages;
    QList<int> m_pageEnds; // the rows listed up to the end of each page
};

} // namespace worvane
