#include "floors.h"

#include "core/searchtext.h"

#include <QBuffer>
#include <QDate>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QString>

#include <QJsonArray>
#include <QJsonDocument>

#include <sqlite3.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <map>
#include <optional>
#include <unistd.h>

namespace bench
{

namespace
{
// The statements as the store issues them.
const char *const SearchAll = "SELECT PJCODE, PJNAME FROM DM_PRJMST ORDER BY PJCODE COLLATE NOCASE, rowid";
const char *const SelectTime =
    "SELECT WSTIME, WETIME, rowid FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
    "ORDER BY rowid LIMIT 1";
const char *const SelectItems = "SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT "
                                "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                                "ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid";
const char *const UpdateTime = "UPDATE DF_WKTIME SET WSTIME = ?, WETIME = ?, UPDYMD = ? WHERE rowid = ?";
const char *const DeleteItems = "DELETE FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ?";
const char *const InsertItem = "INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)";
const char *const RangeDays =
    "SELECT t.PJCODE, (SELECT p.PJNAME FROM DM_PRJMST p WHERE p.PJCODE = t.PJCODE COLLATE NOCASE "
    "ORDER BY p.rowid LIMIT 1), t.WKYMD, t.WSTIME, t.WETIME FROM DF_WKTIME t WHERE t.WKYMD BETWEEN ? AND ? "
    "ORDER BY t.WKYMD, t.PJCODE COLLATE NOCASE, t.rowid";
const char *const RangeDaysCounted =
    "SELECT t.PJCODE, (SELECT p.PJNAME FROM DM_PRJMST p WHERE p.PJCODE = t.PJCODE COLLATE NOCASE "
    "ORDER BY p.rowid LIMIT 1), t.WKYMD, t.WSTIME, t.WETIME, (SELECT COUNT(*) FROM DF_WKCONT c "
    "WHERE c.PJCODE = t.PJCODE COLLATE NOCASE AND c.WKYMD = t.WKYMD) FROM DF_WKTIME t "
    "WHERE t.WKYMD BETWEEN ? AND ? ORDER BY t.WKYMD, t.PJCODE COLLATE NOCASE, t.rowid";

struct Db {
    sqlite3 *h = nullptr;
    explicit Db(const std::string &path)
    {
        if (sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "floor: cannot open %s\n", path.c_str());
            sqlite3_close(h);
            h = nullptr;
        } else {
            sqlite3_busy_timeout(h, 5000);
        }
    }
    ~Db() { sqlite3_close(h); }
};

struct Stmt {
    sqlite3_stmt *s = nullptr;
    Stmt(sqlite3 *db, const char *sql)
    {
        if (db && sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "floor: %s: %s\n", sql, sqlite3_errmsg(db));
    }
    ~Stmt() { sqlite3_finalize(s); }
    void bind(int i, const std::string &t)
    {
        sqlite3_bind_text(s, i, t.data(), int(t.size()), SQLITE_STATIC);
    }
    std::string text(int i) const
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, i));
        return p ? std::string(p, size_t(sqlite3_column_bytes(s, i))) : std::string();
    }
};

bool exec(sqlite3 *db, const std::string &sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as it is (UTF-8).
std::string jsonText(const std::string &text)
{
    std::string j = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            j += '\\';
            j += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            j += escaped;
        } else {
            j += c;
        }
    }
    return j + '"';
}

std::string quoted(const std::string &text)
{
    std::string q = "'";
    for (char c : text) {
        q += c;
        if (c == '\'')
            q += '\'';
    }
    return q + "'";
}
} // namespace

bool FloorProjectSearch(const std::string &path, std::vector<std::pair<std::string, std::string>> &rows,
                        int limit)
{
    Db db(path);
    Stmt q(db.h, (std::string(SearchAll) + (limit > 0 ? " LIMIT " + std::to_string(limit) : "")).c_str());
    if (!q.s)
        return false;
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW)
        rows.emplace_back(q.text(0), q.text(1));
    return rc == SQLITE_DONE;
}

long FloorProjectCount(const std::string &path)
{
    Db db(path);
    Stmt q(db.h, "SELECT COUNT(*) FROM DM_PRJMST");
    return q.s && sqlite3_step(q.s) == SQLITE_ROW ? long(sqlite3_column_int64(q.s, 0)) : -1;
}

bool FloorLoadDay(const std::string &path, const std::string &code, const std::string &date, Day &day)
{
    Db db(path);
    Stmt time(db.h, SelectTime);
    if (!time.s)
        return false;
    time.bind(1, code);
    time.bind(2, date);
    int rc = sqlite3_step(time.s);
    if (rc != SQLITE_ROW)
        return rc == SQLITE_DONE;
    day.start = time.text(0);
    day.end = time.text(1);
    Stmt items(db.h, SelectItems);
    if (!items.s)
        return false;
    items.bind(1, code);
    items.bind(2, date);
    while ((rc = sqlite3_step(items.s)) == SQLITE_ROW)
        day.items.push_back(Item{items.text(0), items.text(1), items.text(2)});
    return rc == SQLITE_DONE;
}

