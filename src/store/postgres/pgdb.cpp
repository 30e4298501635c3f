#include "store/postgres/pgdb.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QLoggingCategory>
#include <QVarLengthArray>

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace worvane::postgres
{

Q_LOGGING_CATEGORY(lcServer, "worvane.store", QtInfoMsg)

namespace
{
bool isNullValue(const QVariant &value)
{
    return value.isNull() ||
           (value.typeId() == QMetaType::QString && static_cast<const QString *>(value.constData())->isNull());
}

// The states the project master's trigger raises (see pgschema.cpp).
constexpr char LeadOnlyState[] = "WV001";
constexpr char ProjectInUseState[] = "WV002";
constexpr char DayLockedState[] = "WV003";
constexpr char NoSavedDayState[] = "WV004";

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
    if (state == "42501" || state.startsWith("23") || state.startsWith("22") || state == "P0001" ||
        state.startsWith("WV"))
        return StoreError::Kind::Refused;
    return StoreError::Kind::Other;
}

// The rule a refusal is, by its SQLSTATE: the server raises states of its own (WV…) for what only a lead
// may do, a project that a day uses, a day approved or closed, and a lead's action on a day not saved.
StoreError::Rule ruleOf(const QByteArray &state)
{
    if (state == LeadOnlyState)
        return StoreError::Rule::LeadOnly;
    if (state == "42501")
        return StoreError::Rule::Permission;
    if (state == ProjectInUseState)
        return StoreError::Rule::ProjectInUse;
    if (state == DayLockedState)
        return StoreError::Rule::DayLocked;
    if (state == NoSavedDayState)
        return StoreError::Rule::NoSavedDay;
    return StoreError::Rule::None;
}

using ResultPtr = std::unique_ptr<pg_result, decltype(&PQclear)>;
using OptionsPtr = std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)>;

QByteArray optionOf(const PQconninfoOption *options, const char *keyword)
{
    for (const PQconninfoOption *o = options; o && o->keyword; ++o)
        if (!std::strcmp(o->keyword, keyword) && o->val && *o->val)
            return QByteArray(o->val);
    return {};
}

QString nameOf(const QByteArray &host, const QByteArray &port, const QByteArray &db)
{
    return QStringLiteral("%1:%2/%3")
        .arg(QString::fromUtf8(host.isEmpty() ? QByteArray("localhost") : host),
             QString::fromUtf8(port.isEmpty() ? QByteArray("5432") : port), QString::fromUtf8(db));
}

// A server's notices (NOTICE, INFO) belong in the log, not on a tool's standard error.
void logNotice(void *, const char *message)
{
    qCDebug(lcServer).noquote() << QString::fromUtf8(message).trimmed();
}
} // namespace

QString ServerName(const QString &uri)
{
    char *error = nullptr;
    const OptionsPtr given(PQconninfoParse(uri.toUtf8().constData(), &error), PQconninfoFree);
    PQfreemem(error);
    if (!given)
        return QStringLiteral("(a postgresql:// URI that does not parse)");
    const OptionsPtr defaults(PQconndefaults(), PQconninfoFree);
    const auto option = [&](const char *keyword) {
        const QByteArray value = optionOf(given.get(), keyword);
        return value.isEmpty() ? optionOf(defaults.get(), keyword) : value;
    };
    QByteArray host = option("host");
    if (host.isEmpty())
        host = option("hostaddr");
    QByteArray db = option("dbname");
    if (db.isEmpty())
        db = option("user");
    return nameOf(host, option("port"), db);
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
    char *error = nullptr;
    const OptionsPtr given(PQconninfoParse(m_uri.toUtf8().constData(), &error), PQconninfoFree);
    PQfreemem(error); // its words may quote the URI
    if (!given)
        m_unusable = StoreError{StoreError::Kind::Other, QStringLiteral("the database URI does not parse")};
    else if (!optionOf(given.get(), "password").isEmpty())
        m_unusable = StoreError{StoreError::Kind::Refused,
                                QStringLiteral("the database URI holds a password; it belongs in ~/.pgpass or "
                                               "PGPASSWORD"),
                                StoreError::Rule::PasswordInUri};
    m_resolvedName = ServerName(m_uri);
}

