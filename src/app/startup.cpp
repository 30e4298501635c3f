#include "app/startup.h"

#include "app/globals.h"
#include "app/inictrl.h"
#include "app/messagepresenter.h"
#include "store/compaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <memory>
#include <unistd.h>

namespace worvane
{

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
    MessagePresenter::show(nullptr, MessageKind::Warning, QStringLiteral("ロードエラー"),
                           QStringLiteral("このアプリケーションはすでに開かれています。"));
    return false;
}

void LoadSettings()
{
    LoadSettings(QCoreApplication::applicationDirPath());
}

void LoadSettings(const QString &executableFolder)
{
    LoadSettings(executableFolder, UserConfigFolder());
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

void LoadSettings(const QString &executableFolder, const QString &userConfigFolder)
{
    globals::IniPath = SettingsFilePath(executableFolder, userConfigFolder);
    globals::MdbPath = GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"), globals::IniPath);
    globals::DefaultPJCode =
        GetIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), globals::IniPath);
}

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool StartUp()
{
    if (!CheckPrevInstance())
        return false;
    LoadSettings();
    if (!FileExists(globals::MdbPath))
        MessagePresenter::show(
            nullptr, MessageKind::Critical, MainCaption,
            QStringLiteral("MDBのPATHが見つかりません。\r\nWorvane.iniの設定を見直して下さい。"));
    return true;
}

QString CompactionTemporaryPath(const QString &databasePath)
{
    return databasePath + QStringLiteral("TEMP.mdb");
}

void CompactMdb()
{
    const Outcome outcome = CompactDatabase(globals::MdbPath, CompactionTemporaryPath(globals::MdbPath));
    if (!outcome.ok)
        MessagePresenter::show(nullptr, MessageKind::Information, QStringLiteral("MDB最適化"),
                               QStringLiteral("MDBファイルが開かれている為、最適化が出来ませんでした。\r\n"
                                              "最適化を行う場合はMDBファイルを開かないで下さい。"));
}

void WriteDefaultPJCode(const QString &code)
{
    WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), code, globals::IniPath);
    globals::DefaultPJCode = code;
}

} // namespace worvane