bool FloorSaveDay(const std::string &path, const std::string &code, const std::string &date, const Day &day,
                  const std::string &timestamp)
{
    Db db(path);
    if (!db.h || !exec(db.h, "BEGIN IMMEDIATE"))
        return false;
    bool ok = false;
    {
        // The day as stored, read again in the transaction: the check that it is still the one loaded, and
        // the working-time row to change.
        Stmt time(db.h, SelectTime), items(db.h, SelectItems);
        time.bind(1, code);
        time.bind(2, date);
        items.bind(1, code);
        items.bind(2, date);
        if (!time.s || !items.s || sqlite3_step(time.s) != SQLITE_ROW)
            return false;
        while (sqlite3_step(items.s) == SQLITE_ROW) {
        }
        const sqlite3_int64 rowid = sqlite3_column_int64(time.s, 2);
        sqlite3_reset(time.s);
        sqlite3_reset(items.s);
        Stmt update(db.h, UpdateTime), remove(db.h, DeleteItems), insert(db.h, InsertItem);
        update.bind(1, day.start);
        update.bind(2, day.end);
        update.bind(3, timestamp);
        sqlite3_bind_int64(update.s, 4, rowid);
        remove.bind(1, code);
        remove.bind(2, date);
        ok = sqlite3_step(update.s) == SQLITE_DONE && sqlite3_step(remove.s) == SQLITE_DONE;
        for (const Item &item : day.items) {
            if (!ok)
                break;
            insert.bind(1, code);
            insert.bind(2, date);
            insert.bind(3, item.code);
            insert.bind(4, item.head);
            insert.bind(5, item.detail);
            ok = sqlite3_step(insert.s) == SQLITE_DONE && sqlite3_reset(insert.s) == SQLITE_OK;
        }
        // The version the save keeps: its times and items as a JSON array, in the same transaction.
        std::string kept = "[";
        for (const Item &item : day.items)
            kept += (kept.size() > 1 ? "," : "") + std::string("[") + jsonText(item.code) + "," +
                    jsonText(item.head) + "," + jsonText(item.detail) + "]";
        kept += "]";
        ok = ok &&
             exec(db.h, "CREATE TABLE IF NOT EXISTS WKHISTORY (ID INTEGER PRIMARY KEY, PJCODE TEXT NOT NULL, WKYMD "
                        "TEXT NOT NULL, WSTIME TEXT, WETIME TEXT, ITEMS TEXT NOT NULL, SAVED TEXT NOT NULL)") &&
             exec(db.h, "CREATE INDEX IF NOT EXISTS WKHISTORY_DAY ON WKHISTORY (PJCODE COLLATE NOCASE, WKYMD, ID)");
        Stmt version(db.h, "INSERT INTO WKHISTORY (PJCODE, WKYMD, WSTIME, WETIME, ITEMS, SAVED) VALUES (?, ?, ?, ?, ?, ?)");
        version.bind(1, code);
        version.bind(2, date);
        version.bind(3, day.start);
        version.bind(4, day.end);
        version.bind(5, kept);
        version.bind(6, timestamp);
        ok = ok && sqlite3_step(version.s) == SQLITE_DONE;
    }
    return exec(db.h, ok ? "COMMIT" : "ROLLBACK") && ok;
}

