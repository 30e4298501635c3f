#pragma once

#include "core/holidays.h"
#include "core/values.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>

namespace worvane
{

// A month of the team's days (提出状況): one row per person, one column per day showing the day's status
// (未入力, 提出済, 承認済, 差戻し, or nothing on a day off), then the person's count of each.
class SubmissionModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Person, FirstDay };
    static inline const QStringList Counted{QStringLiteral("未入力"), QStringLiteral("提出済"),
                                            QStringLiteral("承認済"), QStringLiteral("差戻し")};

    explicit SubmissionModel(QObject *parent = nullptr);

    // The month of `month` (any day of it) for these people (a file's one person has no name), from their
    // saved days and the days' states.
    void setMonth(const QDate &month, const QStringList &people, const QList<DayState> &states, const DaysOff &off,
                  const QDate &today);
    QDate month() const { return m_month; }
    QString personAt(int row) const { return m_people.value(row); }
    // The date of a day's column, or nothing for the person and the counts.
    QDate dateAt(int column) const;
    int firstCount() const { return FirstDay + m_month.daysInMonth(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QDate m_month;
    QStringList m_people;
    QList<QStringList> m_status; // per person, per day of the month (0-based)
    DaysOff m_off;
};

} // namespace worvane