Database::~Database()
{
    close();
}

QString Database::name() const
{
    return m_resolvedName;
}

void Database::close()
{
    {
        const std::lock_guard hold(m_cancelLock);
        if (m_cancel)
            PQfreeCancel(m_cancel);
        m_cancel = nullptr;
    }
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
    m_inTransaction = false;
    m_endSent = false;
}

void Database::fail(StoreError::Kind kind, const QString &text, StoreError::Rule rule)
{
    // The user sees the message of the window that asked; the server's own words are kept here.
    m_error = StoreError{kind, text, rule};
    qCWarning(lcServer).noquote() << name() << ":" << text;
}

void Database::cancel()
{
    m_cancelled = true;
    const std::lock_guard hold(m_cancelLock);
    char why[256];
    if (m_cancel)
        PQcancel(m_cancel, why, sizeof why);
}

bool Database::connect()
{
    // The URI as libpq reads it; a connect_timeout of its own overrides the wait. The client's encoding
    // goes with the login, so that no SET stays on the connection.
    const QByteArray timeout = QByteArray::number(std::max(2, m_waitMs / 1000)), uri = m_uri.toUtf8();
    const char *const keys[] = {"connect_timeout", "fallback_application_name", "dbname", "client_encoding", nullptr};
    const char *const values[] = {timeout.constData(), "worvane", uri.constData(), "UTF8", nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        StoreError::Kind kind = StoreError::Kind::Unreachable;
        if (why.contains(QLatin1String("does not exist")) || why.contains(QLatin1String("permission denied")))
            kind = StoreError::Kind::Refused;
        else if (why.contains(QLatin1String("timeout expired")))
            kind = StoreError::Kind::TimedOut;
        else if (PQconnectionNeedsPassword(m_conn) || PQconnectionUsedPassword(m_conn) ||
                 why.contains(QLatin1String("authentication failed")) ||
                 why.contains(QLatin1String("no such user"))) // PgBouncer's word for a login it does not know
            kind = StoreError::Kind::Authentication;
        close();
        fail(kind, QStringLiteral("%1: %2").arg(name(), why));
        return false;
    }
    PQsetNoticeProcessor(m_conn, logNotice, nullptr);
    m_resolvedName = nameOf(PQhost(m_conn), PQport(m_conn), PQdb(m_conn));
    {
        const std::lock_guard hold(m_cancelLock);
        m_cancel = PQgetCancel(m_conn);
    }
    m_statementMs = m_waitMs;
    const ResultPtr who(await([this] { return PQsendQuery(m_conn, "SELECT session_user"); }), PQclear);
    if (PQresultStatus(who.get()) == PGRES_TUPLES_OK && PQntuples(who.get()) == 1) {
        m_person = QString::fromUtf8(PQgetvalue(who.get(), 0, 0));
        return true;
    }
    if (who)
        failed(who.get());
    close();
    return false;
}

