#include "store/connection.h"

#include "store/searchindex.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QSqlDriver>
#include <QSqlError>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <QVarLengthArray>

#include <dlfcn.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <type_traits>

namespace worvane
{

Q_LOGGING_CATEGORY(lcStore, "worvane.store")

namespace
{
QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("worvane-%1").arg(counter.fetchAndAddRelaxed(1));
}

void closeConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The connection's own handle under Qt SQL's, when the driver is the one named.
template <class Handle> Handle *nativeHandle(const QSqlDatabase &db, const char *typeName)
{
    const QVariant handle = db.driver()->handle();
    return handle.isValid() && qstrcmp(handle.typeName(), typeName) == 0
               ? *static_cast<Handle *const *>(handle.constData())
               : nullptr;
}

// Which file a path names, its device and inode: a file moved or made anew in its place is another one (a
// file copied over it in place is the same one, changed, as for any connection open on it).
using FileId = std::pair<quint64, quint64>;

std::optional<FileId> fileIdOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

// A statement that may change a setting of the connection itself (a PRAGMA given a value, "= v" or "(v)"),
// which an operation after it must not inherit.
bool setsConnection(const QString &sql)
{
    return QStringView(sql).trimmed().startsWith(QLatin1String("PRAGMA"), Qt::CaseInsensitive) &&
           (sql.contains(QLatin1Char('=')) || sql.contains(QLatin1Char('(')));
}

// The idle connections of one thread, by path or URI: one each at most, closed when the thread ends (the
// main thread's when the application object goes, while the drivers are still there). A file's is kept
// with the file it opened.
struct IdleConnection {
    QString name;
    FileId file;
    qint64 checkedSchema = -1;
};

struct IdleConnections {
    QHash<QString, IdleConnection> byPath;
    void closeFiles()
    {
        for (auto idle = byPath.begin(); idle != byPath.end();) {
            if (IsServerUri(idle.key())) {
                ++idle;
                continue;
            }
            closeConnection(idle->name);
            idle = byPath.erase(idle);
        }
    }
    void closeAll()
    {
        for (const IdleConnection &idle : std::as_const(byPath))
            closeConnection(idle.name);
        byPath.clear();
    }
    ~IdleConnections() { closeAll(); }
};

IdleConnections &idleConnections()
{
    thread_local IdleConnections idle;
    static const bool cleanedUp = [] {
        qAddPostRoutine([] { idleConnections().closeAll(); });
        return true;
    }();
    Q_UNUSED(cleanedUp);
    return idle;
}

// The idle connection to path, taken for an operation. A file's serves only while the path still names the
// file it opened: another file there is opened anew, a missing one reported as missing.
std::optional<IdleConnection> takeIdle(const QString &path, bool server)
{
    IdleConnections &idle = idleConnections();
    const auto found = idle.byPath.constFind(path);
    if (found == idle.byPath.constEnd())
        return std::nullopt;
    const IdleConnection taken = *found;
    idle.byPath.erase(found);
    if (!server && fileIdOf(path) != taken.file) {
        closeConnection(taken.name);
        return std::nullopt;
    }
    return taken;
}

// A lock held by another writer is asked for again every millisecond until the wait is over: SQLite's own
// wait sleeps up to 100 ms between tries and so misses the short gaps a long writer leaves between its
// steps. The wait in milliseconds rides in the handler's pointer.
int pollEveryMillisecond(void *waitMs, int tries)
{
    if (tries >= int(reinterpret_cast<intptr_t>(waitMs)))
        return 0;
    const timespec millisecond{0, 1000000};
    ::nanosleep(&millisecond, nullptr);
    return 1;
}

void setBusyWait(sqlite3 *handle, int waitMs)
{
    if (handle)
        sqlite3_busy_handler(handle, pollEveryMillisecond, reinterpret_cast<void *>(intptr_t(std::max(0, waitMs))));
}

QString engineText(const QSqlError &error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    return text.isEmpty() ? error.text() : text;
}
} // namespace

QString ReadOnlyReason(const QString &path)
{
    if (IsServerUri(path))
        return QString(); // the server decides, per statement
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const QFileInfo file(path);
    if (file.exists() && !(file.permissions() & anyWrite))
        return QStringLiteral("the database file is read-only: %1").arg(path);
    const QFileInfo folder(file.absolutePath());
    if (!(folder.permissions() & anyWrite))
        return QStringLiteral("the database folder is read-only: %1").arg(folder.filePath());
    return QString();
}