bool FloorHistory(const std::string &path, const std::string &code, const std::string &date, const Day &screen,
                  std::vector<std::vector<std::string>> &versions, std::vector<std::vector<std::string>> &lines)
{
    Db db(path);
    Stmt q(db.h, "SELECT SAVED, WSTIME, WETIME, ITEMS FROM WKHISTORY WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                 "ORDER BY ID DESC");
    if (!q.s)
        return false;
    q.bind(1, code);
    q.bind(2, date);
    std::string newest;
    while (sqlite3_step(q.s) == SQLITE_ROW) {
        const QJsonArray items = QJsonDocument::fromJson(QByteArray::fromStdString(q.text(3))).array();
        if (versions.empty())
            newest = q.text(3);
        versions.push_back({q.text(0), q.text(1), q.text(2), std::to_string(items.size())});
    }
    if (versions.empty())
        return true;
    // The newest version beside the screen: the times, then the items by number (here all alike).
    const auto mark = [](const std::string &then, const std::string &now) { return then == now ? "" : "変更"; };
    lines.push_back({"開始", versions[0][1], screen.start, mark(versions[0][1], screen.start)});
    lines.push_back({"終了", versions[0][2], screen.end, mark(versions[0][2], screen.end)});
    const QJsonArray kept = QJsonDocument::fromJson(QByteArray::fromStdString(newest)).array();
    for (qsizetype i = 0; i < kept.size() && i < qsizetype(screen.items.size()); ++i) {
        const QJsonArray item = kept.at(i).toArray();
        const Item &now = screen.items[size_t(i)];
        const std::string head = item.at(1).toString().toStdString();
        lines.push_back({now.code, head, now.head,
                         head == now.head && item.at(2).toString().toStdString() == now.detail ? "" : "変更"});
    }
    return true;
}

bool OriginalSaveDay(const std::string &path, const std::string &code, const std::string &date,
                     const Day &day, const std::string &timestamp)
{
    Db db(path);
    if (!db.h)
        return false;
    const std::string key = " WHERE PJCODE = " + quoted(code) + " AND WKYMD = " + quoted(date);
    bool exists = false;
    auto found = [](void *flag, int, char **, char **) {
        *static_cast<bool *>(flag) = true;
        return 0;
    };
    if (sqlite3_exec(db.h, ("SELECT * FROM DF_WKTIME" + key).c_str(), found, &exists, nullptr) != SQLITE_OK ||
        !exists)
        return false;
    bool ok = exec(db.h, "UPDATE DF_WKTIME SET WSTIME = " + quoted(day.start) +
                             ", WETIME = " + quoted(day.end) + ", UPDYMD = " + quoted(timestamp) + key) &&
              exec(db.h, "DELETE FROM DF_WKCONT" + key);
    for (const Item &item : day.items) {
        if (!ok)
            break;
        ok = exec(db.h, "INSERT INTO DF_WKCONT VALUES (" + quoted(code) + ", " + quoted(date) + ", " +
                            quoted(item.code) + ", " + quoted(item.head) + ", " + quoted(item.detail) + ")");
    }
    return ok;
}

bool FloorCompact(const std::string &path)
{
    Db db(path);
    return db.h && exec(db.h, "VACUUM");
}

bool FloorWriteFile(const std::string &path, const std::string &bytes)
{
    const std::string part = path + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()) && ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && written && ::rename(part.c_str(), path.c_str()) == 0;
}

namespace
{
std::optional<int> minutesOf(const std::string &t)
{
    if (t.size() != 5 || t[2] != ':')
        return std::nullopt;
    for (int i : {0, 1, 3, 4})
        if (t[size_t(i)] < '0' || t[size_t(i)] > '9')
            return std::nullopt;
    const int m = (t[3] - '0') * 10 + (t[4] - '0');
    if (m >= 60)
        return std::nullopt;
    return ((t[0] - '0') * 10 + (t[1] - '0')) * 60 + m;
}

std::optional<int> dayMinutes(const std::string &start, const std::string &end)
{
    const auto s = minutesOf(start), e = minutesOf(end);
    if (!s || !e || *e < *s)
        return std::nullopt;
    return *e - *s;
}

std::string hours(long long minutes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", minutes / 60, minutes % 60);
    return text;
}

std::string folded(std::string code)
{
    for (char &c : code)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return code;
}

// Every line break (CR LF, LF, CR) as `to`.
std::string breaksAs(const std::string &text, const char *to)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += to;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void csvField(std::string &out, const std::string &value)
{
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        out += value;
        return;
    }
    std::string quoted;
    for (char c : value) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    out += '"';
    out += breaksAs(quoted, "\r\n");
    out += '"';
}

// Steps the range's days, and with items set each day's items, into visit(code, name, date, start, end,
// items); the items of a day come from the item statement of a day's load.
template <class Visit>
bool eachDay(sqlite3 *db, const std::string &from, const std::string &to, bool items, Visit visit)
{
    Stmt days(db, RangeDays), dayItems(db, SelectItems);
    if (!days.s || !dayItems.s)
        return false;
    days.bind(1, from);
    days.bind(2, to);
    int rc;
    std::vector<Item> list;
    while ((rc = sqlite3_step(days.s)) == SQLITE_ROW) {
        list.clear();
        const std::string code = days.text(0), date = days.text(2);
        if (items) {
            dayItems.bind(1, code);
            dayItems.bind(2, date);
            int irc;
            while ((irc = sqlite3_step(dayItems.s)) == SQLITE_ROW)
                list.push_back(Item{dayItems.text(0), dayItems.text(1), dayItems.text(2)});
            if (irc != SQLITE_DONE || sqlite3_reset(dayItems.s) != SQLITE_OK)
                return false;
        }
        if (!visit(code, days.text(1), date, days.text(3), days.text(4), list))
            return false;
    }
    return rc == SQLITE_DONE;
}

bool writeAll(int fd, const std::string &bytes)
{
    return ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}
} // namespace