pg_result *Database::await(const std::function<int()> &send)
{
    if (!send()) {
        fail(StoreError::Kind::Unreachable, QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
        return nullptr;
    }
    // The server's own timeout answers first; this is for a server that does not answer at all.
    const qint64 limit = qint64(m_statementMs) + m_waitMs;
    QElapsedTimer clock;
    clock.start();
    const int socket = PQsocket(m_conn);
    while (PQisBusy(m_conn)) {
        const qint64 left = limit - clock.elapsed();
        if (left <= 0) {
            cancel();
            close();
            fail(StoreError::Kind::TimedOut, QStringLiteral("no answer in %1 ms").arg(limit));
            return nullptr;
        }
        pollfd wait{socket, POLLIN, 0};
        if (poll(&wait, 1, int(std::min<qint64>(left, 100))) < 0 && errno != EINTR)
            break;
        if (!PQconsumeInput(m_conn))
            break;
    }
    // The results of every statement sent: the first failure's, else the last one's.
    const auto succeeded = [](const pg_result *result) {
        const ExecStatusType status = PQresultStatus(result);
        return status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
    };
    pg_result *kept = nullptr;
    while (pg_result *result = PQgetResult(m_conn)) {
        if (kept && !succeeded(kept)) {
            PQclear(result);
            continue;
        }
        PQclear(kept);
        kept = result;
    }
    if (!kept)
        fail(StoreError::Kind::Unreachable, QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
    return kept;
}

bool Database::failed(const pg_result *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray code = state ? QByteArray(state) : QByteArray();
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QString text = primary ? QString::fromUtf8(primary) : QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    StoreError::Kind kind = kindOf(code);
    if (code == "57014" && m_cancelled)
        kind = StoreError::Kind::Cancelled;
    fail(kind, kind == StoreError::Kind::Unreachable ? QStringLiteral("%1: %2").arg(name(), text) : text,
         kind == StoreError::Kind::Refused ? ruleOf(code) : StoreError::Rule::None);
    return false;
}

bool Database::begin(Wait wait)
{
    m_statementMs = wait == Wait::Short ? m_waitMs : std::max(60000, m_waitMs * 12);
    const QByteArray start = QStringLiteral("BEGIN; SET LOCAL statement_timeout = %1; SET LOCAL lock_timeout = %2")
                                 .arg(m_statementMs)
                                 .arg(m_waitMs)
                                 .toUtf8();
    if (!script(start.constData()))
        return false;
    m_inTransaction = true;
    return true;
}

bool Database::beginOperation(Wait wait)
{
    if (m_unusable) {
        m_error = *m_unusable;
        return false;
    }
    m_cancelled = false;
    // The end of the operation before, sent without waiting for it: its answer is here by now.
    if (m_conn && m_endSent) {
        m_endSent = false;
        m_statementMs = m_waitMs;
        PQclear(await([] { return 1; }));
    }
    if (m_conn && PQstatus(m_conn) != CONNECTION_OK)
        close();
    if (!m_conn)
        return connect() && begin(wait);
    if (begin(wait))
        return true;
    // A kept connection the server dropped meanwhile: nothing of this operation has run on it yet.
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return false;
    close();
    return connect() && begin(wait);
}

void Database::endOperation()
{
    // What was not committed ends on the server at once; its answer is read when the next operation
    // begins, so that an operation that only read costs no round trip for its end.
    if (m_inTransaction && m_conn && PQstatus(m_conn) == CONNECTION_OK)
        m_endSent = PQsendQuery(m_conn, "ROLLBACK") == 1;
    m_inTransaction = false;
    if (m_conn && PQstatus(m_conn) != CONNECTION_OK)
        close();
}

bool Database::run(const QString &sql, const QVariantList &values, const TakeRow &take)
{
    if (!m_conn) {
        fail(StoreError::Kind::Unreachable, QStringLiteral("not connected"));
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
    const ResultPtr result(await([&] {
                               return PQsendQueryParams(m_conn, text.constData(), int(params.size()), nullptr,
                                                        params.constData(), nullptr, nullptr, 0);
                           }),
                           PQclear);
    if (!result)
        return false;
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        return failed(result.get());
    if (take) {
        const int rows = PQntuples(result.get());
        for (int r = 0; r < rows; ++r)
            if (!take(Row(result.get(), r)))
                break;
    }
    return true;
}

bool Database::script(const char *sql)
{
    if (!m_conn) {
        fail(StoreError::Kind::Unreachable, QStringLiteral("not connected"));
        return false;
    }
    const ResultPtr result(await([&] { return PQsendQuery(m_conn, sql); }), PQclear);
    if (!result)
        return false;
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
        return true;
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

bool Database::commit()
{
    const bool done = run("COMMIT");
    m_inTransaction = false;
    return done;
}

} // namespace worvane::postgres