QString SqliteUri(const QString &path, Connection::Mode mode)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString mode_ = mode == Connection::Mode::ReadWrite ? QStringLiteral("rw") : QStringLiteral("rwc");
    return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(absolute, "/")) +
           QStringLiteral("?mode=") + mode_;
}

bool IsServerUri(const QString &path)
{
    return path.startsWith(QLatin1String("postgresql://")) || path.startsWith(QLatin1String("postgres://"));
}

QString ServerName(const QString &uri)
{
    const QUrl url(uri);
    if (!url.isValid() || url.host().isEmpty())
        return uri;
    return QStringLiteral("%1:%2%3").arg(url.host()).arg(url.port(5432)).arg(url.path());
}

QString ServerSql(const QString &sqliteSql)
{
    // A code compares through its folded copy PJKEY (a plain column, which an index serves even under
    // row-level security, where lower() of a row's value may not be looked up); anything else through
    // lower().
    const auto folded = [](const QString &operand) {
        if (operand == QLatin1String("?"))
            return QStringLiteral("lower(?)");
        if (operand == QLatin1String("PJCODE") || operand.endsWith(QLatin1String(".PJCODE")))
            return operand.chopped(6) + QStringLiteral("PJKEY");
        return QStringLiteral("lower(%1)").arg(operand);
    };
    static const QString operand = QStringLiteral(R"(((?:\w+\.)?\w+|\?))");
    static const QRegularExpression comparison(operand + QStringLiteral(" = ") + operand +
                                               QStringLiteral(" COLLATE NOCASE"));
    static const QRegularExpression ordering(operand + QStringLiteral(" COLLATE NOCASE"));
    QString sql = sqliteSql;
    for (const QRegularExpression *pattern : {&comparison, &ordering}) {
        QString out;
        qsizetype at = 0;
        for (auto it = pattern->globalMatch(sql); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            out += sql.mid(at, m.capturedStart() - at);
            out += pattern == &comparison ? folded(m.captured(1)) + QStringLiteral(" = ") + folded(m.captured(2))
                                          : folded(m.captured(1));
            at = m.capturedEnd();
        }
        sql = out + sql.mid(at);
    }
    static const std::pair<QRegularExpression, QString> rules[] = {
        {QRegularExpression(QStringLiteral(R"(\bLIKE\b)")), QStringLiteral("ILIKE")},
        {QRegularExpression(QStringLiteral(R"(\browid\b)")), QStringLiteral("ROWNO")},
        {QRegularExpression(QStringLiteral(R"(CAST\(((?:\w+\.)?\w+) AS INTEGER\))")),
         QStringLiteral("COALESCE(CAST(NULLIF(substring(\\1 from '^[ \\t\\n\\v\\f\\r]*[-+]?[0-9]{1,9}'), '') AS "
                        "INTEGER), 0)")},
        {QRegularExpression(QStringLiteral(R"(\bBEGIN IMMEDIATE\b)")), QStringLiteral("BEGIN")},
    };
    for (const auto &[pattern, replacement] : rules)
        sql.replace(pattern, replacement);
    return sql;
}

QString NumberedValues(const QString &sql, int *values)
{
    QString numbered;
    numbered.reserve(sql.size() + 16);
    int count = 0;
    QChar quote; // the quote that opened the text being read, or none
    for (const QChar c : sql) {
        if (quote.isNull() && c == QLatin1Char('?')) {
            numbered += QLatin1Char('$') + QString::number(++count);
            continue;
        }
        if (c == quote)
            quote = QChar(); // a doubled quote closes and opens again
        else if (quote.isNull() && (c == QLatin1Char('\'') || c == QLatin1Char('"')))
            quote = c;
        numbered += c;
    }
    if (values)
        *values = count;
    return numbered;
}

