#include "store/sqlite/sqlitedb.h"

#include "store/sqlite/searchindex.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <QVarLengthArray>

#include <sqlite3.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>

namespace worvane::sqlite
{

Q_LOGGING_CATEGORY(lcFile, "worvane.store")

namespace
{
using FileId = std::pair<quint64, quint64>;

// Which file a path names, its device and inode: a file moved or made anew in its place is another one.
std::optional<FileId> fileIdOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

// "file:" URI for a local path, every character that would mean something to SQLite escaped.
QByteArray uriOf(const QString &path, Database::Open mode)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return "file:" + QUrl::toPercentEncoding(absolute, "/") + (mode == Database::Open::Create ? "?mode=rwc" : "?mode=rw");
}

// SQLite's own wait sleeps up to 100 ms between tries and misses the short gaps a long writer leaves
// between its steps. A wait that interrupt() stopped ends at once (SQLite's interrupt is not seen here).
int pollEveryMillisecond(void *wait, int tries)
{
    const auto *busy = static_cast<const Database::BusyWait *>(wait);
    if (tries >= busy->waitMs || busy->interrupted)
        return 0;
    const timespec millisecond{0, 1000000};
    ::nanosleep(&millisecond, nullptr);
    return 1;
}

StoreError::Kind kindOf(int code)
{
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreError::Kind::Busy;
    case SQLITE_FULL:
        return StoreError::Kind::DiskFull;
    case SQLITE_INTERRUPT:
        return StoreError::Kind::Cancelled;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CONSTRAINT:
        return StoreError::Kind::Refused;
    default:
        return StoreError::Kind::Other;
    }
}

// A statement that changes a setting of the connection itself (a PRAGMA given a value, "= v" or "(v)").
bool setsConnection(QByteArrayView sql)
{
    const QByteArrayView trimmed = sql.trimmed();
    return trimmed.size() > 6 && qstrnicmp(trimmed.data(), "PRAGMA", 6) == 0 &&
           (trimmed.contains('=') || trimmed.contains('('));
}

bool isNullValue(const QVariant &value)
{
    return value.isNull() ||
           (value.typeId() == QMetaType::QString && static_cast<const QString *>(value.constData())->isNull());
}
} // namespace

QString ReadOnlyReason(const QString &path)
{
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const QFileInfo file(path);
    if (file.exists() && !(file.permissions() & anyWrite))
        return QStringLiteral("the database file is read-only: %1").arg(path);
    const QFileInfo folder(file.absolutePath());
    if (!(folder.permissions() & anyWrite))
        return QStringLiteral("the database folder is read-only: %1").arg(folder.filePath());
    return QString();
}

// ---- Rows and statements ----------------------------------------------------------------------------

QByteArrayView Row::bytes(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_statement, column)) : QByteArrayView();
}