std::string BusiestMonth(const std::string &path)
{
    Db db(path);
    Stmt q(db.h, "SELECT substr(WKYMD, 1, 7) AS m, COUNT(*) AS n FROM DF_WKCONT GROUP BY m "
                 "ORDER BY n DESC, m LIMIT 1");
    return q.s && sqlite3_step(q.s) == SQLITE_ROW ? q.text(0) : std::string();
}

bool FloorMonthGrid(const std::string &path, const std::string &month,
                    std::vector<std::vector<std::string>> &grid)
{
    const int year = std::stoi(month.substr(0, 4)), mon = std::stoi(month.substr(5, 2));
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days = lengths[mon - 1] + (mon == 2 && leap ? 1 : 0);
    struct Project {
        std::string code, name;
        std::vector<std::string> cells;
        long long minutes = 0;
    };
    std::map<std::string, Project> projects;
    std::vector<long long> dayMinutesSum(size_t(days) + 1, 0);
    Db db(path);
    Stmt q(db.h, RangeDays);
    if (!q.s)
        return false;
    const std::string first = month + "/01", last = month + "/" + std::to_string(days);
    q.bind(1, first);
    q.bind(2, last);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
        const std::string code = q.text(0), date = q.text(2);
        Project &p = projects[folded(code)];
        if (p.cells.empty()) {
            p.code = code;
            p.cells.assign(size_t(days) + 1, std::string());
        }
        if (p.name.empty())
            p.name = q.text(1);
        const int day = std::stoi(date.substr(8, 2));
        const auto m = dayMinutes(q.text(3), q.text(4));
        p.cells[size_t(day)] = m ? hours(*m) : "※";
        p.minutes += m.value_or(0);
        dayMinutesSum[size_t(day)] += m.value_or(0);
    }
    if (rc != SQLITE_DONE)
        return false;
    long long all = 0;
    for (auto &[key, p] : projects) {
        std::vector<std::string> row{p.code, p.name};
        row.insert(row.end(), p.cells.begin() + 1, p.cells.end());
        row.push_back(hours(p.minutes));
        grid.push_back(std::move(row));
        all += p.minutes;
    }
    std::vector<std::string> total{"合計", ""};
    for (int d = 1; d <= days; ++d)
        total.push_back(dayMinutesSum[size_t(d)] > 0 ? hours(dayMinutesSum[size_t(d)]) : std::string());
    total.push_back(hours(all));
    grid.push_back(std::move(total));
    return true;
}

bool FloorMonthTimes(const std::string &path, const std::string &month, std::vector<DayTime> &times)
{
    Db db(path);
    Stmt q(db.h, RangeDays);
    if (!q.s)
        return false;
    const std::string first = month + "/01", last = month + "/31";
    q.bind(1, first);
    q.bind(2, last);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW)
        times.push_back(DayTime{folded(q.text(0)), std::stoi(q.text(2).substr(8, 2)),
                                dayMinutes(q.text(3), q.text(4)).value_or(-1)});
    return rc == SQLITE_DONE;
}

bool FloorTotals(const std::string &path, const std::string &from, const std::string &to, std::string &text)
{
    struct Total {
        std::string code, name;
        long long days = 0, items = 0, minutes = 0;
    };
    std::map<std::string, Total> projects;
    Total all{"合計", ""};
    Db db(path);
    Stmt q(db.h, RangeDaysCounted);
    if (!q.s)
        return false;
    q.bind(1, from);
    q.bind(2, to);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
        Total &p = projects[folded(q.text(0))];
        if (p.days == 0)
            p.code = q.text(0);
        if (p.name.empty())
            p.name = q.text(1);
        const long long minutes = dayMinutes(q.text(3), q.text(4)).value_or(0);
        for (Total *t : {&p, &all}) {
            ++t->days;
            t->items += sqlite3_column_int64(q.s, 5);
            t->minutes += minutes;
        }
    }
    if (rc != SQLITE_DONE)
        return false;
    const auto line = [&text](const Total &t) {
        text += t.code + '\t' + t.name + '\t' + std::to_string(t.days) + '\t' + std::to_string(t.items) +
                '\t' + hours(t.minutes) + '\n';
    };
    for (const auto &[key, p] : projects)
        line(p);
    line(all);
    return true;
}

