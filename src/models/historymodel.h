#pragma once

#include "core/history.h"

#include <QAbstractTableModel>

namespace worvane
{

// A day's saved versions, newest first: when saved, by whom (on a server), the times, how many items.
class VersionListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { SavedAt, Person, Start, End, Items, ColumnCount };
    explicit VersionListModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    void setVersions(QList<DayVersion> versions);
    const DayVersion &at(int row) const { return m_versions.at(row); }
    bool isEmpty() const { return m_versions.isEmpty(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<DayVersion> m_versions;
};

// A version beside the screen, a line per time and item, what differs marked (差異: 変更, 追加, 削除 — what
// the screen changed since the version).
class VersionDiffModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Label, Version, Screen, Change, ColumnCount };
    explicit VersionDiffModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    void setLines(QList<VersionLine> lines);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<VersionLine> m_lines;
};

} // namespace worvane
