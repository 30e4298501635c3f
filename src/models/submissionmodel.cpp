#include "models/submissionmodel.h"

#include <QBrush>
#include <QLocale>
#include <QSet>

namespace worvane
{

SubmissionModel::SubmissionModel(QObject *parent) : QAbstractTableModel(parent), m_month(QDate::currentDate()) {}

void SubmissionModel::setMonth(const QDate &month, const QStringList &people, const QList<DayState> &states,
                               const QList<DaySummary> &saved, const DaysOff &off, const QDate &today)
{
    beginResetModel();
    m_month = QDate(month.year(), month.month(), 1);
    m_people = people;
    m_off = off;
    QHash<QString, QString> stateOf; // person + date
    for (const DayState &state : states)
        stateOf.insert(state.person + QLatin1Char('\t') + state.date, state.state);
    QSet<QString> savedDays;
    for (const DaySummary &day : saved)
        savedDays.insert(day.person + QLatin1Char('\t') + day.date);
    m_status.clear();
    for (const QString &person : people) {
        QStringList row;
        for (int d = 0; d < m_month.daysInMonth(); ++d) {
            const QDate day = m_month.addDays(d);
            const QString date = day.toString(QStringLiteral("yyyy/MM/dd"));
            // The reader's own days may come without a name.
            const bool isSaved = savedDays.contains(person + QLatin1Char('\t') + date) ||
                                 (people.size() == 1 && savedDays.contains(QLatin1Char('\t') + date));
            row << DayStatus(off, day, today, stateOf.value(person + QLatin1Char('\t') + date), isSaved);
        }
        m_status << row;
    }
    endResetModel();
}

QDate SubmissionModel::dateAt(int column) const
{
    return column >= FirstDay && column < firstCount() ? m_month.addDays(column - FirstDay) : QDate();
}

int SubmissionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_people.size());
}

int SubmissionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : firstCount() + int(Counted.size());
}

namespace
{
// Days off as Sundays are, Saturdays blue; a day to act on stands out.
QColor dayColour(const QDate &date, const DaysOff &off)
{
    if (off.isHoliday(date) || date.dayOfWeek() == Qt::Sunday)
        return QColor(255, 0, 0);
    return date.dayOfWeek() == Qt::Saturday ? QColor(0, 0, 255) : QColor();
}
} // namespace

QVariant SubmissionModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_status.size())
        return {};
    const int column = index.column();
    const QStringList &row = m_status.at(index.row());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column == Person ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    if (role == Qt::ForegroundRole && column >= FirstDay && column < firstCount()) {
        const QString &status = row.at(column - FirstDay);
        if (status == QLatin1String("未入力") || status == QLatin1String("差戻し"))
            return QBrush(QColor(192, 0, 0));
        return {};
    }
    if (role == Qt::BackgroundRole && column >= FirstDay && column < firstCount()) {
        const QDate date = dateAt(column);
        return m_off.isWorkingDay(date) ? QVariant() : QVariant(QBrush(QColor(240, 240, 240)));
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (column == Person)
        return m_people.at(index.row()).isEmpty() ? QStringLiteral("自分") : m_people.at(index.row());
    if (column < firstCount())
        return row.at(column - FirstDay);
    return QString::number(row.count(Counted.at(column - firstCount())));
}

QVariant SubmissionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    const QDate date = dateAt(section);
    if (role == Qt::ForegroundRole && date.isValid()) {
        const QColor colour = dayColour(date, m_off);
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    if (role == Qt::ToolTipRole && date.isValid()) {
        const QString name = m_off.holidayName(date);
        return name.isEmpty() ? QVariant() : QVariant(name);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (section == Person)
        return QStringLiteral("担当者");
    if (!date.isValid())
        return Counted.value(section - firstCount());
    return QStringLiteral("%1(%2)").arg(date.day()).arg(
        QLocale(QLocale::Japanese).dayName(date.dayOfWeek(), QLocale::NarrowFormat));
}

} // namespace worvane
