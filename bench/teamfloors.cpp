#include "floors.h"

#include "core/searchtext.h"

#include <libpq-fe.h>

#include <QDate>
#include <QFile>

#include <algorithm>
#include <tuple>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace bench
{

namespace
{
// The store's statements as it says them to the team database's server.
const char *const SelectTime = "SELECT WSTIME, WETIME, ROWNO FROM DF_WKTIME WHERE PJKEY = lower($1) AND "
                               "WKYMD = $2 ORDER BY ROWNO LIMIT 1";
const char *const SelectTimeForSave = "SELECT WSTIME, WETIME, ROWNO FROM DF_WKTIME WHERE PJKEY = lower($1) AND "
                                      "WKYMD = $2 ORDER BY ROWNO LIMIT 1 FOR UPDATE";
const char *const SelectItems =
    "SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT WHERE PJKEY = lower($1) AND WKYMD = $2 ORDER BY "
    "COALESCE(CAST(NULLIF(substring(WKCODE from '^\\s*[-+]?[0-9]{1,9}'), '') AS INTEGER), 0), WKCODE, ROWNO";
const char *const UpdateTime = "UPDATE DF_WKTIME SET WSTIME = $1, WETIME = $2, UPDYMD = $3 WHERE ROWNO = $4";
const char *const DeleteItems = "DELETE FROM DF_WKCONT WHERE PJKEY = lower($1) AND WKYMD = $2";

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The connection of this process, made on first use and kept open between runs, as the program keeps
// its own.
PGconn *connect(const std::string &uri)
{
    static std::map<std::string, Connection> kept;
    auto found = kept.find(uri);
    if (found == kept.end()) {
        Connection db(PQconnectdb(uri.c_str()), &PQfinish);
        if (PQstatus(db.get()) != CONNECTION_OK) {
            std::fprintf(stderr, "floor: cannot connect: %s", PQerrorMessage(db.get()));
            return nullptr;
        }
        found = kept.emplace(uri, std::move(db)).first;
    }
    return found->second.get();
}

Result run(PGconn *db, const char *sql, const std::vector<const char *> &params)
{
    Result r(PQexecParams(db, sql, int(params.size()), nullptr, params.data(), nullptr, nullptr, 0), &PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        std::fprintf(stderr, "floor: %s: %s", sql, PQerrorMessage(db));
        return Result(nullptr, &PQclear);
    }
    return r;
}

Result run(PGconn *db, const char *sql, std::initializer_list<const std::string *> values = {})
{
    std::vector<const char *> params;
    for (const std::string *v : values)
        params.push_back(v->c_str());
    return run(db, sql, params);
}

// The working-time row (locked, for a save), then the items; the row's number for a save.
bool readDay(PGconn *db, const std::string &code, const std::string &date, Day &day, bool forSave,
             std::string *rowNo = nullptr)
{
    const Result time = run(db, forSave ? SelectTimeForSave : SelectTime, {&code, &date});
    if (!time)
        return false;
    if (PQntuples(time.get()) == 0)
        return true;
    day.start = PQgetvalue(time.get(), 0, 0);
    day.end = PQgetvalue(time.get(), 0, 1);
    if (rowNo)
        *rowNo = PQgetvalue(time.get(), 0, 2);
    const Result items = run(db, SelectItems, {&code, &date});
    if (!items)
        return false;
    for (int r = 0; r < PQntuples(items.get()); ++r)
        day.items.push_back(Item{PQgetvalue(items.get(), r, 0), PQgetvalue(items.get(), r, 1),
                                 PQgetvalue(items.get(), r, 2)});
    return true;
}
} // namespace

bool TeamFloorLoadDay(const std::string &uri, const std::string &code, const std::string &date, Day &day)
{
    PGconn *db = connect(uri);
    return db && readDay(db, code, date, day, false);
}

bool TeamFloorSaveDay(const std::string &uri, const std::string &code, const std::string &date, const Day &day,
                      const std::string &timestamp)
{
    PGconn *db = connect(uri);
    Day stored;
    std::string rowNo;
    if (!db || !run(db, "BEGIN") || !readDay(db, code, date, stored, true, &rowNo) || rowNo.empty())
        return false;
    if (!run(db, UpdateTime, {&day.start, &day.end, &timestamp, &rowNo}) || !run(db, DeleteItems, {&code, &date}))
        return false;
    // The items in one statement: one round trip.
    std::string insert = "INSERT INTO DF_WKCONT VALUES ";
    std::vector<const char *> values;
    for (const Item &item : day.items) {
        const size_t n = values.size();
        insert += (n ? ", (" : "(") + std::string();
        for (size_t i = 1; i <= 5; ++i)
            insert += "$" + std::to_string(n + i) + (i < 5 ? ", " : ")");
        values.insert(values.end(), {code.c_str(), date.c_str(), item.code.c_str(), item.head.c_str(),
                                     item.detail.c_str()});
    }
    if (!day.items.empty() && !run(db, insert.c_str(), values))
        return false;
    return bool(run(db, "COMMIT"));
}

bool TeamFloorSearchPage(const std::string &uri, const std::string &word, std::vector<Hit> &hits)
{
    PGconn *db = connect(uri);
    if (!db)
        return false;
    // The reader's items that may hold the word, newest day first, with the day's code and project name;
    // the page's last day whole.
    const std::string pattern = "%" + worvane::SearchForm(QString::fromStdString(word)).toStdString() + "%";
    const std::string select =
        "SELECT c.WKYMD, t.PJCODE, c.WKCODE, c.WKHEAD, c.DETAIL, p.PJNAME FROM DF_WKCONT c JOIN LATERAL (SELECT "
        "w.PJCODE FROM DF_WKTIME w WHERE w.WKUSER = c.WKUSER AND w.PJKEY = c.PJKEY AND w.WKYMD = c.WKYMD ORDER BY "
        "w.ROWNO LIMIT 1) t ON true LEFT JOIN LATERAL (SELECT m.PJNAME FROM DM_PRJMST m WHERE m.PJKEY = c.PJKEY ORDER "
        "BY m.ROWNO LIMIT 1) p ON true WHERE c.WKUSER = current_user AND c.BODY LIKE $1 ESCAPE '\\'";
    const std::string order = " ORDER BY c.WKYMD DESC, c.PJKEY, c.ROWNO";
    struct Found {
        Hit hit;
        std::string detail;
    };
    std::vector<Found> found;
    const auto take = [&found](const Result &r) {
        for (int i = 0; r && i < PQntuples(r.get()); ++i)
            found.push_back({Hit{PQgetvalue(r.get(), i, 0), PQgetvalue(r.get(), i, 1), PQgetvalue(r.get(), i, 5),
                                 PQgetvalue(r.get(), i, 2), PQgetvalue(r.get(), i, 3), 0},
                             PQgetvalue(r.get(), i, 4)});
        return bool(r);
    };
    if (!take(run(db, (select + order + " LIMIT 100").c_str(), {&pattern})))
        return false;
    if (found.size() == 100) {
        const std::string last = found.back().hit.date;
        while (!found.empty() && found.back().hit.date == last)
            found.pop_back();
        if (!take(run(db, (select + " AND c.WKYMD = $2" + order).c_str(), {&pattern, &last})))
            return false;
    }
    // Each day's hits in its list order (number, then its text), those holding the word in the search form.
    const auto lowered = [](std::string code) {
        for (char &c : code)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        return code;
    };
    std::stable_sort(found.begin(), found.end(), [&](const Found &a, const Found &b) {
        if (a.hit.date != b.hit.date)
            return a.hit.date > b.hit.date;
        if (lowered(a.hit.code) != lowered(b.hit.code))
            return lowered(a.hit.code) < lowered(b.hit.code);
        return std::make_tuple(std::atoll(a.hit.item.c_str()), a.hit.item) <
               std::make_tuple(std::atoll(b.hit.item.c_str()), b.hit.item);
    });
    const QString form = worvane::SearchForm(QString::fromStdString(word));
    for (Found &f : found)
        if (worvane::SearchBody(QString::fromStdString(f.hit.head), QString::fromStdString(f.detail)).contains(form))
            hits.push_back(std::move(f.hit));
    return true;
}

bool TeamFloorSubmission(const std::string &uri, const std::string &month, std::vector<std::vector<std::string>> &grid)
{
    PGconn *db = connect(uri);
    if (!db)
        return false;
    const Result people =
        run(db, "SELECT r.rolname FROM pg_roles r WHERE r.rolcanlogin AND NOT r.rolsuper AND "
                "pg_has_role(r.oid, 'worvane_user', 'MEMBER') ORDER BY r.rolname COLLATE \"C\"");
    const std::string from = month + "/01", to = month + "/31";
    const Result states = run(db, "SELECT WKUSER, WKYMD, STATE FROM WV_DAYSTATE WHERE WKYMD BETWEEN $1 AND $2",
                              {&from, &to});
    if (!people || !states)
        return false;
    std::map<std::string, std::string> stateOf; // person TAB date
    for (int i = 0; i < PQntuples(states.get()); ++i)
        stateOf[std::string(PQgetvalue(states.get(), i, 0)) + '\t' + PQgetvalue(states.get(), i, 1)] =
            PQgetvalue(states.get(), i, 2);
    // The month's days off: Saturdays, Sundays and the holidays of the shipped table.
    const QDate first = QDate::fromString(QString::fromStdString(month + "/01"), QStringLiteral("yyyy/MM/dd"));
    QFile table(QStringLiteral(":/worvane/holidays.tsv"));
    if (!first.isValid() || !table.open(QIODevice::ReadOnly))
        return false;
    std::vector<bool> off(size_t(first.daysInMonth()));
    for (int d = 0; d < first.daysInMonth(); ++d)
        off[size_t(d)] = first.addDays(d).dayOfWeek() >= 6;
    const QByteArray prefix = QByteArray::fromStdString(month + "/");
    for (const QByteArray &line : table.readAll().split('\n'))
        if (line.startsWith(prefix))
            off[size_t(line.mid(8, 2).toInt() - 1)] = true;
    const QDate today = QDate::currentDate();
    const char *const counted[] = {"未入力", "提出済", "承認済", "差戻し"};
    for (int i = 0; i < PQntuples(people.get()); ++i) {
        const std::string person = PQgetvalue(people.get(), i, 0);
        std::vector<std::string> row{person};
        int counts[4] = {};
        for (int d = 0; d < first.daysInMonth(); ++d) {
            const QDate day = first.addDays(d);
            const auto found = stateOf.find(person + '\t' + day.toString(QStringLiteral("yyyy/MM/dd")).toStdString());
            std::string status = found != stateOf.end() ? found->second
                                 : !off[size_t(d)] && day < today ? counted[0]
                                                                    : "";
            for (int k = 0; k < 4; ++k)
                counts[k] += status == counted[k];
            row.push_back(std::move(status));
        }
        for (int k = 0; k < 4; ++k)
            row.push_back(std::to_string(counts[k]));
        grid.push_back(std::move(row));
    }
    return true;
}

} // namespace bench