Connection::Connection(const QString &path, int busyTimeoutMs, Mode mode)
    : m_path(path), m_server(IsServerUri(path))
{
    if (const std::optional<IdleConnection> idle = takeIdle(path, m_server)) {
        m_name = idle->name;
        m_db = QSqlDatabase::database(m_name, false);
        m_file = idle->file;
        m_checkedSchema = idle->checkedSchema;
        m_kept = true;
        if (!m_server) // the operation before may have waited otherwise long
            setBusyWait(nativeHandle<sqlite3>(m_db, "sqlite3*"), busyTimeoutMs);
        return;
    }
    m_name = nextConnectionName();
    if (m_server) {
        // The login is the URI's user, else libpq's default; the password comes from libpq's own places
        // (~/.pgpass, PGPASSWORD), never from the settings.
        const QUrl url(path);
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        m_db.setHostName(url.host());
        m_db.setPort(url.port(5432));
        m_db.setDatabaseName(url.path().mid(1));
        if (!url.userName().isEmpty())
            m_db.setUserName(url.userName());
        QStringList options{QStringLiteral("connect_timeout=%1").arg(std::max(1, busyTimeoutMs / 1000))};
        const QUrlQuery query(url);
        for (const char *key : {"sslmode", "application_name"})
            if (query.hasQueryItem(QLatin1String(key)))
                options << QStringLiteral("%1=%2").arg(QLatin1String(key), query.queryItemValue(QLatin1String(key)));
        m_db.setConnectOptions(options.join(QLatin1Char(';')));
        return;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    m_db.setDatabaseName(path.isEmpty() ? QString() : SqliteUri(path, mode));
    m_busyTimeoutMs = busyTimeoutMs;
}

Connection::~Connection()
{
    if (m_inTransaction)
        rollback();
    // A sound connection waits for the next operation, unless one already does. On a server the statements
    // that a failed transaction left prepared (the driver cannot free them in an aborted transaction) go
    // first. A file's waits when its operation went well and left no setting of its own behind, when SQLite
    // could open it for writing, and not in WAL mode, where closing it moves the log into the file, as each
    // operation's close always did; only the file used last waits, so that no other stays held open.
    IdleConnections &idle = idleConnections();
    bool keep = m_db.isOpen() && !m_inTransaction && !idle.byPath.contains(m_path);
    if (keep && m_server) {
        keep = !m_unreachable;
        if (keep && m_rolledBack)
            keep = QSqlQuery(m_db).exec(QStringLiteral("DEALLOCATE ALL"));
    } else if (keep) {
        sqlite3 *handle = nativeHandle<sqlite3>(m_db, "sqlite3*");
        keep = handle && m_file && !m_rolledBack && m_error.isEmpty() && !m_settingsChanged &&
               sqlite3_db_readonly(handle, "main") == 0 &&
               !QFileInfo::exists(QString::fromUtf8(sqlite3_db_filename(handle, "main")) + QStringLiteral("-wal"));
        if (keep)
            idle.closeFiles();
    }
    m_db = QSqlDatabase();
    if (keep)
        idle.byPath.insert(m_path, IdleConnection{m_name, m_file.value_or(FileId{}), m_checkedSchema});
    else
        closeConnection(m_name);
}

void Connection::setError(const QString &text)
{
    // The user sees the message of the window that asked; the engine's own words are kept here.
    m_error = text;
    qCWarning(lcStore).noquote() << m_path << ":" << text;
}

bool Connection::open()
{
    if (m_path.isEmpty()) {
        setError(QStringLiteral("no database path is set"));
        return false;
    }
    if (m_server) {
        if (m_kept) {
            // One round trip: the connection still stands, and a lead's reading of other people's days
            // (set by the operation before) is off again. A connection gone meanwhile is replaced.
            QSqlQuery check(m_db);
            if (check.exec(QStringLiteral("SELECT set_config('worvane.people', '', false)")))
                return true;
            m_kept = false;
            m_db.close();
        }
        if (!m_db.open()) {
            m_unreachable = true;
            setError(QStringLiteral("%1: %2").arg(ServerName(m_path), engineText(m_db.lastError())));
            return false;
        }
        return true;
    }
    if (m_kept)
        return guardSchema();
    if (QFileInfo(m_path).isDir()) {
        setError(QStringLiteral("the database path names a folder: %1").arg(m_path));
        return false;
    }
    // Taken before the open: a file put in its place meanwhile is then only not served again.
    m_file = fileIdOf(m_path);
    if (!m_db.open()) {
        setError(engineText(m_db.lastError()));
        return false;
    }
    setBusyWait(nativeHandle<sqlite3>(m_db, "sqlite3*"), m_busyTimeoutMs);
    // Reading the schema version reads the file header: a file that is not a database fails here.
    return guardSchema();
}

QString Connection::columnCollation(const QString &table, const QString &column)
{
    sqlite3 *handle = m_server ? nullptr : nativeHandle<sqlite3>(m_db, "sqlite3*");
    const char *collation = nullptr;
    if (!handle || sqlite3_table_column_metadata(handle, "main", table.toUtf8().constData(), column.toUtf8().constData(),
                                                 nullptr, &collation, nullptr, nullptr, nullptr) != SQLITE_OK ||
        !collation)
        return QStringLiteral("BINARY");
    return QString::fromUtf8(collation);
}

bool Connection::guardSchema()
{
    const auto version = [this](qint64 &read) {
        return Statement(*this, QStringLiteral("PRAGMA schema_version")).run({}, [&read](const QByteArrayView *row) {
            read = row[0].toByteArray().toLongLong();
            return false;
        });
    };
    qint64 schema = -1;
    if (!version(schema))
        return false;
    if (schema == m_checkedSchema)
        return true;
    // New to this connection: another program may have changed what the program adds beside the tables.
    GuardSearchIndex(*this);
    // A guard that could not mend is not this operation's failure.
    m_error.clear();
    m_busy = m_diskFull = false;
    return version(m_checkedSchema);
}

bool Connection::exec(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    if (m_server && values.isEmpty()) {
        // A server prepares only queries and changes of rows; other statements (BEGIN, CREATE, DO) and
        // statements without values run as they are.
        query = QSqlQuery(m_db);
        query.setForwardOnly(true);
        if (!query.exec(ServerSql(sql))) {
            setError(engineText(query.lastError()));
            noteLostServer(query);
            return false;
        }
        return true;
    }
    return prepare(query, sql) && run(query, values);
}

void Connection::noteLostServer(const QSqlQuery &query)
{
    if (m_server)
        noteServerState(query.lastError().nativeErrorCode());
    else
        noteFileCode(query.lastError().nativeErrorCode().toInt());
}

void Connection::noteFileCode(int code)
{
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        m_busy = true;
        break;
    case SQLITE_FULL:
        m_diskFull = true;
        break;
    default:
        break;
    }
}

