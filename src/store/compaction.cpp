#include "store/compaction.h"

#include "store/connection.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace worvane
{

namespace
{
CompactionFault &fault()
{
    static CompactionFault f;
    return f;
}

bool injected(CompactionStep step)
{
    return fault() && fault()(step);
}

bool syncPath(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

void SetCompactionFault(CompactionFault f)
{
    fault() = std::move(f);
}

Outcome CompactDatabase(const QString &path, const QString &temporaryPath, int busyTimeoutMs)
{
    const QFileInfo database(path);
    if (path.isEmpty() || !database.isFile())
        return Outcome{false, QStringLiteral("the database file is missing: %1").arg(path)};
    if (const QString why = ReadOnlyReason(path); !why.isEmpty() || !database.isWritable())
        return Outcome{false,
                       why.isEmpty() ? QStringLiteral("the database file is read-only: %1").arg(path) : why};
    if (QFileInfo::exists(temporaryPath) || QFileInfo(temporaryPath).isSymLink())
        return Outcome{
            false, QStringLiteral("a file of the temporary name is already there: %1").arg(temporaryPath)};

    // Writers are kept out from before the copy until the copy has replaced the file.
    Connection guard(path, busyTimeoutMs);
    if (injected(CompactionStep::Lock))
        return Outcome{false, QStringLiteral("lock refused (test)")};
    if (!guard.open() || !guard.begin())
        return Outcome{false, guard.error()};

    Outcome outcome;
    {
        Connection reader(path, busyTimeoutMs);
        if (injected(CompactionStep::Vacuum))
            outcome = Outcome{false, QStringLiteral("compaction refused (test)")};
        else if (!reader.open() || !reader.exec(QStringLiteral("VACUUM INTO ?"), {temporaryPath}))
            outcome = Outcome{false, reader.error()};
    }
    if (outcome.ok && (injected(CompactionStep::Sync) || !syncPath(temporaryPath)))
        outcome = Outcome{false, systemError(QStringLiteral("cannot flush the compacted copy"))};
    if (outcome.ok) {
        QFile::setPermissions(temporaryPath, QFile::permissions(path));
        if (injected(CompactionStep::Replace) || std::rename(QFile::encodeName(temporaryPath).constData(),
                                                             QFile::encodeName(path).constData()) != 0)
            outcome = Outcome{false, systemError(QStringLiteral("cannot replace the database file"))};
        else
            syncPath(database.absolutePath());
    }
    if (!outcome.ok)
        QFile::remove(temporaryPath);
    guard.rollback();
    return outcome;
}

} // namespace worvane
