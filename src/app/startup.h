#pragma once

#include "core/values.h"

#include <QString>

class QWidget;

namespace worvane
{

class Store;

// True when this is the only running copy for this user; the lock is held until the program ends (or its
// compaction at exit is done). A copy that is closing and compacting its database is waited for, up to
// waitMs, with a box saying so (キャンセル gives up). Otherwise shows the load-error warning and returns
// false.
bool CheckPrevInstance(int waitMs = 120000);

// The settings in the file that SettingsFilePath chooses; empty values where the file, a section or a
// key is missing.
Settings LoadSettings(const QString &executableFolder, const QString &userConfigFolder);

// Where the settings file is, in this order:
//  1. "Worvane.ini" beside the executable, when it exists (a portable copy, or one set up by hand);
//  2. "Worvane.ini" in userConfigFolder, when the executable's folder is not writable by this user
//     (an installed copy, such as /usr/bin);
//  3. otherwise beside the executable again, where the first save of a portable copy creates it.
QString SettingsFilePath(const QString &executableFolder, const QString &userConfigFolder);

// The per-user folder for the settings file: $XDG_CONFIG_HOME/worvane when that variable holds an absolute
// path, else ~/.config/worvane.
QString UserConfigFolder();

// True when path names an existing file (of any permissions); a folder or an empty path is not one.
bool FileExists(const QString &path);

// The database check at start: a missing file (or none named) shows the message naming the settings
// file, and start-up carries on. A team database is reached when it is first used.
void CheckDatabaseFile(const Store &store);

// Compacts the database file at exit (a server looks after itself), with a box saying so when it takes a
// moment, and then lets the single-instance lock go. Any failure shows the compaction message; the program
// then ends all the same.
void CompactMdb(Store &store);
// A file's copy of the day in its backups folder, after the compaction. What kept it from being made is
// logged, and kept in the settings file for the next start to say ([Backup] NotMade).
void BackUpAtExit(Store &store, const Settings &settings);
// What the last exit's backup could not do, for the status line; empty when it went well.
QString BackupNotice(const Settings &settings);

// After a successful save: the code, untrimmed, becomes the default in the settings file and at once in
// the settings in use. A failed write of the file is not reported.
void WriteDefaultPJCode(Settings &settings, const QString &code);

// Where the single-instance lock lives: the per-user runtime folder, else the temporary folder.
QString InstanceLockPath();
// The lock a copy holds while it compacts its database at exit, beside the instance lock.
QString CompactionLockPath();

} // namespace worvane
