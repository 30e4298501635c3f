#include "core/wholefile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace worvane
{

namespace
{
QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

std::optional<struct stat> statOf(const QString &path)
{
    struct stat status {};
    if (::stat(encoded(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

// The file a name leads to once every link is followed, even when that file is not there (yet).
QString followLinks(const QString &path)
{
    QFileInfo named(QFileInfo(path).absoluteFilePath());
    for (int depth = 0; depth < 40 && named.isSymLink(); ++depth)
        named.setFile(named.symLinkTarget());
    return named.absoluteFilePath();
}

// The name of a file with its folder's links resolved, so that two names of one place compare equal; the
// file itself need not exist.
QString placeOf(const QString &path)
{
    const QFileInfo file(followLinks(path));
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? file.absoluteFilePath() : folder + QLatin1Char('/') + file.fileName();
}

FileProblem problem(FileFault fault, const char *reason)
{
    return FileProblem{fault, QString::fromUtf8(reason)};
}

// Opens the part file at name for a writer, locked: a writer of the same target that is still at work is
// waited for, and a part left by one that was killed is taken over. -1 with errno set when that fails.
int lockPart(const QByteArray &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0)
            return -1;
        struct stat held {}, named {};
        // The writer before may have put its part in place meanwhile: then the name is another file.
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
    errno = EBUSY;
    return -1;
}
} // namespace

InUse FilesInUse(const QString &databasePath, const QString &settingsPath)
{
    QStringList files;
    const bool server = databasePath.startsWith(QLatin1String("postgresql://")) ||
                        databasePath.startsWith(QLatin1String("postgres://"));
    if (!databasePath.isEmpty() && !server) {
        // SQLite keeps its journal beside the file a link names; a name beside the link is kept too.
        for (const QString &database : {databasePath, followLinks(databasePath)})
            for (const char *suffix : {"", "-journal", "-wal", "-shm"})
                files << database + QLatin1String(suffix);
    }
    files.removeDuplicates();
    return InUse{files, settingsPath};
}

FileProblem SystemFileProblem(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return problem(FileFault::DiskFull, "ディスクの空き容量が足りません");
    case EACCES:
    case EPERM:
        return problem(FileFault::Denied, "書き込みが許可されていません");
    case EROFS:
        return problem(FileFault::ReadOnly, "読み取り専用の場所です");
    case ENOENT:
    case ENOTDIR:
        return problem(FileFault::NoFolder, "フォルダが見つかりません");
    default:
        return problem(FileFault::Other, "ファイルに書き込めません");
    }
}

std::optional<FileProblem> CheckWriteTarget(const FileTarget &target)
{
    const QString file = followLinks(target.path);
    const std::optional<struct stat> status = statOf(file);
    const QString name = QFileInfo(file).fileName();
    // The same file by device and inode (a hard link), or the same name once links are followed (a journal
    // that is not there yet); folders are compared only where the names are one.
    const auto isOne = [&](const QString &inUse) {
        if (inUse.isEmpty())
            return false;
        const std::optional<struct stat> used = status ? statOf(inUse) : std::nullopt;
        if (used && used->st_dev == status->st_dev && used->st_ino == status->st_ino)
            return true;
        const QString followed = followLinks(inUse);
        return QFileInfo(followed).fileName() == name && placeOf(followed) == placeOf(file);
    };
    if (std::any_of(target.inUse.database.begin(), target.inUse.database.end(), isOne))
        return problem(FileFault::InUse, "使用中のデータベースファイルです");
    if (isOne(target.inUse.settings))
        return problem(FileFault::InUse, "使用中の設定ファイルです");
    if (status && S_ISDIR(status->st_mode))
        return problem(FileFault::IsFolder, "フォルダと同じ名前です");
    const QString folder = QFileInfo(file).absolutePath();
    const std::optional<struct stat> folderStatus = statOf(folder);
    if (!folderStatus || !S_ISDIR(folderStatus->st_mode))
        return problem(FileFault::NoFolder, "フォルダが見つかりません");
    if (status && !S_ISREG(status->st_mode))
        return problem(FileFault::NotRegular, "通常のファイルではありません");
    // A permission bit is the owner's word, which holds even for root, who may write anything.
    if (status && !(status->st_mode & 0222))
        return problem(FileFault::ReadOnly, "読み取り専用のファイルです");
    if (!(folderStatus->st_mode & 0222))
        return problem(FileFault::ReadOnly, "読み取り専用のフォルダです");
    if ((status && ::access(encoded(file).constData(), W_OK) != 0) ||
        ::access(encoded(folder).constData(), W_OK | X_OK) != 0)
        return SystemFileProblem(errno);
    return std::nullopt;
}

bool PartFile::write(QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (m_error == 0)
                m_error = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

std::optional<FileProblem> WriteWholeFile(const FileTarget &target,
                                          const std::function<bool(PartFile &part, QString &why)> &fill)
{
    if (const auto refused = CheckWriteTarget(target))
        return refused;
    const QString file = followLinks(target.path);
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    const std::optional<struct stat> old = statOf(file);
    // The one name a part of this target has in the folder; a part left by a killed writer is taken over.
    const QByteArray partName = encoded(folder + QStringLiteral("/.") + info.fileName() + QStringLiteral(".worvane-part"));

    // An unnamed file where the system has them, reached through /proc for its linking and for writers by
    // name: a writer killed before the end leaves nothing. Elsewhere the part file itself.
    PartFile part;
    part.m_folder = folder;
    bool named = false;
    part.m_fd = ::access("/proc/self/fd", X_OK) == 0
                    ? ::open(encoded(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666)
                    : -1;
    if (part.m_fd >= 0) {
        ::flock(part.m_fd, LOCK_EX); // held once it has the part's name, until it is in place
        part.m_path = QStringLiteral("/proc/self/fd/%1").arg(part.m_fd);
    } else {
        part.m_fd = lockPart(partName);
        if (part.m_fd < 0 || ::ftruncate(part.m_fd, 0) != 0) {
            const FileProblem why = SystemFileProblem(errno);
            if (part.m_fd >= 0)
                ::close(part.m_fd);
            return why;
        }
        named = true;
        part.m_path = QFile::decodeName(partName);
    }
    const auto discard = [&](const FileProblem &why) {
        if (named)
            ::unlink(partName.constData());
        ::close(part.m_fd);
        return why;
    };

    QString why;
    errno = 0;
    if (!fill(part, why)) {
        if (!why.isEmpty())
            return discard(FileProblem{FileFault::Refused, why});
        return discard(SystemFileProblem(part.m_error ? part.m_error : errno));
    }
    // Pushed to the disk before it replaces the old file, so that a failure the disk reports late (no space
    // left) is seen while the old file is still there.
    if (::fdatasync(part.m_fd) != 0)
        return discard(SystemFileProblem(errno));
    if (old) {
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid())
            (void)::fchown(part.m_fd, old->st_uid, old->st_gid); // root's to give; others keep their own
        if (::fchmod(part.m_fd, old->st_mode & 07777) != 0)
            return discard(SystemFileProblem(errno));
    }
    // Named for the moment of the rename; a part a killed writer left under that name goes first, one a
    // live writer holds is waited for.
    for (int attempt = 0; !named && attempt < 100; ++attempt) {
        if (::linkat(AT_FDCWD, encoded(part.m_path).constData(), AT_FDCWD, partName.constData(), AT_SYMLINK_FOLLOW) == 0)
            named = true;
        else if (errno != EEXIST)
            return discard(SystemFileProblem(errno));
        else if (const int stale = lockPart(partName); stale >= 0) {
            ::unlink(partName.constData());
            ::close(stale);
        }
    }
    if (!named)
        return discard(SystemFileProblem(EBUSY));
    if (::rename(partName.constData(), encoded(file).constData()) != 0)
        return discard(SystemFileProblem(errno));
    ::close(part.m_fd);
    return std::nullopt;
}

} // namespace worvane