void Connection::noteServerState(const QString &state)
{
    if (!m_server)
        return;
    // Another writer won: a unique key taken meanwhile, a serialization failure, a deadlock.
    static const QStringList lostRaces{QStringLiteral("23505"), QStringLiteral("40001"), QStringLiteral("40P01")};
    if (lostRaces.contains(state))
        m_conflict = true;
    // A server that went away mid-work: a connection error (SQLSTATE class 08), the server shutting
    // down (57P), or no SQLSTATE at all, as when the connection is simply gone.
    if (state.isEmpty() || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        m_unreachable = true;
}

bool Connection::prepare(QSqlQuery &query, const QString &sql)
{
    m_settingsChanged |= setsConnection(sql);
    query = QSqlQuery(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(m_server ? ServerSql(sql) : sql)) {
        setError(engineText(query.lastError()));
        noteLostServer(query);
        return false;
    }
    return true;
}

bool Connection::run(QSqlQuery &query, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec()) {
        setError(engineText(query.lastError()));
        noteLostServer(query);
        return false;
    }
    return true;
}

bool Connection::exec(const QString &sql, const QVariantList &values)
{
    if (m_server && sql.startsWith(QLatin1String("PRAGMA ")))
        return true; // the file's own settings mean nothing to a server
    // On a server a statement without values may be several (a schema's), which only the simple query
    // that Qt SQL sends takes.
    if (!m_server || !values.isEmpty())
        return Statement(*this, sql).run(values);
    QSqlQuery query(m_db);
    return exec(query, sql, values);
}

bool Connection::finished(const QSqlQuery &query)
{
    if (query.lastError().type() == QSqlError::NoError)
        return true;
    setError(engineText(query.lastError()));
    return false;
}

