#pragma once

#include "store/reportstore.h"

#include <QAbstractTableModel>

namespace worvane
{

// The projects a search of the project window found, in the order found, numbered from 1. A model over
// the rows as read: a cell's text is made when the view asks for it, so only what is shown is converted.
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
    void appendProjects(const ProjectRows &more);
    ProjectRow at(int row) const { return m_projects.at(row); }
    int size() const { return int(m_projects.size()); }
    bool isEmpty() const { return m_projects.isEmpty(); }

private:
    ProjectRows m_projects;
};

} // namespace worvane
