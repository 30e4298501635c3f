#include "store/sqlite/backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStorageInfo>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>

namespace worvane::sqlite
{

namespace
{
Q_LOGGING_CATEGORY(lcBackup, "worvane.backup")

const char *const PartSuffix = ".worvane-part";

// A copy's date, from its name; invalid for any other file.
QDate copyDate(const QString &databasePath, const QString &fileName)
{
    const QFileInfo database(databasePath);
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    static const QRegularExpression datePart(QStringLiteral("^-(\\d{4}-\\d{2}-\\d{2})$"));
    const QString base = database.completeBaseName();
    if (!fileName.startsWith(base) || !fileName.endsWith(suffix))
        return {};
    const QRegularExpressionMatch match =
        datePart.match(fileName.mid(base.size(), fileName.size() - base.size() - suffix.size()));
    return match.hasMatch() ? QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd")) : QDate();
}

// A folder for the copies that exists and can be written, or empty.
QString writableFolder(const QString &folder)
{
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable() && ::access(QFile::encodeName(folder).constData(), W_OK) == 0 ? folder
                                                                                                         : QString();
}

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Connection open(const QString &path, int flags)
{
    sqlite3 *handle = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, flags, nullptr);
    return Connection(handle, &sqlite3_close);
}

StoreError errorOf(int code, const QString &what)
{
    const StoreError::Kind kind = code == SQLITE_FULL              ? StoreError::Kind::DiskFull
                                  : code == SQLITE_BUSY || code == SQLITE_LOCKED ? StoreError::Kind::Busy
                                                                                 : StoreError::Kind::Other;
    return {kind, QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errstr(code)))};
}

// Writes the file's data to the disk, then the folder's entry for it.
bool makeDurable(const QString &path)
{
    for (const QString &name : {path, QFileInfo(path).absolutePath()}) {
        const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool synced = ::fsync(fd) == 0;
        ::close(fd);
        if (!synced)
            return false;
    }
    return true;
}