namespace
{
// A value Qt SQL writes as NULL: a null value or a null string.
bool isNullValue(const QVariant &value)
{
    return value.isNull() ||
           (value.typeId() == QMetaType::QString && static_cast<const QString *>(value.constData())->isNull());
}

// Binds the values as Qt SQL's SQLite driver does: NULL as above, numbers and truth values as numbers,
// bytes as a blob, anything else as its text. A string goes as Qt's UTF-8 of it, the bytes a day's stamp
// is made of (SQLite's own conversion of UTF-16 treats a lone surrogate otherwise). The bytes are bound
// where they are, without SQLite's copy: bytes keeps them until the statement is reset and its bindings
// cleared.
using BoundBytes = QVarLengthArray<QByteArray, 16>;
void bindAll(sqlite3_stmt *statement, const QVariantList &values, BoundBytes &bytes)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        const int at = i + 1;
        if (isNullValue(value)) {
            sqlite3_bind_null(statement, at);
            continue;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            sqlite3_bind_int64(statement, at, value.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(statement, at, value.toDouble());
            break;
        case QMetaType::QByteArray:
            bytes.append(value.toByteArray());
            sqlite3_bind_blob(statement, at, bytes.last().constData(), int(bytes.last().size()), SQLITE_STATIC);
            break;
        case QMetaType::QString:
            bytes.append(static_cast<const QString *>(value.constData())->toUtf8());
            sqlite3_bind_text(statement, at, bytes.last().constData(), int(bytes.last().size()), SQLITE_STATIC);
            break;
        default:
            bytes.append(value.toString().toUtf8());
            sqlite3_bind_text(statement, at, bytes.last().constData(), int(bytes.last().size()), SQLITE_STATIC);
        }
    }
}

// A statement as libpq takes it: in PostgreSQL's words, its values numbered, and how many it takes. The
// program says few different statements, and each again and again; translating one takes a dozen pattern
// matches.
struct ServerText {
    QByteArray text;
    int values = 0;
};

ServerText serverText(const QString &sql)
{
    thread_local QHash<QString, ServerText> said;
    if (const auto found = said.constFind(sql); found != said.constEnd())
        return *found;
    if (said.size() >= 512) // statements made from what the user typed are not all worth keeping
        said.clear();
    int values = 0;
    const QByteArray text = NumberedValues(ServerSql(sql), &values).toUtf8();
    return *said.insert(sql, ServerText{text, values});
}

// The few functions of libpq that statements on a server use, taken from the libpq that Qt's PostgreSQL
// driver has loaded for the connection (never another copy, which could not use the driver's connection):
// a program that only ever works on a file does not map libpq and the libraries it needs (TLS, Kerberos,
// LDAP). Null when that libpq is not there.
struct LibPq {
    decltype(&PQexecParams) execParams;
    decltype(&PQresultStatus) resultStatus;
    decltype(&PQclear) clear;
    decltype(&PQerrorMessage) errorMessage;
    decltype(&PQresultErrorField) resultErrorField;
    decltype(&PQntuples) ntuples;
    decltype(&PQnfields) nfields;
    decltype(&PQgetvalue) getValue;
    decltype(&PQgetlength) getLength;
};

const LibPq *libPq()
{
    // Asked for only once a server connection is open, so with the driver and its libpq loaded.
    static const std::optional<LibPq> loaded = []() -> std::optional<LibPq> {
        void *library = dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        if (!library)
            return std::nullopt;
        bool all = true;
        const auto take = [&](auto &function, const char *name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all &= function != nullptr;
        };
        LibPq pq{};
        take(pq.execParams, "PQexecParams");
        take(pq.resultStatus, "PQresultStatus");
        take(pq.clear, "PQclear");
        take(pq.errorMessage, "PQerrorMessage");
        take(pq.resultErrorField, "PQresultErrorField");
        take(pq.ntuples, "PQntuples");
        take(pq.nfields, "PQnfields");
        take(pq.getValue, "PQgetvalue");
        take(pq.getLength, "PQgetlength");
        if (!all)
            return std::nullopt;
        return pq;
    }();
    return loaded ? &*loaded : nullptr;
}
} // namespace

