#pragma once

#include "store/results.h"

#include <QByteArrayView>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

struct pg_conn;
struct pg_result;

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

// The server as messages name it: "host:port/dbname", never the user-info part of the URI; the URI as it
// is when it does not parse.
QString ServerName(const QString &uri);

// One server connection, made from the URI as libpq takes it (the password from libpq's own places,
// ~/.pgpass or PGPASSWORD), and kept from one operation to the next: a login costs round trips and a
// password exchange. No state is left on it outside a transaction. A connection the server has dropped
// meanwhile is replaced at the first statement of the next operation, which then runs again.
class Database
{
public:
    Database(QString uri, int waitMs);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QString name() const { return ServerName(m_uri); }
    const QString &uri() const { return m_uri; }
    // The login the connection's days are: statements name it, so that the indexes that lead with the
    // person serve them (a comparison with current_user itself is not one an index takes).
    const QString &person() const { return m_person; }

    bool beginOperation();
    void endOperation();

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

    bool begin();
    bool commit();
    void rollback();

    const StoreError &error() const { return m_error; }
    void fail(StoreError::Kind kind, const QString &text);

private:
    bool connect();
    void close();
    bool failed(const pg_result *result);

    QString m_uri;
    int m_waitMs;
    pg_conn *m_conn = nullptr;
    QString m_person;
    bool m_kept = false;          // the connection was made by an earlier operation
    int m_statementsRun = 0;      // in this operation
    bool m_inTransaction = false;
    StoreError m_error;
};

// One operation on the server, from its start to its end.
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

} // namespace worvane::postgres
