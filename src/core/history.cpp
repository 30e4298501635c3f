#include "core/history.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace worvane
{

QByteArray ItemsJson(const QList<WorkItem> &items)
{
    QJsonArray array;
    for (const WorkItem &item : items)
        array.append(QJsonArray{item.code, item.head, item.detail});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<WorkItem> ItemsFromJson(QByteArrayView json)
{
    QList<WorkItem> items;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    for (const QJsonValue &value : document.array()) {
        const QJsonArray item = value.toArray();
        items.append({item.at(0).toString(), item.at(1).toString(), item.at(2).toString()});
    }
    return items;
}

QList<VersionLine> CompareWithScreen(const DayVersion &version, const QString &startTime, const QString &endTime,
                                     const QList<WorkItem> &screen)
{
    using Change = VersionLine::Change;
    const auto line = [](const QString &label, const QString &then, const QString &now) {
        return VersionLine{label, then, now, then == now ? Change::Same : Change::Changed};
    };
    QList<VersionLine> lines{line(QStringLiteral("開始"), version.startTime, startTime),
                             line(QStringLiteral("終了"), version.endTime, endTime)};
    // Items pair by number; a number twice (a file written elsewhere) pairs in order.
    QList<WorkItem> unpaired = version.items;
    for (const WorkItem &now : screen) {
        const auto then = std::find_if(unpaired.begin(), unpaired.end(),
                                       [&now](const WorkItem &item) { return item.code == now.code; });
        if (then == unpaired.end()) {
            lines.append({now.code, QString(), now.head, Change::Added});
            continue;
        }
        lines.append({now.code, then->head, now.head, *then == now ? Change::Same : Change::Changed});
        unpaired.erase(then);
    }
    for (const WorkItem &then : unpaired)
        lines.append({then.code, then.head, QString(), Change::Removed});
    return lines;
}

} // namespace worvane
