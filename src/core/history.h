#pragma once

// A day's saved versions: how a version's items are kept (a JSON array of [number, title, detail], which a
// server builds with jsonb_agg and a file with the same text), and what differs between a version and the
// day on the screen.
#include "core/values.h"

#include <QByteArray>
#include <QList>

namespace worvane
{

QByteArray ItemsJson(const QList<WorkItem> &items);
// The items of ItemsJson's text; nothing of a text that is not such an array.
QList<WorkItem> ItemsFromJson(QByteArrayView json);

// One line of a version set beside the screen: the start, the end, then each item by its number.
struct VersionLine {
    enum class Change { Same, Added, Removed, Changed }; // on the screen since the version
    QString label;                                       // 開始, 終了, or the item's number
    QString version;                                     // the version's text (an item: its title)
    QString screen;                                      // the screen's
    Change change = Change::Same;
    bool operator==(const VersionLine &) const = default;
};

// The version beside the screen's times and items: the times, then the items of both by number, in the
// screen's order and then the version's items the screen no longer has. An item differs when its title
// or its detail does.
QList<VersionLine> CompareWithScreen(const DayVersion &version, const QString &startTime, const QString &endTime,
                                     const QList<WorkItem> &screen);

} // namespace worvane