bool FloorCsv(const std::string &path, const std::string &from, const std::string &to,
              const std::string &file)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::string out = "\xEF\xBB\xBF日付,PJコード,PJ名称,開始,終了,時間,作業項目№,作業項目,作業内容,日計\r\n";
    Db db(path);
    bool ok = eachDay(db.h, from, to, true,
                      [&](const std::string &code, const std::string &name, const std::string &date,
                          const std::string &start, const std::string &end, const std::vector<Item> &items) {
                          std::string head;
                          csvField(head, date);
                          head += ',';
                          csvField(head, code);
                          head += ',';
                          csvField(head, name);
                          head += ',';
                          csvField(head, start);
                          head += ',';
                          csvField(head, end);
                          head += ',';
                          std::string dayHours; // on the day's first row only
                          if (const auto m = dayMinutes(start, end))
                              dayHours = hours(*m);
                          head += dayHours;
                          const auto row = [&](const Item &item) {
                              out += head;
                              out += ',';
                              csvField(out, item.code);
                              out += ',';
                              csvField(out, item.head);
                              out += ',';
                              csvField(out, item.detail);
                              out += ',';
                              out += dayHours;
                              dayHours.clear();
                              out += "\r\n";
                          };
                          if (items.empty())
                              row(Item{});
                          for (const Item &item : items)
                              row(item);
                          if (out.size() < (1 << 16))
                              return true;
                          const bool written = writeAll(fd, out);
                          out.clear();
                          return written;
                      });
    ok = ok && writeAll(fd, out);
    return ::close(fd) == 0 && ok;
}

bool FloorXlsx(const std::string &path, const std::string &from, const std::string &to,
               const std::string &file)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(file.c_str(), &options);
    if (!book)
        return false;
    lxw_worksheet *sheet = workbook_add_worksheet(book, "日報");
    lxw_format *dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy/mm/dd");
    lxw_format *hoursFormat = workbook_add_format(book);
    format_set_num_format(hoursFormat, "[h]:mm");
    lxw_format *monthFormat = workbook_add_format(book);
    format_set_num_format(monthFormat, "yyyy/mm");
    lxw_format *wrapFormat = workbook_add_format(book);
    format_set_text_wrap(wrapFormat);
    worksheet_set_column(sheet, 0, 0, 11, nullptr);
    worksheet_set_column(sheet, 2, 2, 24, nullptr);
    worksheet_set_column(sheet, 7, 8, 30, nullptr);
    const char *const header[] = {"日付", "PJコード",  "PJ名称",   "開始",     "終了",
                                  "時間", "作業項目№", "作業項目", "作業内容", "日計"};
    for (lxw_col_t c = 0; c < 10; ++c)
        worksheet_write_string(sheet, 0, c, header[c], nullptr);
    const auto text = [&](lxw_row_t r, lxw_col_t c, const std::string &value, lxw_format *format = nullptr) {
        if (!value.empty())
            worksheet_write_string(sheet, r, c, value.c_str(), format);
    };
    const auto time = [&](lxw_row_t r, lxw_col_t c, const std::string &value) {
        if (const auto m = minutesOf(value))
            worksheet_write_number(sheet, r, c, *m / 1440.0, hoursFormat);
        else
            text(r, c, value);
    };
    lxw_row_t row = 1;
    Db db(path);
    const bool ok =
        eachDay(db.h, from, to, true,
                [&](const std::string &code, const std::string &name, const std::string &date,
                    const std::string &start, const std::string &end, const std::vector<Item> &items) {
                    lxw_datetime when{std::stoi(date.substr(0, 4)),
                                      std::stoi(date.substr(5, 2)),
                                      std::stoi(date.substr(8, 2)),
                                      0,
                                      0,
                                      0.0};
                    const auto minutes = dayMinutes(start, end);
                    const std::vector<Item> rows = items.empty() ? std::vector<Item>{Item{}} : items;
                    bool first = true;
                    for (const Item &item : rows) {
                        worksheet_write_datetime(sheet, row, 0, &when, dateFormat);
                        text(row, 1, code);
                        text(row, 2, name);
                        time(row, 3, start);
                        time(row, 4, end);
                        if (minutes)
                            worksheet_write_number(sheet, row, 5, *minutes / 1440.0, hoursFormat);
                        text(row, 6, item.code);
                        text(row, 7, item.head);
                        text(row, 8, breaksAs(item.detail, "\n"), wrapFormat);
                        const std::string r = std::to_string(row + 1), above = std::to_string(row);
                        const std::string formula =
                            "=IF(AND(A" + r + "=A" + above + ",B" + r + "=B" + above + "),0,F" + r + ")";
                        worksheet_write_formula_num(sheet, row, 9, formula.c_str(), hoursFormat,
                                                    first && minutes ? *minutes / 1440.0 : 0.0);
                        first = false;
                        ++row;
                    }
                    return true;
                });
    return workbook_close(book) == LXW_NO_ERROR && ok;
}

namespace
{
// The search index's key of a day's first item: its julian day above the low 32 bits.
sqlite3_int64 dayKey(const std::string &ymd)
{
    const QDate date = QDate::fromString(QString::fromStdString(ymd), QStringLiteral("yyyy/MM/dd"));
    return date.isValid() ? sqlite3_int64(date.toJulianDay()) << 32 : 0;
}

std::string searchForm(const std::string &text)
{
    return worvane::SearchForm(QString::fromStdString(text)).toStdString();
}
} // namespace