// The copy made under the part's name and checked; a failure says why.
std::optional<StoreError> copyTo(const QString &path, const QString &part, int waitMs)
{
    QFile::remove(part);
    const Connection source = open(path, SQLITE_OPEN_READONLY);
    const Connection copy = open(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!source || !copy || sqlite3_errcode(source.get()) != SQLITE_OK || sqlite3_errcode(copy.get()) != SQLITE_OK)
        return errorOf(source && sqlite3_errcode(source.get()) != SQLITE_OK ? sqlite3_errcode(source.get())
                                                                             : SQLITE_CANTOPEN,
                       QStringLiteral("the backup could not open its files"));
    sqlite3_busy_timeout(source.get(), waitMs);
    // A part that is not finished is thrown away: it needs no journal.
    sqlite3_exec(copy.get(), "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (!backup)
        return errorOf(sqlite3_errcode(copy.get()), QStringLiteral("the backup could not start"));
    // Whole, in one step: the copy is consistent as of one moment.
    int stepped = sqlite3_backup_step(backup, -1);
    while (stepped == SQLITE_BUSY || stepped == SQLITE_LOCKED) {
        // Another program is writing: the busy handler waited already; one more try, then give up.
        sqlite3_sleep(100);
        stepped = sqlite3_backup_step(backup, -1);
        if (stepped == SQLITE_BUSY || stepped == SQLITE_LOCKED)
            break;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE)
        return errorOf(stepped, QStringLiteral("the backup failed"));
    if (finished != SQLITE_OK)
        return errorOf(finished, QStringLiteral("the backup failed"));
    sqlite3_stmt *check = nullptr;
    QByteArray verdict;
    if (sqlite3_prepare_v2(copy.get(), "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW)
        verdict = reinterpret_cast<const char *>(sqlite3_column_text(check, 0));
    sqlite3_finalize(check);
    if (verdict != "ok")
        return StoreError{StoreError::Kind::Other,
                          QStringLiteral("the copy failed its check: %1").arg(QString::fromUtf8(verdict))};
    return std::nullopt;
}
} // namespace

QList<QDate> KeptCopies(const QList<QDate> &copies)
{
    QList<QDate> newestFirst = copies;
    std::sort(newestFirst.begin(), newestFirst.end(), std::greater<>());
    newestFirst.erase(std::unique(newestFirst.begin(), newestFirst.end()), newestFirst.end());
    std::set<QDate> kept(newestFirst.begin(), newestFirst.begin() + std::min<qsizetype>(7, newestFirst.size()));
    // The newest copy of each period, for the newest `count` periods that hold one.
    const auto newestOfEach = [&](auto period, int count) {
        std::set<qint64> seen;
        for (const QDate &date : newestFirst) {
            if (seen.insert(period(date)).second)
                kept.insert(date);
            if (int(seen.size()) == count)
                break;
        }
    };
    newestOfEach([](const QDate &d) { return d.addDays(1 - d.dayOfWeek()).toJulianDay(); }, 4);
    newestOfEach([](const QDate &d) { return qint64(d.year()) * 12 + d.month(); }, 12);
    return QList<QDate>(kept.rbegin(), kept.rend());
}

QString BackupFolder(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

QString BackupName(const QString &databasePath, const QDate &date)
{
    const QFileInfo database(databasePath);
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    return database.completeBaseName() + QLatin1Char('-') + date.toString(QStringLiteral("yyyy-MM-dd")) + suffix;
}

Result<BackupDone> BackUpDatabaseFile(const QString &path, const QDate &today, const QString &fallbackFolder,
                                      int waitMs)
{
    Result<BackupDone> result;
    BackupDone &done = result.value;
    const QFileInfo database(path);
    if (!database.isFile())
        return result; // the start said so already
    QString folder = writableFolder(BackupFolder(path));
    if (folder.isEmpty()) {
        qCInfo(lcBackup).noquote() << BackupFolder(path) << "cannot be written: the copies go to" << fallbackFolder;
        folder = writableFolder(fallbackFolder);
    }
    if (folder.isEmpty())
        return Result<BackupDone>::failure(
            {StoreError::Kind::Refused, QStringLiteral("no folder for the backups can be written: %1, %2")
                                            .arg(BackupFolder(path), fallbackFolder)});
    QDir dir(folder);
    const QString target = dir.filePath(BackupName(path, today));
    if (QFileInfo::exists(target)) {
        done.kind = BackupDone::Kind::AlreadyToday;
        done.path = target;
        return result;
    }
    const qint64 available = QStorageInfo(folder).bytesAvailable();
    if (available >= 0 && available < 2 * database.size()) {
        done = {BackupDone::Kind::NoRoom, folder, 2 * database.size(), available};
        qCWarning(lcBackup).noquote() << folder << ": no backup made," << available << "bytes free of"
                                      << 2 * database.size() << "needed";
        return result;
    }

    const QString part = target + QLatin1String(PartSuffix);
    if (const std::optional<StoreError> failed = copyTo(path, part, waitMs)) {
        QFile::remove(part);
        qCWarning(lcBackup).noquote() << target << ":" << failed->text;
        return Result<BackupDone>::failure(*failed);
    }
    if (!makeDurable(part) || !QFile::rename(part, target) || !makeDurable(target)) {
        QFile::remove(part);
        return Result<BackupDone>::failure(
            {StoreError::Kind::Other, QStringLiteral("the copy could not be put in place: %1").arg(target)});
    }
    done.kind = BackupDone::Kind::Made;
    done.path = target;

    // The new copy is whole and checked: the copies no longer kept go, with any part a killed run left.
    QList<QDate> dates;
    const QStringList names = dir.entryList(QDir::Files);
    for (const QString &name : names)
        if (const QDate date = copyDate(path, name); date.isValid())
            dates << date;
    const QList<QDate> kept = KeptCopies(dates);
    for (const QString &name : names) {
        const QDate date = copyDate(path, name);
        const bool leftPart = name.contains(QLatin1String(PartSuffix)) && name.startsWith(database.completeBaseName());
        if ((date.isValid() && !kept.contains(date)) || leftPart) {
            if (dir.remove(name))
                qCInfo(lcBackup).noquote() << "removed" << dir.filePath(name);
        }
    }
    qCInfo(lcBackup).noquote() << "backed up" << path << "to" << target;
    return result;
}

} // namespace worvane::sqlite
