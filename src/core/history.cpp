#include "core/history.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace worvane
{

namespace
{
// A JSON string of the text: quotes, backslashes and control characters escaped, the rest UTF-8 as it is.
void appendJsonText(QByteArray &json, const QString &text)
{
    json += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char hex[] = "0123456789abcdef";
            json += "\\u00";
            json += hex[(c >> 4) & 0xf];
            json += hex[c & 0xf];
        } else {
            json += c;
        }
    }
    json += '"';
}
} // namespace

QByteArray ItemsJson(const QList<WorkItem> &items)
{
    // Written straight: a save keeps its version in its own transaction, and QJsonDocument took longer
    // than the rest of the save.
    QByteArray json;
    json.reserve(64 * items.size() + 2);
    json += '[';
    for (const WorkItem &item : items) {
        if (json.size() > 1)
            json += ',';
        json += '[';
        appendJsonText(json, item.code);
        json += ',';
        appendJsonText(json, item.head);
        json += ',';
        appendJsonText(json, item.detail);
        json += ']';
    }
    json += ']';
    return json;
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
