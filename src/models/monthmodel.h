#pragma once

#include "core/holidays.h"
#include "ranges/rangetotals.h"

#include <QAbstractTableModel>
#include <QDate>

namespace worvane
{

// A month of saved days as a table: one row per project that has a saved day in the month (code
// order; on the team database with other people's days, per person and project), one column per day with the day's hours, the project's total at the end of its row, and a
// last row of the totals per day. A day saved without valid times shows a mark, never 0:00.
class MonthModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Columns before the days, and the mark of a day without valid times.
    enum Column { Code, Name, FirstDay };
    static inline const QString Untimed = QStringLiteral("※");

    explicit MonthModel(QObject *parent = nullptr);

    // The month of `month` (any day of it) with the saved days of that month. With people, a row is a
    // person's project, and its name names the person.
    void setMonth(const QDate &month, const QList<DaySummary> &days, bool withPeople = false);
    QDate month() const { return m_month; }
    // Holidays and the company's days off: coloured as Sundays, named in the heading's tooltip.
    void setDaysOff(const DaysOff &daysOff) { m_daysOff = daysOff; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Days headed "1(月)"; Saturdays blue, Sundays and days off red, in the heading and the cells.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The saved day in a cell, or nothing (a total, a name, a day without a saved day).
    const DaySummary *dayAt(const QModelIndex &index) const;
    int totalColumn() const { return FirstDay + m_month.daysInMonth(); }
    int totalRow() const { return int(m_totals.projects.size()); }

private:
    QDate dateOf(int column) const;

    // A project's saved day in the month, and its minutes (none without valid times).
    struct Cell {
        DaySummary day;
        std::optional<int> minutes;
    };

    QDate m_month;
    DaysOff m_daysOff;
    bool m_withPeople = false;
    RangeTotals m_totals;
    // For each project row, its saved days by day of the month (1..31).
    QList<QHash<int, Cell>> m_cells;
    // The minutes of each day of the month over every project, 1..31 (0 unused).
    QList<qint64> m_dayMinutes;
};

} // namespace worvane