Statement::Statement(Connection &db, const QString &sql) : m_db(db)
{
    if (db.m_server) {
        m_server = libPq() ? nativeHandle<pg_conn>(db.m_db, "pg_conn*") : nullptr;
        if (m_server) {
            const ServerText said = serverText(sql);
            m_serverSql = said.text;
            m_serverValues = said.values;
        } else {
            db.setError(QStringLiteral("libpq or its connection cannot be found"));
        }
        return;
    }
    db.m_settingsChanged |= setsConnection(sql);
    m_handle = nativeHandle<sqlite3>(db.m_db, "sqlite3*");
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    if (!m_handle || sqlite3_prepare_v2(m_handle, text.constData(), int(text.size()), &m_statement, &tail) != SQLITE_OK) {
        db.setError(m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QStringLiteral("no SQLite connection"));
        if (m_handle)
            db.noteFileCode(sqlite3_errcode(m_handle));
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    } else if (!QByteArrayView(tail, text.constData() + text.size() - tail).trimmed().isEmpty()) {
        // SQLite would run the first statement alone; one runs, or none.
        db.setError(QStringLiteral("more than one statement: %1").arg(sql));
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

bool Statement::run(const QVariantList &values, const std::function<bool(const QByteArrayView *columns)> &take)
{
    if (m_server)
        return runOnServer(values, take);
    if (!m_statement)
        return false;
    sqlite3_reset(m_statement);
    BoundBytes bound;
    bindAll(m_statement, values, bound);
    const int count = sqlite3_column_count(m_statement);
    QVarLengthArray<QByteArrayView, 8> columns(count);
    int rc;
    while ((rc = sqlite3_step(m_statement)) == SQLITE_ROW) {
        if (!take)
            continue;
        for (int c = 0; c < count; ++c) {
            const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, c));
            columns[c] = QByteArrayView(bytes, bytes ? sqlite3_column_bytes(m_statement, c) : 0);
        }
        if (!take(columns.constData())) {
            rc = SQLITE_DONE;
            break;
        }
    }
    if (rc != SQLITE_DONE) {
        m_db.setError(QString::fromUtf8(sqlite3_errmsg(m_handle)));
        m_db.noteFileCode(rc);
    }
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement); // before the bound bytes go
    return rc == SQLITE_DONE;
}

bool Statement::runOnServer(const QVariantList &values,
                            const std::function<bool(const QByteArrayView *columns)> &take)
{
    if (values.size() != m_serverValues) {
        // Said to the server, the count's mismatch would read as a broken connection (SQLSTATE 08P01).
        m_db.setError(QStringLiteral("the statement takes %1 values, %2 given").arg(m_serverValues).arg(values.size()));
        return false;
    }
    QList<QByteArray> texts(values.size());
    QVarLengthArray<const char *, 16> params(values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        if (isNullValue(value)) {
            params[i] = nullptr;
            continue;
        }
        texts[i] = value.typeId() == QMetaType::Double
                       ? QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest)
                       : value.toString().toUtf8();
        params[i] = texts[i].constData();
    }
    const LibPq &pq = *libPq();
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(
        pq.execParams(m_server, m_serverSql.constData(), int(params.size()), nullptr, params.constData(), nullptr,
                      nullptr, 0),
        pq.clear);
    const ExecStatusType status = pq.resultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        m_db.setError(QString::fromUtf8(pq.errorMessage(m_server)).trimmed());
        m_db.noteServerState(QString::fromLatin1(pq.resultErrorField(result.get(), PG_DIAG_SQLSTATE)));
        return false;
    }
    if (!take)
        return true;
    const int rows = pq.ntuples(result.get()), count = pq.nfields(result.get());
    QVarLengthArray<QByteArrayView, 8> columns(count);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < count; ++c)
            columns[c] = QByteArrayView(pq.getValue(result.get(), r, c), pq.getLength(result.get(), r, c));
        if (!take(columns.constData()))
            break;
    }
    return true;
}

bool Connection::eachRow(const QString &sql, const QVariantList &values,
                         const std::function<bool(const QByteArrayView *columns)> &take)
{
    return Statement(*this, sql).run(values, take);
}

bool Connection::queryFirst(const QString &sql, const QVariantList &values, std::optional<QVariant> &first)
{
    QSqlQuery query(m_db);
    if (!exec(query, sql, values))
        return false;
    first = query.next() ? std::optional(query.value(0)) : std::nullopt;
    return true;
}

bool Connection::begin()
{
    if (const QString why = ReadOnlyReason(m_path); !why.isEmpty()) {
        setError(why);
        return false;
    }
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    m_inTransaction = true;
    return true;
}

bool Connection::commit()
{
    if (!exec(QStringLiteral("COMMIT")))
        return false;
    m_inTransaction = false;
    return true;
}

void Connection::rollback()
{
    if (!m_inTransaction)
        return;
    const QString kept = m_error;
    exec(QStringLiteral("ROLLBACK"));
    m_inTransaction = false;
    m_rolledBack = true;
    m_error = kept;
}

} // namespace worvane
