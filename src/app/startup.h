#pragma once

#include <QString>

class QWidget;

namespace worvane {

// The main window's caption, also the title of start-up's own messages.
inline const QString MainCaption = QStringLiteral("ワーベーン");

// Start-up, run by the main window's load before anything else: refuses a second running copy, reads the
// settings, checks the database file. False when another copy runs: the program must end at once.
bool StartUp();

// True when this is the only running copy for this user; the lock is held until the program ends.
// Otherwise shows the load-error warning and returns false.
bool CheckPrevInstance();

// Fills IniPath, MdbPath and DefaultPJCode from the settings file beside the executable.
void LoadSettings();
void LoadSettings(const QString &executableFolder);

// True when path names an existing file (of any permissions); a folder or an empty path is not one.
bool FileExists(const QString &path);

// Compacts the database file at exit. Any failure shows the compaction message; the program then ends
// all the same.
void CompactMdb();

// After a successful save: the code, untrimmed, becomes the default in the settings file and at once in
// DefaultPJCode. A failed write of the file is not reported.
void WriteDefaultPJCode(const QString &code);

// The temporary name of the compaction: the database path followed by "TEMP.mdb".
QString CompactionTemporaryPath(const QString &databasePath);

// Where the single-instance lock lives: the per-user runtime folder, else the temporary folder.
QString InstanceLockPath();

} // namespace worvane
