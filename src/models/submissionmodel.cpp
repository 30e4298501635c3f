#include "models/submissionmodel.h"

#include <QBrush>
#include <QLocale>
#include <optional>

namespace worvane
{

SubmissionModel::SubmissionModel(QObject *parent) : QAbstractTableModel(parent), m_month(QDate::currentDate()) {}

void SubmissionModel::setMonth(const QDate &month, const QStringList &people, const QList<DayState> &states,
                               const DaysOff &off, const QDate &today)
{
    beginResetModel();
    m_month = QDate(month.year(), month.month(), 1);
    m_people = people;
    m_off = off;
    // Each person's saved days of the month by day (0-based), with their states (empty where there is none).
    const int days = m_month.daysInMonth();
    const QString prefix = m_month.toString(QStringLiteral("yyyy/MM/"));
    QHash<QString, QList<std::optional<QString>>> savedOf;
    for (const DayState &state : states) {
        const int d = state.date.startsWith(prefix) ? QStringView(state.date).mid(8).toInt() - 1 : -1;
        if (d < 0 || d >= days)
            continue;
        QList<std::optional<QString>> &saved = savedOf[state.person];
        saved.resize(days);
        saved[d] = state.state;
    }
    m_status.clear();
    for (const QString &person : people) {
        const QList<std::optional<QString>> saved = savedOf.value(person);
        QStringList row;
        row.reserve(days);
        for (int d = 0; d < days; ++d) {
            const std::optional<QString> state = saved.value(d);
            row << DayStatus(off, m_month.addDays(d), today, state.value_or(QString()), state.has_value());
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
