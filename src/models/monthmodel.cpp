#include "models/monthmodel.h"

#include <QBrush>
#include <QLocale>

namespace worvane
{

namespace
{
QColor weekdayColour(const QDate &date, const DaysOff &daysOff)
{
    if (daysOff.isHoliday(date))
        return QColor(255, 0, 0);
    switch (date.dayOfWeek()) {
    case Qt::Saturday:
        return QColor(0, 0, 255);
    case Qt::Sunday:
        return QColor(255, 0, 0);
    default:
        return QColor();
    }
}
} // namespace

MonthModel::MonthModel(QObject *parent) : QAbstractTableModel(parent), m_month(QDate::currentDate()) {}

void MonthModel::setMonth(const QDate &month, const QList<DaySummary> &days, bool withPeople)
{
    beginResetModel();
    m_month = QDate(month.year(), month.month(), 1);
    m_withPeople = withPeople;
    m_totals = TotalRange(days);
    m_cells.clear();
    m_dayMinutes.fill(0, 32);
    for (const ProjectTotal &project : m_totals.projects) {
        QHash<int, Cell> cells;
        for (const DaySummary &day : days) {
            if (day.person != project.person || day.code.compare(project.code, Qt::CaseInsensitive) != 0)
                continue;
            const int dayOfMonth = day.date.right(2).toInt();
            const Cell cell{day, DayMinutes(day.startTime, day.endTime)};
            if (dayOfMonth >= 1 && dayOfMonth <= 31)
                m_dayMinutes[dayOfMonth] += cell.minutes.value_or(0);
            cells.insert(dayOfMonth, cell);
        }
        m_cells.append(cells);
    }
    endResetModel();
}

int MonthModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_totals.projects.size()) + 1;
}

int MonthModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : totalColumn() + 1;
}

QDate MonthModel::dateOf(int column) const
{
    return m_month.addDays(column - FirstDay);
}

const DaySummary *MonthModel::dayAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= totalRow() || index.column() < FirstDay ||
        index.column() >= totalColumn())
        return nullptr;
    const QHash<int, Cell> &cells = m_cells.at(index.row());
    const auto found = cells.constFind(index.column() - FirstDay + 1);
    return found == cells.constEnd() ? nullptr : &found->day;
}

QVariant MonthModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row(), column = index.column();
    const bool dayColumn = column >= FirstDay && column < totalColumn();
    if (role == Qt::ForegroundRole && dayColumn) {
        const QColor colour = weekdayColour(dateOf(column), m_daysOff);
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column >= FirstDay ? Qt::AlignRight | Qt::AlignVCenter
                                                      : Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && column == Name && row < totalRow())
        return data(index, Qt::DisplayRole); // the whole name, where the column shortens it
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (row == totalRow()) {
        if (column == Code)
            return QStringLiteral("合計");
        if (column == Name)
            return QString();
        const qint64 m =
            column == totalColumn() ? m_totals.grand.minutes : m_dayMinutes.at(column - FirstDay + 1);
        return m > 0 || column == totalColumn() ? FormatHours(m) : QString();
    }
    const ProjectTotal &project = m_totals.projects.at(row);
    if (column == Code)
        return project.code;
    if (column == Name)
        return m_withPeople ? QStringLiteral("%1（%2）").arg(project.name, project.person) : project.name;
    if (column == totalColumn())
        return FormatHours(project.minutes);
    const QHash<int, Cell> &cells = m_cells.at(row);
    const auto cell = cells.constFind(column - FirstDay + 1);
    if (cell == cells.constEnd())
        return QString();
    return cell->minutes ? FormatHours(*cell->minutes) : Untimed;
}

QVariant MonthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    const bool dayColumn = section >= FirstDay && section < totalColumn();
    if (role == Qt::ForegroundRole && dayColumn) {
        const QColor colour = weekdayColour(dateOf(section), m_daysOff);
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    if (role == Qt::ToolTipRole && dayColumn) {
        const QString name = m_daysOff.holidayName(dateOf(section));
        return name.isEmpty() ? QVariant() : QVariant(name);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (section == Code)
        return QStringLiteral("PJコード");
    if (section == Name)
        return QStringLiteral("PJ名称");
    if (section == totalColumn())
        return QStringLiteral("合計");
    const QDate date = dateOf(section);
    return QStringLiteral("%1(%2)").arg(date.day()).arg(
        QLocale(QLocale::Japanese).dayName(date.dayOfWeek(), QLocale::NarrowFormat));
}

} // namespace worvane