bool FloorBuildIndex(const std::string &path)
{
    Db db(path);
    if (!db.h || !exec(db.h, "PRAGMA cache_size = -65536") || !exec(db.h, "BEGIN IMMEDIATE") ||
        !exec(db.h, "CREATE TABLE WKSEARCH_ITEM (ID INTEGER PRIMARY KEY, PJCODE TEXT COLLATE NOCASE, "
                    "WKYMD TEXT, ORD INTEGER)") ||
        !exec(db.h, "CREATE INDEX WKSEARCH_ITEM_DAY ON WKSEARCH_ITEM (PJCODE, WKYMD)") ||
        !exec(db.h, "CREATE VIRTUAL TABLE WKSEARCH USING fts5(BODY, tokenize = 'trigram case_sensitive 1', "
                    "detail = none)") ||
        !exec(db.h, "CREATE VIRTUAL TABLE WKSEARCH_GRAM USING fts5(GRAMS, content = '', tokenize = 'ascii', "
                    "detail = none, columnsize = 0)"))
        return false;
    {
        Stmt days(db.h, "SELECT PJCODE, WKYMD FROM DF_WKTIME ORDER BY WKYMD, PJCODE");
        Stmt items(db.h, "SELECT WKHEAD, DETAIL FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                         "ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid");
        Stmt addItem(db.h, "INSERT INTO WKSEARCH_ITEM VALUES (?, ?, ?, ?)");
        Stmt addBody(db.h, "INSERT INTO WKSEARCH (rowid, BODY) VALUES (?, ?)");
        Stmt addGrams(db.h, "INSERT INTO WKSEARCH_GRAM (rowid, GRAMS) VALUES (?, ?)");
        if (!days.s || !items.s || !addItem.s || !addBody.s || !addGrams.s)
            return false;
        int rc;
        std::string lastDate;
        sqlite3_int64 key = 0; // the items of one date, whatever their project, are numbered on
        while ((rc = sqlite3_step(days.s)) == SQLITE_ROW) {
            const std::string code = days.text(0), date = days.text(1);
            if (date != lastDate)
                key = dayKey(date);
            lastDate = date;
            items.bind(1, code);
            items.bind(2, date);
            int place = 0; // the item's place in the day's order
            while ((rc = sqlite3_step(items.s)) == SQLITE_ROW) {
                const std::string body = searchForm(items.text(0)) + '\n' + searchForm(items.text(1));
                sqlite3_bind_int64(addItem.s, 1, key);
                addItem.bind(2, code);
                addItem.bind(3, date);
                sqlite3_bind_int(addItem.s, 4, place++);
                sqlite3_bind_int64(addBody.s, 1, key);
                addBody.bind(2, body);
                sqlite3_bind_int64(addGrams.s, 1, key);
                addGrams.bind(2, worvane::SearchGrams(QString::fromStdString(body)).toStdString());
                if (sqlite3_step(addItem.s) != SQLITE_DONE || sqlite3_step(addBody.s) != SQLITE_DONE ||
                    sqlite3_step(addGrams.s) != SQLITE_DONE)
                    return false;
                sqlite3_reset(addItem.s);
                sqlite3_reset(addBody.s);
                sqlite3_reset(addGrams.s);
                ++key;
            }
            if (rc != SQLITE_DONE)
                return false;
            sqlite3_reset(items.s);
        }
        if (rc != SQLITE_DONE)
            return false;
    }
    return exec(db.h, "COMMIT");
}

long long IndexBytes(const std::string &path)
{
    Db db(path);
    Stmt q(db.h, "SELECT SUM(pgsize) FROM dbstat WHERE name LIKE 'WKSEARCH%'");
    return q.s && sqlite3_step(q.s) == SQLITE_ROW ? sqlite3_column_int64(q.s, 0) : -1;
}

std::string IndexCheck(const std::string &path)
{
    Db db(path);
    Stmt q(db.h, "SELECT i.ID, i.PJCODE, i.WKYMD, i.ORD, f.BODY FROM WKSEARCH_ITEM i JOIN WKSEARCH f "
                 "ON f.rowid = i.ID ORDER BY i.ID");
    if (!q.s)
        return {};
    unsigned long long h = Digest("");
    long long count = 0;
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
        h = Digest(std::to_string(sqlite3_column_int64(q.s, 0)) + '\t' + q.text(1) + '\t' + q.text(2) + '\t' +
                       q.text(3) + '\t' + q.text(4) + '\n',
                   h);
        ++count;
    }
    if (rc != SQLITE_DONE)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%lld entries %016llx", count, h);
    return text;
}

