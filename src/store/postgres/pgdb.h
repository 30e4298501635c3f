#pragma once

#include "store/results.h"

#include <QByteArrayView>
#include <QString>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

struct pg_conn;
struct pg_result;
struct pg_cancel;

// The team database on a PostgreSQL server, reached through libpq.
namespace worvane::postgres
{

// A row of a result: its columns as UTF-8 bytes (NULL as empty).
class Row
{
public:
    Row(const pg_result *result, int row) : m_result(result), m_row(row) {}
    QByteArrayView bytes(int column) const;
    QString text(int column) const { return QString::fromUtf8(bytes(column)); }
    std::optional<QString> nullable(int column) const;
    bool isNull(int column) const;
    qint64 integer(int column) const { return bytes(column).toByteArray().toLongLong(); }
    bool truth(int column) const { return bytes(column) == "t"; }

private:
    const pg_result *m_result;
    int m_row;
};

using TakeRow = std::function<bool(const Row &row)>;

// The server as messages name it before a connection is made: "host:port/dbname" as libpq would resolve
// the URI (its environment and defaults filling in what the URI leaves out), never the user-info part.
QString ServerName(const QString &uri);

// How long a server call may take: an interactive one (a day, a page, a save) a few seconds, the reading
// or writing of a range (totals, exports, copies) longer.
enum class Wait { Short, Long };

// One server connection, made from the URI exactly as libpq takes it (every parameter and environment
// variable of libpq's; the password only from libpq's own places, ~/.pgpass or PGPASSWORD: a URI holding
// one is refused), and kept from one operation to the next: a login costs round trips and a password
// exchange. Each operation is one transaction with a lock and a statement timeout of its own, so no state
// is left on the connection between operations; a connection the server has dropped meanwhile is
// replaced when the next operation begins. A call waits for the server's answer in slices, so that
// cancel(), from any thread, stops it on the server.
class Database
{
public:
    Database(QString uri, int waitMs);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // The server as messages name it, "host:port/dbname" as libpq resolves it (never the user-info part of
    // the URI).
    QString name() const;
    const QString &uri() const { return m_uri; }
    // Why the URI cannot be used at all (a password in it, or it does not parse), or nothing.
    const std::optional<StoreError> &unusable() const { return m_unusable; }
    // The login the connection's days are (session_user): statements name it, so that the indexes that
    // lead with the person serve them (a comparison with session_user itself is not one an index takes).
    const QString &person() const { return m_person; }

    // Begins an operation: connects when need be and opens its transaction, with its timeouts.
    bool beginOperation(Wait wait);
    // Ends it: what was not committed is rolled back.
    void endOperation();
    // Stops the statement running now, from any thread: the server cancels it.
    void cancel();

    // Runs one statement (its values numbered $1, $2, ... in the text, sent as text and typed by the
    // server) in one round trip, handing each row to take until it returns false. False on failure.
    bool run(const QString &sql, const QVariantList &values = {}, const TakeRow &take = {});
    bool run(const char *sql, const QVariantList &values = {}, const TakeRow &take = {})
    {
        return run(QString::fromUtf8(sql), values, take);
    }
    // Statements without values, several at once (a schema's).
    bool script(const char *sql);
    // The first column of the first row, or nothing when there is no row; false on failure.
    bool first(const char *sql, const QVariantList &values, std::optional<QString> &value);

    bool commit();

    const StoreError &error() const { return m_error; }
    void fail(StoreError::Kind kind, const QString &text, StoreError::Rule rule = StoreError::Rule::None);

private:
    bool connect();
    void close();
    bool failed(const pg_result *result);
    // Sends what send() sends and gathers its results; false when the server did not answer in time, or
    // the connection broke (the error set).
    pg_result *await(const std::function<int()> &send);
    bool begin(Wait wait);

    QString m_uri;
    int m_waitMs;
    std::optional<StoreError> m_unusable;
    QString m_resolvedName;
    pg_conn *m_conn = nullptr;
    QString m_person;
    int m_statementMs = 0; // of the operation running
    bool m_inTransaction = false;
    bool m_endSent = false; // the ROLLBACK that ended the operation before, its answer not read yet
    StoreError m_error;

    std::mutex m_cancelLock; // guards m_cancel, which another thread may use
    pg_cancel *m_cancel = nullptr;
    std::atomic_bool m_cancelled = false;
};

// One operation on the server, from its start to its end: one transaction.
class Operation
{
public:
    explicit Operation(Database &db, Wait wait = Wait::Short) : m_db(db), m_open(db.beginOperation(wait)) {}
    ~Operation() { m_db.endOperation(); }
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;
    bool open() const { return m_open; }

private:
    Database &m_db;
    bool m_open;
};

} // namespace worvane::postgres
