#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

namespace worvane
{

// One connection to the database, serving one store operation: a SQLite file, or a PostgreSQL server
// when the path is a postgresql:// URI (the team database). The file is opened read-write and never
// created: a missing path stays missing. A lock held by another program is waited for up to the busy
// timeout, asked for again every millisecond, so that a writer that leaves short gaps (the search index's
// build) lets each of the program's writes in. Before any operation on a file whose schema is new to the
// connection, what the program adds to the file is checked (see GuardSearchIndex). Statements are written
// in SQLite's words; on a server they are said in PostgreSQL's (see
// ServerSql), so that each statement of the program has one text.
// A server's login costs round trips and a password exchange, so a sound server connection is kept,
// idle, for the next operation of the same thread on the same URI; that one first makes sure it still
// stands (and takes a new one when not) and starts with no setting left by the one before. The file used
// last has its connection kept too, as opening a file and reading its schema again is most of a small
// operation's time: it serves only while the path names the same file (device and inode), and is closed
// instead after a failure, a setting of its own changed, or in WAL mode.
class Connection
{
public:
    enum class Mode { ReadWrite, ReadWriteCreate };

    Connection(const QString &path, int busyTimeoutMs, Mode mode = Mode::ReadWrite);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the file and reads its header, so that a file that is not a database fails here; a kept
    // connection is open already, and a file changed under it fails at its first statement.
    bool open();

    // Runs a statement with its values bound in order. On failure the engine's text is kept in error().
    // Without a query to read, a statement runs as a Statement (below), on a server only one with values.
    bool exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {});
    bool exec(const QString &sql, const QVariantList &values = {});

    // A statement prepared once and run many times with different values.
    bool prepare(QSqlQuery &query, const QString &sql);
    bool run(QSqlQuery &query, const QVariantList &values);

    // After the last next() of a query: true when its rows ran out, false (the engine's text kept) when
    // reading them failed.
    bool finished(const QSqlQuery &query);

    // Runs a query and hands each row's columns, as UTF-8 bytes (NULL as empty), to take until it returns
    // false: a Statement (below), without a QVariant or a QString per value. The views are valid during the
    // call only. False on failure.
    bool eachRow(const QString &sql, const QVariantList &values,
                 const std::function<bool(const QByteArrayView *columns)> &take);

    // The first column of the first row, or nothing when there is no row. False on failure.
    bool queryFirst(const QString &sql, const QVariantList &values, std::optional<QVariant> &first);

    QSqlQuery newQuery() const { return QSqlQuery(m_db); }

    // BEGIN IMMEDIATE: takes the write lock before anything is read. A file or folder marked read-only
    // (no write permission for anyone) is refused, whoever runs the program, so that a read-only
    // database stays as it is even for a user whom the system would let write.
    bool begin();
    bool commit();
    void rollback();

    QSqlDatabase &database() { return m_db; }
    // The comparison a file's column is declared with ("BINARY" when none is).
    QString columnCollation(const QString &table, const QString &column);
    const QString &path() const { return m_path; }
    QString error() const { return m_error; }
    // The last failure was a lock another program held for longer than the wait.
    bool busy() const { return m_busy; }
    // The last failure was the disk's (or the file system's) being full.
    bool diskFull() const { return m_diskFull; }
    // The last failure was reaching the server (down, unreachable, refused the login), not a statement.
    bool unreachable() const { return m_unreachable; }
    bool isServer() const { return m_server; }
    // The last failure was losing a race to another writer on the server (the same day saved at once).
    bool conflict() const { return m_conflict; }

private:
    friend class Statement;
    void setError(const QString &text);
    void noteLostServer(const QSqlQuery &query);
    void noteServerState(const QString &sqlState);
    void noteFileCode(int sqliteCode);
    bool guardSchema();

    QString m_path;
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
    bool m_inTransaction = false;
    bool m_server = false;
    bool m_unreachable = false;
    bool m_conflict = false;
    bool m_busy = false;
    bool m_diskFull = false;
    bool m_kept = false;       // a connection that an earlier operation opened
    bool m_rolledBack = false; // a transaction of this operation was rolled back
    bool m_settingsChanged = false;                   // a PRAGMA set something of the connection's own
    std::optional<std::pair<quint64, quint64>> m_file; // the file opened: its device and inode
    qint64 m_checkedSchema = -1;
    int m_busyTimeoutMs = 0; // the file's schema version when what the program adds to it was last checked
};

// A statement run with the engine's own interface on the connection Qt SQL opened, its rows handed over as
// UTF-8 bytes, without a QVariant or a QString per value: Qt SQL's per-value conversion slows long reads
// and many inserts, and on a server its prepared statements cost two more round trips each (the prepare
// and, when the query goes, the release).
// On a file it is prepared once and run many times, its values bound as Qt SQL binds them (a null string
// as NULL, numbers as numbers, bytes as a blob, the rest as text). On a server (libpq) each run is one
// round trip, which parses, binds and runs it; its values go as text, typed by the server from the
// statement as a prepared statement's would be.
class Statement
{
public:
    Statement(Connection &db, const QString &sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_statement != nullptr || m_server != nullptr; }
    // Runs it with the values, handing each row's columns (NULL as empty) to take when given, until take
    // returns false; the views are valid during the call only. False on failure, the engine's words kept
    // in db.error().
    bool run(const QVariantList &values, const std::function<bool(const QByteArrayView *columns)> &take = {});

private:
    bool runOnServer(const QVariantList &values,
                     const std::function<bool(const QByteArrayView *columns)> &take);

    Connection &m_db;
    sqlite3 *m_handle = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    pg_conn *m_server = nullptr;
    QByteArray m_serverSql; // in PostgreSQL's words, its values numbered ($1, $2, ...)
    int m_serverValues = 0; // how many values it takes
};

// True for a postgresql:// (or postgres://) URI: the team database on a server.
bool IsServerUri(const QString &path);

// The server named by a URI, "host:port/dbname", for messages; the URI as it is when it does not parse.
QString ServerName(const QString &uri);

// A statement in SQLite's words said in PostgreSQL's: "x = y COLLATE NOCASE" compares lower(x) and lower(y),
// "x COLLATE NOCASE" in an order is lower(x), LIKE is ILIKE (SQLite's LIKE ignores ASCII case), rowid is
// the row number column ROWNO, CAST(x AS INTEGER) reads leading digits after ASCII blanks as SQLite does
// (no digits: 0),
// BEGIN IMMEDIATE is BEGIN.
QString ServerSql(const QString &sqliteSql);

// The statement with its "?" values numbered as PostgreSQL's own interface takes them ($1, $2, ...); a "?"
// within quotes is text and stays. values, when given, is set to how many there are.
QString NumberedValues(const QString &sql, int *values = nullptr);

// Why a write to the database at path must not be tried (file or folder without any write permission),
// or an empty string.
QString ReadOnlyReason(const QString &path);

// "file:" URI for a local path, every character that would mean something to SQLite escaped.
QString SqliteUri(const QString &path, Connection::Mode mode);

} // namespace worvane
