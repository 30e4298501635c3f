#include "floors.h"

#include <sqlite3.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench
{

namespace
{
// The statements as the store issues them.
const char *const SearchAll = "SELECT PJCODE, PJNAME FROM DM_PRJMST ORDER BY PJCODE COLLATE NOCASE, rowid";
const char *const SelectTime =
    "SELECT WSTIME, WETIME FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
    "ORDER BY rowid LIMIT 1";
const char *const SelectItems = "SELECT WKCODE, WKHEAD, DETAIL FROM DF_WKCONT "
                                "WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                                "ORDER BY CAST(WKCODE AS INTEGER), WKCODE, rowid";
const char *const SelectTimeRow = "SELECT rowid FROM DF_WKTIME WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ? "
                                  "ORDER BY rowid LIMIT 1";
const char *const UpdateTime = "UPDATE DF_WKTIME SET WSTIME = ?, WETIME = ?, UPDYMD = ? WHERE rowid = ?";
const char *const DeleteItems = "DELETE FROM DF_WKCONT WHERE PJCODE = ? COLLATE NOCASE AND WKYMD = ?";
const char *const InsertItem = "INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)";

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

bool FloorProjectSearch(const std::string &path, std::vector<std::pair<std::string, std::string>> &rows)
{
    Db db(path);
    Stmt q(db.h, SearchAll);
    if (!q.s)
        return false;
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW)
        rows.emplace_back(q.text(0), q.text(1));
    return rc == SQLITE_DONE;
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
        Stmt find(db.h, SelectTimeRow);
        find.bind(1, code);
        find.bind(2, date);
        if (find.s && sqlite3_step(find.s) == SQLITE_ROW) {
            const sqlite3_int64 rowid = sqlite3_column_int64(find.s, 0);
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
        }
    }
    return exec(db.h, ok ? "COMMIT" : "ROLLBACK") && ok;
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    return ::close(fd) == 0 && written;
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

} // namespace bench
