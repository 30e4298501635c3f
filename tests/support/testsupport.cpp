#include "testsupport.h"

#include "store/open/openstore.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QApplication>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace worvane::test
{

void makeDatabase(const QString &path, bool demo)
{
    const Result<QString> made = CreateDatabase(path, demo);
    if (!made.ok())
        qFatal("cannot create the test database %s: %s", qPrintable(path), qPrintable(made.error->text));
}

bool onServer()
{
    return qEnvironmentVariableIsSet("WORVANE_TEST_SERVER");
}

namespace
{
QString serverFolder()
{
    return qEnvironmentVariable("WORVANE_TEST_SERVER");
}

// A line of a file the cluster's script wrote.
QString clusterFile(const char *name)
{
    QFile file(serverFolder() + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no %s in the test cluster %s", name, qPrintable(serverFolder()));
    return QString::fromUtf8(file.readAll()).trimmed();
}

// With WORVANE_TEST_BOUNCED set, the program and its tools reach the cluster through its PgBouncer.
int bouncerPort()
{
    return qEnvironmentVariableIsSet("WORVANE_TEST_BOUNCED") ? clusterFile("bouncer").toInt() : 0;
}

// The cluster's superuser URI, on the database named (or the maintenance database): the server itself.
QString adminUri(const QString &database = QStringLiteral("postgres"))
{
    QUrl url(clusterFile("admin"));
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

QString withPerson(const QString &uri, const QString &person)
{
    QUrl url(uri);
    url.setUserName(person);
    return url.toString();
}

void adminExec(const QString &database, const QStringList &statements)
{
    Session admin(adminUri(database));
    for (const QString &statement : statements)
        if (!admin.exec(statement))
            qFatal("%s: %s", qPrintable(statement), qPrintable(admin.error()));
}
} // namespace

QString freshDatabase(const QString &folder, const QString &name, bool demo, const QString &person)
{
    if (!onServer()) {
        const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".db");
        QFile::remove(path);
        makeDatabase(path, demo);
        return path;
    }
    // A run through the bouncer has databases of its own: the direct run of the same program goes on beside it.
    const QString database = (bouncerPort() ? QStringLiteral("tb_") : QStringLiteral("t_")) + name.toLower();
    adminExec(QStringLiteral("postgres"), {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database),
                                           QStringLiteral("CREATE DATABASE %1").arg(database)});
    makeDatabase(adminUri(database), demo);
    // The people of the tests: roles of the whole cluster, made by whichever test program comes first
    // (the programs run at once).
    adminExec(database, {QStringLiteral(R"(DO $$ BEGIN
        CREATE ROLE alice LOGIN PASSWORD 'secret' IN ROLE worvane_user;
        CREATE ROLE bob LOGIN PASSWORD 'secret' IN ROLE worvane_user;
        CREATE ROLE lea LOGIN PASSWORD 'secret' IN ROLE worvane_lead;
      EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
      END $$)")});
    QUrl uri(withPerson(adminUri(database), person));
    if (const int port = bouncerPort())
        uri.setPort(port);
    return uri.toString();
}

QString asPerson(const QString &database, const QString &person)
{
    return IsServerUri(database) ? withPerson(database, person) : database;
}

QString serverAdmin(const QString &database)
{
    return IsServerUri(database) ? withPerson(database, QStringLiteral("postgres")) : database;
}

Session::Session(const QString &database)
{
    static QAtomicInt counter;
    m_name = QStringLiteral("test-%1").arg(counter.fetchAndAddRelaxed(1));
    QSqlDatabase db;
    if (IsServerUri(database)) {
        const QUrl url(database);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setHostName(url.host());
        // SQL typed by hand goes to the server itself (Qt's driver keeps prepared statements on a
        // connection, which a transaction-pooling bouncer does not).
        const int server = QUrl(adminUri()).port();
        db.setPort(url.port(5432) == bouncerPort() ? server : url.port(5432));
        db.setDatabaseName(url.path().mid(1));
        db.setUserName(url.userName());
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(database);
    }
    if (!db.open())
        qFatal("cannot open %s: %s", qPrintable(database), qPrintable(db.lastError().text()));
}

Session::~Session()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool Session::exec(const QString &statement, const QVariantList &values, QList<QVariantList> *rows)
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    bool ran = false;
    if (values.isEmpty()) {
        ran = query.exec(statement);
    } else {
        query.prepare(statement);
        for (const QVariant &value : values)
            query.addBindValue(value);
        ran = query.exec();
    }
    if (!ran) {
        m_error = query.lastError().text();
        return false;
    }
    while (rows && query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
        rows->append(row);
    }
    return true;
}

QVariant Session::first(const QString &statement, const QVariantList &values)
{
    QList<QVariantList> rows;
    if (!exec(statement, values, &rows))
        qFatal("test SQL failed: %s: %s", qPrintable(statement), qPrintable(m_error));
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

QString rowOrder(const QString &database)
{
    return IsServerUri(database) ? QStringLiteral("ROWNO") : QStringLiteral("rowid");
}

QList<QVariantList> sql(const QString &path, const QString &statement, const QVariantList &values)
{
    QList<QVariantList> rows;
    Session session(path);
    if (!session.exec(statement, values, &rows))
        qFatal("test SQL failed: %s: %s", qPrintable(statement), qPrintable(session.error()));
    return rows;
}

QList<QVariantList> sql(const QString &path, const QString &sqliteWords, const QString &postgresWords,
                        const QVariantList &values)
{
    return sql(path, IsServerUri(path) ? postgresWords : sqliteWords, values);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

SmallDisk::SmallDisk(const QString &folder, int kilobytes) : m_folder(folder)
{
    QDir().mkpath(folder);
    const QByteArray size = "size=" + QByteArray::number(kilobytes) + "k";
    m_mounted = ::mount("worvane-test", QFile::encodeName(folder).constData(), "tmpfs", 0, size.constData()) == 0;
}

SmallDisk::~SmallDisk()
{
    // Detached even while a kept connection still holds a file on it: the disk goes once that closes.
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

void SmallDisk::fill(qint64 leaveBytes)
{
    const QByteArray path = QFile::encodeName(m_folder + QStringLiteral("/filler"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        qFatal("cannot create %s", path.constData());
    const QByteArray block(512, 'x');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    if (errno != ENOSPC)
        qFatal("filling %s stopped short: %s", path.constData(), std::strerror(errno));
    if (leaveBytes > 0 && ::ftruncate(fd, std::max<off_t>(0, ::lseek(fd, 0, SEEK_END) - leaveBytes)) != 0)
        qFatal("cannot leave room in %s", path.constData());
    ::close(fd);
}

MessageLog::MessageLog()
{
    MessagePresenter::setHandler([this](const MessageRequest &request) {
        m_messages.append(request);
        return request.kind == MessageKind::Question && !m_answers.isEmpty() ? m_answers.takeFirst() : false;
    });
}

MessageLog::~MessageLog()
{
    MessagePresenter::setHandler({});
}

QStringList MessageLog::texts() const
{
    QStringList texts;
    for (const MessageRequest &m : m_messages)
        texts << m.text;
    return texts;
}

void whenModal(const std::function<void(QWidget *)> &act)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start(5);
}

} // namespace worvane::test
