// A day's history on the server: the versions its triggers kept.
#include "core/history.h"
#include "store/postgres/pgstore.h"

namespace worvane::postgres
{

Result<QList<DayVersion>> PgStore::dayHistory(const QString &code, const QString &date)
{
    Operation op(m_db);
    Result<QList<DayVersion>> result;
    if (!op.open() ||
        !m_db.run("SELECT to_char(SAVED, 'YYYY/MM/DD HH24:MI:SS'), SAVEDBY, WSTIME, WETIME, ITEMS::text FROM WV_HISTORY "
                  "WHERE WKUSER = session_user AND PJKEY = $1 AND WKYMD = $2 ORDER BY ROWNO DESC",
                  {AsciiFolded(code), date}, [&result](const Row &row) {
                      result.value.append(
                          {row.text(0), row.text(1), row.text(2), row.text(3), ItemsFromJson(row.bytes(4))});
                      return true;
                  }))
        return failed<QList<DayVersion>>();
    return result;
}

} // namespace worvane::postgres
