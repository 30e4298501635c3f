#include "app/startup.h"

#include "app/inictrl.h"
#include "app/messagepresenter.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>

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

bool CheckPrevInstance()
{
    if (instanceLock())
        return true;
    auto lock = std::make_unique<QLockFile>(InstanceLockPath());
    lock->setStaleLockTime(0); // only a lock whose process is gone is taken over
    if (lock->tryLock(0)) {
        instanceLock() = std::move(lock);
        return true;
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
    if (!store.compact().ok())
        MessagePresenter::show(nullptr, caption::Compaction, msg::CompactionFailed);
}

void WriteDefaultPJCode(Settings &settings, const QString &code)
{
    if (!WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), code, settings.iniPath))
        qCWarning(lcSettings).noquote() << settings.iniPath << ": the default code could not be written";
    settings.defaultCode = code;
}

} // namespace worvane
