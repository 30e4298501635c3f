#include "testsupport.h"

#include "store/schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace worvane::test
{

void makeDatabase(const QString &path, bool demo)
{
    const Outcome outcome = CreateDatabase(path, demo);
    if (!outcome.ok)
        qFatal("cannot create the test database %s: %s", qPrintable(path), qPrintable(outcome.error));
}

QList<QVariantList> sql(const QString &path, const QString &statement, const QVariantList &values)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("test-%1").arg(counter.fetchAndAddRelaxed(1));
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        QSqlQuery query(db);
        query.prepare(statement);
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!query.exec())
            qFatal("test SQL failed: %s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i);
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
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

SmallDisk::SmallDisk(const QString &folder) : m_folder(folder)
{
    QDir().mkpath(folder);
    m_mounted = ::mount("worvane-test", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount(QFile::encodeName(m_folder).constData());
}

void SmallDisk::fill()
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

} // namespace worvane::test