bool FloorSearchPage(const std::string &path, const std::string &word, std::vector<Hit> &hits)
{
    constexpr int PageSize = 100;
    const std::string form = searchForm(word);
    const bool pairs = QString::fromStdString(form).toUcs4().size() < 3;
    const std::string sql =
        pairs ? "SELECT i.ID, i.PJCODE, i.WKYMD, i.ORD FROM WKSEARCH_GRAM f JOIN WKSEARCH_ITEM i ON i.ID = f.rowid "
                "WHERE f.rowid < ? AND f.rowid >= ? AND WKSEARCH_GRAM MATCH ? ORDER BY f.rowid DESC LIMIT ?"
              : "SELECT i.ID, i.PJCODE, i.WKYMD, i.ORD FROM WKSEARCH f JOIN WKSEARCH_ITEM i ON i.ID = f.rowid "
                "WHERE f.rowid < ? AND f.rowid >= ? AND f.BODY GLOB ? ORDER BY f.rowid DESC LIMIT ?";
    const std::string pattern =
        pairs ? worvane::GramQuery(QString::fromStdString(form)).toStdString() : "*" + form + "*";
    Db db(path);
    Stmt q(db.h, sql.c_str());
    if (!q.s)
        return false;
    sqlite3_int64 lastId = 0;
    int fetched = 0;
    const auto take = [&](sqlite3_int64 upper, sqlite3_int64 lower, int limit) {
        sqlite3_reset(q.s);
        sqlite3_bind_int64(q.s, 1, upper);
        sqlite3_bind_int64(q.s, 2, lower);
        q.bind(3, pattern);
        sqlite3_bind_int(q.s, 4, limit);
        int rc;
        while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
            lastId = sqlite3_column_int64(q.s, 0);
            ++fetched;
            hits.push_back(Hit{q.text(2), q.text(1), {}, {}, {}, sqlite3_column_int(q.s, 3)});
        }
        return rc == SQLITE_DONE;
    };
    const sqlite3_int64 lowest = std::numeric_limits<sqlite3_int64>::min();
    if (!take(std::numeric_limits<sqlite3_int64>::max(), lowest, PageSize))
        return false;
    if (fetched == PageSize && !take(lastId, std::max(lowest, lastId >> 32 << 32), -1))
        return false;

    std::stable_sort(hits.begin(), hits.end(), [](const Hit &a, const Hit &b) {
        if (a.date != b.date)
            return a.date > b.date;
        if (a.code != b.code)
            return folded(a.code) < folded(b.code);
        return a.place < b.place;
    });
    Stmt item(db.h, "SELECT WKCODE, WKHEAD FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                    "ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid LIMIT ?");
    Stmt name(db.h, "SELECT PJNAME FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE ORDER BY rowid LIMIT 1");
    if (!item.s || !name.s)
        return false;
    std::map<std::string, std::string> names;
    // Each day's items read once, as far as its last hit.
    std::vector<std::pair<std::string, std::string>> day; // number and title by place
    for (size_t h = 0; h < hits.size(); ++h) {
        Hit &hit = hits[h];
        if (h == 0 || hit.date != hits[h - 1].date || folded(hit.code) != folded(hits[h - 1].code)) {
            size_t last = h;
            while (last + 1 < hits.size() && hits[last + 1].date == hit.date &&
                   folded(hits[last + 1].code) == folded(hit.code))
                ++last;
            day.clear();
            sqlite3_reset(item.s);
            item.bind(1, hit.code);
            item.bind(2, hit.date);
            sqlite3_bind_int(item.s, 3, hits[last].place + 1);
            while (sqlite3_step(item.s) == SQLITE_ROW)
                day.emplace_back(item.text(0), item.text(1));
        }
        if (size_t(hit.place) < day.size()) {
            hit.item = day[size_t(hit.place)].first;
            hit.head = day[size_t(hit.place)].second;
        }
        auto found = names.find(folded(hit.code));
        if (found == names.end()) {
            sqlite3_reset(name.s);
            name.bind(1, hit.code);
            found = names.emplace(folded(hit.code), sqlite3_step(name.s) == SQLITE_ROW ? name.text(0) : "").first;
        }
        hit.name = found->second;
    }
    return true;
}

