#include "models/monthmodel.h"

#include <QBrush>
#include <QLocale>

namespace worvane
{

namespace
{
QColor weekdayColour(const QDate &date)
{
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

void MonthModel::setMonth(const QDate &month, const QList<StoredDay> &days)
{
    beginResetModel();
    m_month = QDate(month.year(), month.month(), 1);
    m_days = days;
    m_totals = TotalRange(m_days);
    m_cells.clear();
    for (const ProjectTotal &project : m_totals.projects) {
        QHash<int, const StoredDay *> cells;
        for (const StoredDay &day : m_days) {
            if (day.code.compare(project.code, Qt::CaseInsensitive) == 0)
                cells.insert(day.date.right(2).toInt(), &day);
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

const StoredDay *MonthModel::dayAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= totalRow() || index.column() < FirstDay ||
        index.column() >= totalColumn())
        return nullptr;
    return m_cells.at(index.row()).value(index.column() - FirstDay + 1, nullptr);
}

qint64 MonthModel::minutes(int row, int column) const
{
    qint64 sum = 0;
    for (int r = 0; r < totalRow(); ++r) {
        if (row != totalRow() && r != row)
            continue;
        for (const StoredDay *day : m_cells.at(r)) {
            if (column == totalColumn() || day->date.right(2).toInt() == column - FirstDay + 1)
                sum += DayMinutes(day->startTime, day->endTime).value_or(0);
        }
    }
    return sum;
}

QVariant MonthModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row(), column = index.column();
    const bool dayColumn = column >= FirstDay && column < totalColumn();
    if (role == Qt::ForegroundRole && dayColumn) {
        const QColor colour = weekdayColour(dateOf(column));
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column >= FirstDay ? Qt::AlignRight | Qt::AlignVCenter
                                                      : Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (row == totalRow()) {
        if (column == Code)
            return QStringLiteral("合計");
        if (column == Name)
            return QString();
        const qint64 m = minutes(row, column);
        return m > 0 || column == totalColumn() ? FormatHours(m) : QString();
    }
    const ProjectTotal &project = m_totals.projects.at(row);
    if (column == Code)
        return project.code;
    if (column == Name)
        return project.name;
    if (column == totalColumn())
        return FormatHours(project.minutes);
    const StoredDay *day = dayAt(index);
    if (!day)
        return QString();
    const auto m = DayMinutes(day->startTime, day->endTime);
    return m ? FormatHours(*m) : Untimed;
}

QVariant MonthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    const bool dayColumn = section >= FirstDay && section < totalColumn();
    if (role == Qt::ForegroundRole && dayColumn) {
        const QColor colour = weekdayColour(dateOf(section));
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
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
