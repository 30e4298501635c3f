#include "store/connection.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlError>
#include <QUrl>

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

Connection::Connection(const QString &path, int busyTimeoutMs, Mode mode)
    : m_path(path), m_name(nextConnectionName())
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    m_db.setDatabaseName(path.isEmpty() ? QString() : SqliteUri(path, mode));
}

Connection::~Connection()
{
    if (m_inTransaction)
        rollback();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
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
    if (QFileInfo(m_path).isDir()) {
        setError(QStringLiteral("the database path names a folder: %1").arg(m_path));
        return false;
    }
    if (!m_db.open()) {
        setError(engineText(m_db.lastError()));
        return false;
    }
    // Reading the schema version reads the file header: a file that is not a database fails here.
    return exec(QStringLiteral("PRAGMA schema_version"));
}

bool Connection::exec(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    return prepare(query, sql) && run(query, values);
}

bool Connection::prepare(QSqlQuery &query, const QString &sql)
{
    query = QSqlQuery(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        setError(engineText(query.lastError()));
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
        return false;
    }
    return true;
}

bool Connection::exec(const QString &sql, const QVariantList &values)
{
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
    m_error = kept;
}

} // namespace worvane