bool Row::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::optional<QString> Row::nullable(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

qint64 Row::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

Statement::Statement(Database &db, QByteArrayView sql) : m_db(db)
{
    if (!db.handle()) {
        db.fail(StoreError::Kind::Other, QStringLiteral("the database is not open"));
        return;
    }
    if (setsConnection(sql))
        db.settingChanged();
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v3(db.handle(), sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &m_statement, &tail);
    if (rc != SQLITE_OK) {
        db.failWith(rc);
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    } else if (!QByteArrayView(tail, sql.data() + sql.size() - tail).trimmed().isEmpty()) {
        // SQLite would run the first statement alone; one runs, or none.
        db.fail(StoreError::Kind::Other, QStringLiteral("more than one statement: %1").arg(QString::fromUtf8(sql)));
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

bool Statement::run(const QVariantList &values, const TakeRow &take)
{
    if (!m_statement)
        return false;
    sqlite3_reset(m_statement);
    // The bytes of each text stay here until the bindings are cleared.
    QVarLengthArray<QByteArray, 16> bytes;
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        const int at = i + 1;
        if (isNullValue(value)) {
            sqlite3_bind_null(m_statement, at);
            continue;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            sqlite3_bind_int64(m_statement, at, value.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(m_statement, at, value.toDouble());
            break;
        case QMetaType::QString:
            bytes.append(static_cast<const QString *>(value.constData())->toUtf8());
            sqlite3_bind_text(m_statement, at, bytes.last().constData(), int(bytes.last().size()), SQLITE_STATIC);
            break;
        case QMetaType::QByteArray: // UTF-8 text already
            bytes.append(*static_cast<const QByteArray *>(value.constData()));
            sqlite3_bind_text(m_statement, at, bytes.last().constData(), int(bytes.last().size()), SQLITE_STATIC);
            break;
        default:
            bytes.append(value.toString().toUtf8());
            sqlite3_bind_text(m_statement, at, bytes.last().constData(), int(bytes.last().size()), SQLITE_STATIC);
        }
    }
    int rc;
    const Row row(m_statement);
    while ((rc = sqlite3_step(m_statement)) == SQLITE_ROW) {
        if (take && !take(row)) {
            rc = SQLITE_DONE;
            break;
        }
    }
    if (rc != SQLITE_DONE)
        m_db.failWith(rc);
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement); // before the bound bytes go
    return rc == SQLITE_DONE;
}

// ---- The database -----------------------------------------------------------------------------------

Database::Database(QString path, int waitMs, Open mode) : m_path(std::move(path)), m_waitMs(waitMs), m_mode(mode)
{
}

Database::~Database()
{
    close();
}

void Database::close()
{
    m_statements.clear();
    const std::lock_guard hold(m_handleLock);
    if (m_handle)
        sqlite3_close_v2(m_handle);
    m_handle = nullptr;
    m_file.reset();
    m_checkedSchema = -1;
}

void Database::fail(StoreError::Kind kind, const QString &text)
{
    // The user sees the message of the window that asked; the engine's own words are kept here.
    m_failed = true;
    m_error = StoreError{kind, text};
    qCWarning(lcFile).noquote() << m_path << ":" << text;
}

void Database::failWith(int code)
{
    fail(m_interrupted ? StoreError::Kind::Cancelled : kindOf(code), m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QString::fromUtf8(sqlite3_errstr(code)));
}

bool Database::openFile()
{
    if (m_path.isEmpty()) {
        fail(StoreError::Kind::Other, QStringLiteral("no database path is set"));
        return false;
    }
    if (QFileInfo(m_path).isDir()) {
        fail(StoreError::Kind::Other, QStringLiteral("the database path names a folder: %1").arg(m_path));
        return false;
    }
    // Taken before the open: a file put in its place meanwhile is then only not served again.
    m_file = fileIdOf(m_path);
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX |
                      (m_mode == Open::Create ? SQLITE_OPEN_CREATE : 0);
    sqlite3 *opened = nullptr;
    const int rc = sqlite3_open_v2(uriOf(m_path, m_mode).constData(), &opened, flags, nullptr);
    {
        const std::lock_guard hold(m_handleLock);
        m_handle = opened;
    }
    if (rc != SQLITE_OK) {
        failWith(rc);
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_handle, 1);
    return true;
}

void Database::interrupt()
{
    const std::lock_guard hold(m_handleLock);
    m_interrupted = true;
    if (m_handle)
        sqlite3_interrupt(m_handle);
}

bool Database::beginOperation()
{
    m_failed = false;
    m_settingChanged = false;
    m_interrupted = false;
    // A kept connection serves only while the path names the file it opened.
    if (m_handle && fileIdOf(m_path) != m_file)
        close();
    if (!m_handle && !openFile())
        return false;
    // The operation before may have waited otherwise long.
    m_busyWait = std::make_unique<BusyWait>(BusyWait{std::max(0, m_waitMs), m_interrupted});
    sqlite3_busy_handler(m_handle, pollEveryMillisecond, m_busyWait.get());
    return checkSchema();
}

bool Database::checkSchema()
{
    // Reading the schema version reads the file header: a file that is not a database fails here.
    const auto version = [this](qint64 &read) {
        return statement("PRAGMA schema_version").run({}, [&read](const Row &row) {
            read = row.integer(0);
            return false;
        });
    };
    qint64 schema = -1;
    if (!version(schema))
        return false;
    if (schema == m_checkedSchema)
        return true;
    // New to this connection: another program may have changed what the program adds beside the tables.
    // A guard that could not mend is not this operation's failure.
    GuardSearchIndex(*this);
    m_failed = false;
    return version(m_checkedSchema);
}

void Database::endOperation()
{
    rollback();
    if (!m_handle)
        return;
    // Kept when the operation went well and left no setting of its own behind, when SQLite could open the
    // file for writing, and not in WAL mode, where closing moves the log into the file.
    const bool keep = !m_failed && !m_settingChanged && sqlite3_db_readonly(m_handle, "main") == 0 &&
                      !QFileInfo::exists(QString::fromUtf8(sqlite3_db_filename(m_handle, "main")) + QStringLiteral("-wal"));
    if (!keep)
        close();
}

Statement &Database::statement(const char *sql)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end() || !found->second->isValid())
        found = m_statements.insert_or_assign(sql, std::make_unique<Statement>(*this, QByteArrayView(sql))).first;
    return *found->second;
}

bool Database::run(const QString &sql, const QVariantList &values, const TakeRow &take)
{
    Statement once(*this, sql.toUtf8());
    return once.run(values, take);
}

bool Database::first(const char *sql, const QVariantList &values, std::optional<QVariant> &value)
{
    value.reset();
    return statement(sql).run(values, [&value](const Row &row) {
        value = row.isNull(0) ? QVariant() : QVariant(row.text(0));
        return false;
    });
}

bool Database::begin()
{
    if (const QString why = ReadOnlyReason(m_path); !why.isEmpty()) {
        fail(StoreError::Kind::Refused, why);
        return false;
    }
    if (!run("BEGIN IMMEDIATE"))
        return false;
    m_inTransaction = true;
    return true;
}

bool Database::commit()
{
    if (!run("COMMIT"))
        return false;
    m_inTransaction = false;
    return true;
}

void Database::rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (m_handle && !sqlite3_get_autocommit(m_handle)) {
        const StoreError kept = m_error;
        const bool failed = m_failed;
        run("ROLLBACK");
        m_error = kept;
        m_failed = failed;
    }
    m_failed = true; // a connection whose transaction was rolled back is not kept
}

QString Database::columnCollation(const QString &table, const QString &column)
{
    const char *collation = nullptr;
    if (!m_handle ||
        sqlite3_table_column_metadata(m_handle, "main", table.toUtf8().constData(), column.toUtf8().constData(),
                                      nullptr, &collation, nullptr, nullptr, nullptr) != SQLITE_OK ||
        !collation)
        return QStringLiteral("BINARY");
    return QString::fromUtf8(collation);
}

} // namespace worvane::sqlite
