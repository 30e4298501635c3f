#pragma once

#include "report/reportfile.h"
#include "core/values.h"

// The two versions the crash child writes in turn, so that the test can tell "all old" or "all new"
// from anything in between.
namespace worvane::crash
{

inline DaySave day(int version)
{
    DaySave save{QStringLiteral("A0012345"),
                 QStringLiteral("2024/03/01"),
                 version ? QStringLiteral("10:00") : QStringLiteral("09:00"),
                 version ? QStringLiteral("19:00") : QStringLiteral("18:00"),
                 {}};
    const int count = version ? 60 : 45;
    for (int i = 1; i <= count; ++i)
        save.items.append(WorkItem{QString::number(i), QStringLiteral("版%1 項目%2").arg(version).arg(i),
                                   QStringLiteral("版%1の内容\r\n").arg(version).repeated(20)});
    return save;
}

inline QString code(int version)
{
    return version ? QStringLiteral("B0000001") : QStringLiteral("A0012345");
}

inline QString report(int version)
{
    const DaySave d = day(version);
    QList<WorkItem> items = d.items;
    for (int i = 0; i < 40; ++i)
        items += d.items; // a file of some size, so that a kill can land inside the write
    return BuildReportText(d.date, d.startTime, d.endTime, items);
}

} // namespace worvane::crash
