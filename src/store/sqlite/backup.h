#pragma once

// Automatic backups of a database file: a copy a day, made with SQLite's online backup API (a consistent
// copy even while another program writes), checked with PRAGMA quick_check, and only then put in place
// beside the earlier ones, which are rotated: the newest seven, the newest of each of the four newest
// weeks and of each of the twelve newest months stay.
#include "core/values.h"
#include "store/results.h"

#include <QDate>
#include <QList>
#include <QString>

namespace worvane::sqlite
{

// The dates of the copies to keep out of those there (any order): the newest seven, and the newest of
// each of the four newest weeks (Monday to Sunday) and of the twelve newest months that hold a copy.
QList<QDate> KeptCopies(const QList<QDate> &copies);

// The folder of copies: "backups" beside the file.
QString BackupFolder(const QString &databasePath);
// A copy's name: the file's name with the date before its suffix ("reports-2026-12-09.mdb").
QString BackupName(const QString &databasePath, const QDate &date);

// Today's copy of the file in BackupFolder (fallbackFolder when that cannot be made or written), unless
// one is there or the disk has less than twice the file's size free. The copy is made under a part name,
// checked, made durable and renamed; only then are the copies no longer kept removed (and parts that a
// run killed half way left). A failure removes the part and leaves every earlier copy.
Result<BackupDone> BackUpDatabaseFile(const QString &path, const QDate &today, const QString &fallbackFolder,
                                      int waitMs);

} // namespace worvane::sqlite
