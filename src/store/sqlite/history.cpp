#include "store/sqlite/history.h"

#include "core/history.h"

namespace worvane::sqlite
{

namespace
{
bool hasHistory(Database &db, bool &has)
{
    std::optional<QVariant> found;
    if (!db.first("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'WKHISTORY'", {}, found))
        return false;
    has = found.has_value();
    return true;
}
} // namespace

bool RecordVersion(Database &db, const DaySave &day, const QString &savedAt)
{
    bool has = false;
    if (!hasHistory(db, has))
        return false;
    if (!has && (!db.run("CREATE TABLE WKHISTORY (ID INTEGER PRIMARY KEY, PJCODE TEXT NOT NULL, WKYMD TEXT NOT NULL, "
                         "WSTIME TEXT, WETIME TEXT, ITEMS TEXT NOT NULL, SAVED TEXT NOT NULL)") ||
                 !db.run("CREATE INDEX WKHISTORY_DAY ON WKHISTORY (PJCODE COLLATE NOCASE, WKYMD, ID)")))
        return false;
    return db.statement("INSERT INTO WKHISTORY (PJCODE, WKYMD, WSTIME, WETIME, ITEMS, SAVED) VALUES (?, ?, ?, ?, ?, ?)")
        .run({day.code, day.date, day.startTime, day.endTime, ItemsJson(day.items), savedAt});
}

bool ReadVersions(Database &db, const QString &code, const QString &date, QList<DayVersion> &versions)
{
    bool has = false;
    if (!hasHistory(db, has))
        return false;
    return !has ||
           db.run("SELECT SAVED, WSTIME, WETIME, ITEMS FROM WKHISTORY WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                  "ORDER BY ID DESC",
                  {code, date}, [&versions](const Row &row) {
                      versions.append({row.text(0), QString(), row.text(1), row.text(2), ItemsFromJson(row.bytes(3))});
                      return true;
                  });
}

} // namespace worvane::sqlite
