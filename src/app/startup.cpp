#include "app/startup.h"

#include "app/inictrl.h"
#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "core/clock.h"
#include "core/dayrules.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <unistd.h>

namespace worvane
{

Q_LOGGING_CATEGORY(lcSettings, "worvane.settings")

namespace
{
std::unique_ptr<QLockFile> &instanceLock()
{
    static std::unique_ptr<QLockFile> lock;
    return lock;
}
} // namespace

QString InstanceLockPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("worvane-%1.lock").arg(::getuid()));
}

QString CompactionLockPath()
{
    return InstanceLockPath().replace(QLatin1String(".lock"), QLatin1String("-compacting.lock"));
}

bool CheckPrevInstance(int waitMs)
{
    if (instanceLock())
        return true;
    auto lock = std::make_unique<QLockFile>(InstanceLockPath());
    lock->setStaleLockTime(0); // only a lock whose process is gone is taken over
    if (lock->tryLock(0)) {
        instanceLock() = std::move(lock);
        return true;
    }
    // A copy that is closing and compacting its database: this start waits for it, in sight.
    QLockFile compacting(CompactionLockPath());
    compacting.setStaleLockTime(0);
    if (!compacting.tryLock(0)) {
        QProgressDialog box(msg::WaitingForCompaction, msg::CancelButton, 0, 0);
        box.setObjectName(QStringLiteral("dlgWaitingForCompaction"));
        box.setWindowTitle(caption::Main);
        box.setMinimumDuration(0);
        box.show();
        QElapsedTimer waited;
        waited.start();
        while (!box.wasCanceled() && waited.elapsed() < waitMs) {
            if (lock->tryLock(0)) {
                instanceLock() = std::move(lock);
                return true;
            }
            QEventLoop pause;
            QTimer::singleShot(50, &pause, &QEventLoop::quit);
            pause.exec();
        }
        if (box.wasCanceled())
            return false;
    }
    MessagePresenter::show(nullptr, caption::LoadError, msg::AlreadyRunning);
    return false;
}

QString UserConfigFolder()
{
    // As the XDG base-directory rules say, and as bin/worvane-launch reads them: a relative value is ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/worvane");
}

QString SettingsFilePath(const QString &executableFolder, const QString &userConfigFolder)
{
    const QString beside = executableFolder + QStringLiteral("/Worvane.ini");
    if (QFileInfo::exists(beside) || QFileInfo(executableFolder).isWritable())
        return beside;
    return userConfigFolder + QStringLiteral("/Worvane.ini");
}

Settings LoadSettings(const QString &executableFolder, const QString &userConfigFolder)
{
    Settings settings;
    settings.iniPath = SettingsFilePath(executableFolder, userConfigFolder);
    settings.databasePath =
        GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"), settings.iniPath);
    settings.defaultCode =
        GetIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), settings.iniPath);
    settings.companyHolidays = GetIniString(QStringLiteral("Holidays"), QStringLiteral("Company"), settings.iniPath);
    return settings;
}

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void CheckDatabaseFile(const Store &store)
{
    if (const std::optional<StoreError> why = store.missingAtStart())
        MessagePresenter::show(nullptr, caption::Main,
                               why->rule == StoreError::Rule::PasswordInUri ? msg::PasswordInPath : msg::DatabaseMissing);
}

void CompactMdb(Store &store)
{
    // A start meanwhile waits for this instead of saying that the program is open; the instance lock is
    // let go first, so that such a start never finds the one held and the other free.
    QLockFile compacting(CompactionLockPath());
    compacting.setStaleLockTime(0);
    compacting.tryLock(0);
    Outcome compacted;
    AwaitStoreCall(nullptr, store, [&] { compacted = store.compact(); },
                   WaitBox{msg::Compacting, caption::Compaction, 200, false});
    if (!compacted.ok())
        MessagePresenter::show(nullptr, caption::Compaction, msg::CompactionFailed);
    instanceLock().reset();
}

void BackUpAtExit(Store &store, const Settings &settings)
{
    const QDate today = Clock::today();
    const QString fallback =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
    Result<BackupDone> done;
    AwaitStoreCall(nullptr, store, [&] { done = store.backUp(today, fallback); },
                   WaitBox{msg::BackingUp, caption::Compaction, 200, false});
    QString notMade;
    if (!done.ok()) {
        qCWarning(lcSettings).noquote() << "the backup was not made:" << done.error->text;
        notMade = msg::BackupNotMade(ymdText(today), done.error->kind == StoreError::Kind::DiskFull
                                                         ? msg::BackupDiskFull
                                                         : msg::BackupFailedSeeLog);
    }
    else if (done.value.kind == BackupDone::Kind::NoRoom)
        notMade = msg::BackupNotMade(ymdText(today), msg::BackupNoRoom(done.value.needed, done.value.free));
    if (!notMade.isEmpty())
        qCWarning(lcSettings).noquote() << notMade;
    // Said once: a later exit that makes its copy clears it.
    if ((!notMade.isEmpty() || !BackupNotice(settings).isEmpty()) &&
        !WriteIniString(QStringLiteral("Backup"), QStringLiteral("NotMade"), notMade, settings.iniPath))
        qCWarning(lcSettings).noquote() << settings.iniPath << ": the backup's outcome could not be written";
}

QString BackupNotice(const Settings &settings)
{
    return GetIniString(QStringLiteral("Backup"), QStringLiteral("NotMade"), settings.iniPath);
}

void WriteDefaultPJCode(Settings &settings, const QString &code)
{
    if (!WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), code, settings.iniPath))
        qCWarning(lcSettings).noquote() << settings.iniPath << ": the default code could not be written";
    settings.defaultCode = code;
}

} // namespace worvane
