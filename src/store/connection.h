#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <optional>

namespace worvane
{

// One connection to the database file, alive for one store operation. The file is opened read-write
// and never created: a missing path stays missing. A lock held by another program is waited for up to
// the busy timeout.
class Connection
{
public:
    enum class Mode { ReadWrite, ReadWriteCreate };

    Connection(const QString &path, int busyTimeoutMs, Mode mode = Mode::ReadWrite);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the file and reads its header, so that a file that is not a database fails here.
    bool open();

    // Runs a statement with its values bound in order. On failure the engine's text is kept in error().
    bool exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {});
    bool exec(const QString &sql, const QVariantList &values = {});

    // A statement prepared once and run many times with different values.
    bool prepare(QSqlQuery &query, const QString &sql);
    bool run(QSqlQuery &query, const QVariantList &values);

    // After the last next() of a query: true when its rows ran out, false (the engine's text kept) when
    // reading them failed.
    bool finished(const QSqlQuery &query);

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
    QString error() const { return m_error; }

private:
    void setError(const QString &text);

    QString m_path;
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
    bool m_inTransaction = false;
};

// Why a write to the database at path must not be tried (file or folder without any write permission),
// or an empty string.
QString ReadOnlyReason(const QString &path);

// "file:" URI for a local path, every character that would mean something to SQLite escaped.
QString SqliteUri(const QString &path, Connection::Mode mode);

} // namespace worvane