unsigned long long Digest(const std::string &bytes, unsigned long long h)
{
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

unsigned long long DigestDay(const Day &day)
{
    unsigned long long h = Digest(day.start + '|' + day.end);
    for (const Item &item : day.items)
        h = Digest(item.code + '|' + item.head + '|' + item.detail + '\n', h);
    return h;
}


bool FloorMonthPdf(const std::string &path, const std::string &month, const std::string &file)
{
    struct Line {
        std::string code, name;
        std::map<int, long long> minutes; // by day
    };
    std::map<std::string, Line> projects;
    std::vector<std::string> itemLines;
    {
        Db db(path);
        const bool read = eachDay(db.h, month + "/01", month + "/31", true,
                                  [&](const std::string &code, const std::string &name, const std::string &date,
                                      const std::string &start, const std::string &end, const std::vector<Item> &items) {
                                      Line &line = projects[folded(code)];
                                      line.code = code;
                                      line.name = name;
                                      line.minutes[std::stoi(date.substr(8, 2))] += dayMinutes(start, end).value_or(0);
                                      itemLines.push_back(date + "　" + code + "　" + name + "　" + start + "～" + end);
                                      for (const Item &item : items) {
                                          itemLines.push_back("  " + item.code + "　" + item.head);
                                          std::string detail = breaksAs(item.detail, "\n");
                                          for (size_t at = 0, next; at <= detail.size(); at = next + 1) {
                                              next = std::min(detail.find('\n', at), detail.size());
                                              if (next > at)
                                                  itemLines.push_back("      " + detail.substr(at, next - at));
                                          }
                                      }
                                      return true;
                                  });
        if (!read)
            return false;
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&bytes);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        writer.setResolution(300);
        QPainter painter(&writer);
        QFont font;
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP")});
        font.setPointSizeF(8);
        painter.setFont(font);
        const qreal line = QFontMetricsF(font, &writer).height() * 1.15;
        const qreal width = writer.width(), bottom = writer.height() - line * 2;
        int page = 1;
        const auto foot = [&] {
            painter.drawText(QRectF(0, writer.height() - line, width, line), Qt::AlignCenter,
                             QStringLiteral("- %1 -").arg(page));
        };
        qreal y = 0;
        painter.drawText(QRectF(0, y, width, line), QString::fromStdString(month));
        y += line * 1.5;
        // A line per project: its code and name, then its hours under each day.
        const qreal dayWidth = (width - width * 0.2) / 31;
        std::map<int, long long> dayTotals;
        for (const auto &[key, project] : projects) {
            painter.drawText(QRectF(0, y, width * 0.2, line), QString::fromStdString(project.code + " " + project.name));
            for (const auto &[day, minutes] : project.minutes) {
                painter.drawText(QRectF(width * 0.2 + (day - 1) * dayWidth, y, dayWidth, line), Qt::AlignRight,
                                 QString::fromStdString(hours(minutes)));
                dayTotals[day] += minutes;
            }
            y += line;
        }
        // The bars: a day's projects one above the other.
        const qreal base = bottom, height = bottom - y - line;
        long long highest = 60;
        for (const auto &[day, minutes] : dayTotals)
            highest = std::max(highest, minutes);
        static const QColor colours[] = {QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9), QColor(0x00, 0x9E, 0x73),
                                         QColor(0xF0, 0xE4, 0x42), QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00),
                                         QColor(0xCC, 0x79, 0xA7)};
        std::map<int, long long> below;
        size_t colour = 0;
        for (const auto &[key, project] : projects) {
            for (const auto &[day, minutes] : project.minutes) {
                const qreal top = base - height * qreal(below[day] + minutes) / qreal(highest);
                painter.fillRect(QRectF(width * 0.2 + (day - 1) * dayWidth, top, dayWidth * 0.7,
                                        height * qreal(minutes) / qreal(highest)),
                                 colours[colour % 7]);
                below[day] += minutes;
            }
            ++colour;
        }
        // The items, a line each, on the following pages.
        foot();
        writer.newPage();
        ++page;
        y = 0;
        for (const std::string &text : itemLines) {
            if (y + line > bottom) {
                foot();
                writer.newPage();
                ++page;
                y = 0;
            }
            painter.drawText(QRectF(0, y, width, line), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(text));
            y += line;
        }
        foot();
    }
    return FloorWriteFile(file, bytes.data().toStdString());
}


std::string PdfCheck(const std::string &path, const std::string &month, const std::string &pdf)
{
    const auto plain = [](const QString &text) {
        QString out = text.normalized(QString::NormalizationForm_KC);
        out.remove(QRegularExpression(QStringLiteral("\\s")));
        return out;
    };
    std::string text;
    if (std::FILE *pipe = ::popen(("pdftotext -q '" + pdf + "' -").c_str(), "r")) {
        char buffer[1 << 16];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    const QString inPdf = plain(QString::fromStdString(text));
    Db db(path);
    Stmt q(db.h, "SELECT WKHEAD, COUNT(*) FROM DF_WKCONT WHERE WKYMD BETWEEN ? AND ? GROUP BY WKHEAD");
    q.bind(1, month + "/01");
    q.bind(2, month + "/31");
    long long items = 0, found = 0;
    while (q.s && sqlite3_step(q.s) == SQLITE_ROW) {
        items += sqlite3_column_int64(q.s, 1);
        found += std::min<long long>(inPdf.count(plain(QString::fromStdString(q.text(0)))), sqlite3_column_int64(q.s, 1));
    }
    return "pdf text holds " + std::to_string(found) + " of the month's " + std::to_string(items) + " item titles";
}

} // namespace bench
