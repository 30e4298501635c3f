#include "store/postgres/pgdb.h"

#include <QLocale>
#include <QLoggingCategory>
#include <QUrl>
#include <QVarLengthArray>

#include <libpq-fe.h>

#include <algorithm>
#include <memory>

namespace worvane::postgres
{

Q_LOGGING_CATEGORY(lcServer, "worvane.store")

namespace
{
bool isNullValue(const QVariant &value)
{
    return value.isNull() ||
           (value.typeId() == QMetaType::QString && static_cast<const QString *>(value.constData())->isNull());
}

// The kind of a failure by its SQLSTATE.
StoreError::Kind kindOf(const QByteArray &state)
{
    // Another writer won: a unique key taken meanwhile, a serialization failure, a deadlock.
    if (state == "23505" || state == "40001" || state == "40P01")
        return StoreError::Kind::Conflict;
    // The connection broke, or the server is shutting down; no SQLSTATE at all: the connection is gone.
    if (state.isEmpty() || state.startsWith("08") || state.startsWith("57P"))
        return StoreError::Kind::Unreachable;
    if (state.startsWith("28"))
        return StoreError::Kind::Authentication;
    if (state == "57014" || state == "55P03")
        return StoreError::Kind::TimedOut;
    if (state == "53100")
        return StoreError::Kind::DiskFull;
    if (state == "42501" || state.startsWith("23") || state == "P0001")
        return StoreError::Kind::Refused;
    return StoreError::Kind::Other;
}

using ResultPtr = std::unique_ptr<pg_result, decltype(&PQclear)>;
} // namespace

QString ServerName(const QString &uri)
{
    const QUrl url(uri);
    if (!url.isValid() || url.host().isEmpty())
        return uri;
    return QStringLiteral("%1:%2%3").arg(url.host()).arg(url.port(5432)).arg(url.path());
}

QByteArrayView Row::bytes(int column) const
{
    return QByteArrayView(PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column));
}

bool Row::isNull(int column) const
{
    return PQgetisnull(m_result, m_row, column) != 0;
}

std::optional<QString> Row::nullable(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

Database::Database(QString uri, int waitMs) : m_uri(std::move(uri)), m_waitMs(waitMs)
{
}

Database::~Database()
{
    close();
}

void Database::close()
{
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
    m_kept = false;
}

void Database::fail(StoreError::Kind kind, const QString &text)
{
    // The user sees the message of the window that asked; the server's own words are kept here.
    m_error = StoreError{kind, text};
    qCWarning(lcServer).noquote() << name() << ":" << text;
}

bool Database::connect()
{
    // The URI as libpq reads it; a connect_timeout of its own overrides the wait.
    const QByteArray timeout = QByteArray::number(std::max(1, m_waitMs / 1000)), uri = m_uri.toUtf8();
    const char *const keys[] = {"connect_timeout", "dbname", nullptr};
    const char *const values[] = {timeout.constData(), uri.constData(), nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_conn) == CONNECTION_OK) {
        PQsetClientEncoding(m_conn, "UTF8");
        const ResultPtr who(PQexec(m_conn, "SELECT current_user"), PQclear);
        if (PQresultStatus(who.get()) == PGRES_TUPLES_OK && PQntuples(who.get()) == 1) {
            m_person = QString::fromUtf8(PQgetvalue(who.get(), 0, 0));
            return true;
        }
        failed(who.get());
        close();
        return false;
    }
    const QString why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    const bool login = why.contains(QLatin1String("authentication failed")) ||
                       why.contains(QLatin1String("no password supplied")) ||
                       why.contains(QLatin1String("does not exist"));
    fail(login ? StoreError::Kind::Authentication : StoreError::Kind::Unreachable,
         QStringLiteral("%1: %2").arg(name(), why));
    close();
    return false;
}

bool Database::beginOperation()
{
    m_statementsRun = 0;
    if (m_conn && PQstatus(m_conn) != CONNECTION_OK)
        close();
    if (m_conn) {
        m_kept = true;
        return true;
    }
    return connect();
}

void Database::endOperation()
{
    rollback();
    if (m_conn && PQstatus(m_conn) != CONNECTION_OK)
        close();
}

bool Database::failed(const pg_result *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    QString text = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    const StoreError::Kind kind = kindOf(state ? QByteArray(state) : QByteArray());
    if (kind == StoreError::Kind::Unreachable)
        text = QStringLiteral("%1: %2").arg(name(), text);
    fail(kind, text);
    return false;
}

bool Database::run(const QString &sql, const QVariantList &values, const TakeRow &take)
{
    if (!m_conn) {
        fail(StoreError::Kind::Unreachable, QStringLiteral("%1: not connected").arg(name()));
        return false;
    }
    const QByteArray text = sql.toUtf8();
    QVarLengthArray<QByteArray, 16> texts(values.size());
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
    for (int attempt = 0;; ++attempt) {
        const ResultPtr result(PQexecParams(m_conn, text.constData(), int(params.size()), nullptr, params.constData(),
                                            nullptr, nullptr, 0),
                               PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
            ++m_statementsRun;
            if (take) {
                const int rows = PQntuples(result.get());
                for (int r = 0; r < rows; ++r)
                    if (!take(Row(result.get(), r)))
                        break;
            }
            return true;
        }
        // A kept connection the server dropped meanwhile: nothing of this operation has run on it yet.
        if (attempt == 0 && m_kept && m_statementsRun == 0 && PQstatus(m_conn) != CONNECTION_OK) {
            close();
            if (!connect())
                return false;
            continue;
        }
        return failed(result.get());
    }
}

bool Database::script(const char *sql)
{
    const ResultPtr result(PQexec(m_conn, sql), PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        ++m_statementsRun;
        return true;
    }
    return failed(result.get());
}

bool Database::first(const char *sql, const QVariantList &values, std::optional<QString> &value)
{
    value.reset();
    return run(sql, values, [&value](const Row &row) {
        value = row.nullable(0);
        if (!value)
            value = QString();
        return false;
    });
}

bool Database::begin()
{
    if (!run("BEGIN"))
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
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

} // namespace worvane::postgres
