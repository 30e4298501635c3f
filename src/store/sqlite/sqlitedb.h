#pragma once

#include "store/results.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// A database file reached through SQLite's own interface.
namespace worvane::sqlite
{

class Database;

// A row of a statement being stepped: its columns as UTF-8 bytes (NULL as empty), valid until the next
// step.
class Row
{
public:
    explicit Row(sqlite3_stmt *statement) : m_statement(statement) {}
    QByteArrayView bytes(int column) const;
    QString text(int column) const { return QString::fromUtf8(bytes(column)); }
    std::optional<QString> nullable(int column) const;
    bool isNull(int column) const;
    qint64 integer(int column) const;

private:
    sqlite3_stmt *m_statement;
};

using TakeRow = std::function<bool(const Row &row)>;

// A statement prepared once and run many times, its values bound in order: a null string or an invalid
// QVariant as NULL, numbers as numbers, anything else as its UTF-8 text (bound where it is, not copied).
class Statement
{
public:
    Statement(Database &db, QByteArrayView sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_statement != nullptr; }
    // Runs it, handing each row to take (when given) until take returns false. False on failure, the
    // engine's words kept by the database.
    bool run(const QVariantList &values = {}, const TakeRow &take = {});

private:
    Database &m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// Why a write to the database at path must not be tried (the file or its folder without any write
// permission, whoever runs the program), or an empty string.
QString ReadOnlyReason(const QString &path);

// One database file and its connection, opened read-write and never created: a missing path stays
// missing. A lock another program holds is asked for every millisecond up to the wait, so that a writer
// that leaves short gaps (the search index's build) lets the program's writes in.
//
// The connection is kept from one operation to the next, as opening a file and reading its schema again is
// most of a small operation's time: it serves only while the path names the same file (device and inode),
// and is closed instead after a failure, after a setting of its own was changed, or in WAL mode (closing
// it moves the log into the file). Statements of the program are prepared once per connection. Before
// each operation on a schema new to the connection, what the program adds to the file is checked.
class Database
{
public:
    enum class Open { Existing, Create };
    Database(QString path, int waitMs, Open mode = Open::Existing);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const QString &path() const { return m_path; }

    // Starts an operation: the file as the path names it now, its header read (a file that is not a
    // database fails here). endOperation() closes it: its connection is kept or closed.
    bool beginOperation();
    void endOperation();

    // The program's statement of this text, prepared on first use for the connection's life. The text
    // must be a literal: its address is its key.
    Statement &statement(const char *sql);
    // A statement made from text that varies: prepared for this run only.
    bool run(const QString &sql, const QVariantList &values = {}, const TakeRow &take = {});
    bool run(const char *sql, const QVariantList &values = {}, const TakeRow &take = {})
    {
        return statement(sql).run(values, take);
    }
    // The first column of the first row, or nothing when there is no row; false on failure.
    bool first(const char *sql, const QVariantList &values, std::optional<QVariant> &value);

    // BEGIN IMMEDIATE: the write lock taken before anything is read. A file or folder marked read-only is
    // refused (Refused), whoever runs the program.
    bool begin();
    bool commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    // The last failure, with its kind.
    const StoreError &error() const { return m_error; }
    void fail(StoreError::Kind kind, const QString &text);
    // Keeps the engine's words for the failure of code (an SQLite result code).
    void failWith(int code);

    // A connection's own setting was changed (a PRAGMA with a value): it is not kept for the next one.
    void settingChanged() { m_settingChanged = true; }
    // The comparison a column of the file is declared with ("BINARY" when none is).
    QString columnCollation(const QString &table, const QString &column);
    sqlite3 *handle() const { return m_handle; }
    // Stops the statement running now, from any thread (it fails as Cancelled).
    void interrupt();

    // What the busy handler is given: the wait, and whether interrupt() stopped it.
    struct BusyWait {
        int waitMs;
        const std::atomic_bool &interrupted;
    };

private:
    bool openFile();
    void close();
    bool checkSchema();

    QString m_path;
    int m_waitMs;
    Open m_mode;
    sqlite3 *m_handle = nullptr;
    std::mutex m_handleLock; // held while the handle is made or closed, as interrupt() may use it meanwhile
    std::atomic_bool m_interrupted = false; // interrupt() asked this operation to stop
    std::unique_ptr<BusyWait> m_busyWait;
    std::optional<std::pair<quint64, quint64>> m_file; // the file opened: its device and inode
    std::map<const char *, std::unique_ptr<Statement>> m_statements;
    qint64 m_checkedSchema = -1;
    bool m_inTransaction = false;
    bool m_failed = false; // this operation failed: its connection is not kept
    bool m_settingChanged = false;
    StoreError m_error;
};

// One operation on the file, from its start to its end (see Database).
class Operation
{
public:
    explicit Operation(Database &db) : m_db(db), m_open(db.beginOperation()) {}
    ~Operation() { m_db.endOperation(); }
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;
    bool open() const { return m_open; }

private:
    Database &m_db;
    bool m_open;
};

} // namespace worvane::sqlite
