#pragma once

#include "core/values.h"

#include <QAbstractTableModel>

namespace worvane
{

// The work items of the day on the screen, in list order: loading fills it, the item editor adds,
// replaces and removes, the save and the report file read it. The only holder of the day's items
// between loading and saving.
class WorkItemModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Column 0, the number, is the grid's fixed column.
    enum Column { Number, Title, Detail, ColumnCount };

    explicit WorkItemModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // A cell shows the first line of its text, with an ellipsis when more lines follow; the tool tip
    // shows the whole of a text of several lines.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // "項目", "作業項目", "作業内容", centred.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // The number column shows but is never selected.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces every item in one reset.
    void setItems(QList<WorkItem> items);
    const QList<WorkItem> &items() const { return m_items; }
    const WorkItem &at(int row) const { return m_items.at(row); }
    bool isEmpty() const { return m_items.isEmpty(); }

    // The first and the last row whose number equals the text exactly ("5" is not "05"); -1 for none.
    int firstRowOf(const QString &number) const;
    int lastRowOf(const QString &number) const;

    // Appends the item; returns its row.
    int add(const WorkItem &item);
    void replace(int row, const WorkItem &item);
    void remove(int row);
    void clear();

private:
    QList<WorkItem> m_items;
};

} // namespace worvane
