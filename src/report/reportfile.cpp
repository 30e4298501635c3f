#include "report/reportfile.h"

#include "common/cp932.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace worvane
{

Q_LOGGING_CATEGORY(lcReport, "worvane.report")

namespace
{
const QString CrLf = QStringLiteral("\r\n");
const QString Tab = QStringLiteral("\t");

// Error numbers as the users of the report file know them from earlier versions of the program.
enum ErrorNumber {
    BadCharacters = 5,
    DiskFull = 61,
    PermissionDenied = 70,
    AccessError = 75,
    PathNotFound = 76,
};

ReportFileError fileError(int number, const QString &what, const QString &path)
{
    qCWarning(lcReport).noquote() << path << ":" << what;
    return ReportFileError{number,
                           QStringLiteral("Worvane (%1: %2)").arg(what, QDir::toNativeSeparators(path))};
}

ReportFileError systemError(const QString &path, int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return fileError(DiskFull, QStringLiteral("ディスクの空き容量が足りません"), path);
    case EACCES:
    case EPERM:
    case EROFS:
        return fileError(PermissionDenied, QStringLiteral("書き込みが許可されていません"), path);
    case ENOENT:
    case ENOTDIR:
        return fileError(PathNotFound, QStringLiteral("フォルダが見つかりません"), path);
    default:
        return fileError(AccessError, QStringLiteral("ファイルに書き込めません"), path);
    }
}

// The bytes in the file at path, whole or not at all: written to a new file beside it and synced, which then
// replaces it (a link is followed, and the file it names replaced). The new file keeps the old one's
// permissions; a file made new has a new file's.
std::optional<ReportFileError> writeBytes(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (info.isDir())
        return fileError(AccessError, QStringLiteral("フォルダと同じ名前です"), path);
    if (!info.dir().exists())
        return fileError(PathNotFound, QStringLiteral("フォルダが見つかりません"), path);
    if (info.exists() && !info.isFile()) // a device, a fifo, a socket: never replaced by a file
        return fileError(AccessError, QStringLiteral("通常のファイルではありません"), path);
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        return fileError(PermissionDenied, QStringLiteral("読み取り専用のファイルです"), path);

    QFileInfo named(path); // what a link names, even when that is not there yet
    for (int depth = 0; depth < 128 && named.isSymLink(); ++depth)
        named.setFile(named.symLinkTarget());
    const QByteArray target = QFile::encodeName(named.absoluteFilePath());
    struct stat old {};
    const bool replacing = ::stat(target.constData(), &old) == 0;
    QByteArray part;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        part = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return systemError(path, errno);
    const auto discard = [&](int error) {
        ::close(fd);
        ::unlink(part.constData());
        return systemError(path, error);
    };
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        return discard(errno);
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return discard(n < 0 ? errno : ENOSPC);
        written += n;
    }
    // Synced before it replaces the old file, so that a failure the disk reports late (no space left) is
    // seen while the old file is still there.
    if (::fdatasync(fd) != 0)
        return discard(errno);
    if (::close(fd) != 0 || ::rename(part.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(part.constData());
        return systemError(path, error);
    }
    return std::nullopt;
}

} // namespace

QString BuildReportText(const QString &date, const QString &startTime, const QString &endTime,
                        const QList<WorkItem> &items)
{
    QString text = date + Tab + startTime + QStringLiteral("～") + endTime + CrLf + CrLf;
    for (const WorkItem &item : items) {
        text += item.code + QStringLiteral(".") + Tab + item.head + CrLf;
        text += Tab + Tab + QString(item.detail).replace(CrLf, CrLf + Tab + Tab) + CrLf;
        text += CrLf;
    }
    return text + CrLf;
}

std::optional<QString> FindUnwritableCharacter(const QString &date, const QString &startTime,
                                               const QString &endTime, const QList<WorkItem> &items)
{
    const auto first = [](const QString &text) -> std::optional<QString> {
        const QString dropped = DropNonCp932(text);
        if (dropped == text)
            return std::nullopt;
        qsizetype at = 0; // the first place where the text and its CP932 part differ
        while (at < dropped.size() && dropped.at(at) == text.at(at))
            ++at;
        const bool pair = text.at(at).isHighSurrogate() && at + 1 < text.size();
        return text.mid(at, pair ? 2 : 1);
    };
    const auto named = [](const QString &where, const QString &c) {
        return QStringLiteral("%1「%2」").arg(where, c);
    };
    if (const auto c = first(date))
        return named(QStringLiteral("日付"), *c);
    if (const auto c = first(startTime + endTime))
        return named(QStringLiteral("就労時間"), *c);
    for (const WorkItem &item : items) {
        if (const auto c = first(item.code + item.head + item.detail))
            return named(QStringLiteral("作業項目№") + item.code, *c);
    }
    return std::nullopt;
}

std::optional<ReportFileError> WriteDayReport(const QString &path, const DayHeader &day,
                                              const QList<WorkItem> &items)
{
    bool representable = false;
    const QByteArray bytes =
        ToCp932(BuildReportText(day.date, day.startTime, day.endTime, items), &representable);
    if (!representable) // the rare case: where the character is, for the message
        return ReportFileError{
            BadCharacters,
            QStringLiteral("Worvane (Shift-JIS で表せない文字があります: %1)")
                .arg(FindUnwritableCharacter(day.date, day.startTime, day.endTime, items).value_or(QString()))};
    return writeBytes(path, bytes);
}

std::optional<ReportFileError> WriteReportFile(const QString &path, const QString &text)
{
    bool representable = false;
    const QByteArray bytes = ToCp932(text, &representable);
    if (!representable)
        return fileError(BadCharacters, QStringLiteral("Shift-JIS で表せない文字があります"), path);
    return writeBytes(path, bytes);
}

} // namespace worvane
