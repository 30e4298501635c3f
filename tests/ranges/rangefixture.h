#pragma once

#include "store/open/openstore.h"
#include "testsupport.h"

// Two months of days over three projects, with hand-computed totals for 2026/01/01 to 2026/02/28:
//   A0012345  3 days (one without times)  4 items  540 + 225        = 765 min  12:45
//   B0000001  2 days (one past midnight)  3 items  210 + 285        = 495 min   8:15
//   X1        1 day  (not in the master)  1 item    30              =  30 min   0:30
//   total     6 days                      8 items                     1290 min  21:30
// Days on 2025/12/31 and 2026/03/01 lie outside.
namespace worvane::test
{
// A database already set up (a fresh one from freshDatabase) only takes the days.
inline void makeRangeFixture(const QString &path, bool setUp = false)
{
    if (!setUp)
        makeDatabase(path, true);
    const std::unique_ptr<Store> store = OpenStore(path);
    const auto item = [](const char *code, const QString &head = QStringLiteral("作業"),
                         const QString &detail = QString()) {
        return WorkItem{QString::fromLatin1(code), head, detail};
    };
    const DaySave days[] = {
        {"B0000001", "2025/12/31", "09:00", "18:00", {item("1")}},
        {"A0012345", "2026/01/05", "09:00", "18:00", {item("2"), item("10"), item("1")}},
        {"B0000001", "2026/01/05", "22:00", "25:30", {item("1", QStringLiteral("夜間切替"))}},
        {"A0012345", "2026/01/20", "", "", {item("1")}},
        {"A0012345", "2026/02/02", "08:30", "12:15", {}},
        {"X1", "2026/02/10", "09:00", "09:30", {item("1")}},
        {"B0000001", "2026/02/27", "13:00", "17:45", {item("1"), item("2")}},
        {"A0012345", "2026/03/01", "09:00", "10:00", {item("1")}},
    };
    for (const DaySave &day : days)
        if (!store->saveDay(day).ok())
            qFatal("cannot save the fixture's day %s", qPrintable(day.date));
}
} // namespace worvane::test
