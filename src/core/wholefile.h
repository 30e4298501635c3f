#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Files the program writes for the user (the day's report file, the exports): written whole or not at
// all, never over a file the program itself has open, never over a file marked read-only, and keeping an
// existing file's owner and permissions.

namespace worvane
{

// Why a file was not written.
enum class FileFault {
    InUse,      // it is the database (or its journal or WAL files) or the settings file
    IsFolder,   // the name is a folder's
    NoFolder,   // the folder does not exist
    NotRegular, // a device, a pipe, a socket: never replaced by a file
    ReadOnly,   // the file, or its folder, has no write permission bit: not written, even by root
    Denied,     // the system refused it
    DiskFull,
    Refused,    // the writer itself gave up (a character the encoding cannot hold, a database read failed)
    Other,
};

struct FileProblem {
    FileFault fault;
    QString reason; // one line for the user, in Japanese
};

// The files in use by the program, which nothing it writes for the user may replace: the database file
// with its journal, WAL and shared-memory files, and the settings file.
struct InUse {
    QStringList database; // empty for a server's URI
    QString settings;
};
InUse FilesInUse(const QString &databasePath, const QString &settingsPath);

// Where a file is to be written, and the files in use it must never be, whatever link or name leads there.
struct FileTarget {
    QString path;
    InUse inUse;
};

// Why nothing may be written at the target: it is (by device and inode, or by its name once links are
// followed) one of the files in use; a folder; in a missing folder; not a regular file; or marked read-only.
std::optional<FileProblem> CheckWriteTarget(const FileTarget &target);

// The new content of a file while it is written: an unnamed file in the target's folder where the system
// has them (nothing is left behind when the program is killed), else a hidden part file beside the target
// that the next write in that folder removes.
class PartFile
{
public:
    // The name by which a library that writes files by name reaches it.
    QString path() const { return m_path; }
    // The folder it will take its place in.
    QString folder() const { return m_folder; }
    // Appends bytes; false when the system refused them (the reason is kept for the failure).
    bool write(QByteArrayView bytes);

private:
    friend std::optional<FileProblem> WriteWholeFile(const FileTarget &, const std::function<bool(PartFile &, QString &)> &);
    int m_fd = -1;
    QString m_path;
    QString m_folder;
    int m_error = 0; // errno of the first failed write
};

// Replaces the target with what fill writes, or leaves it as it was. fill returns false to give up, with
// why set when the reason is its own (else the failed write's). The new file is pushed to the disk before it
// takes the target's place; an existing target's owner and permissions carry over; a link is followed and
// the file it names replaced.
std::optional<FileProblem> WriteWholeFile(const FileTarget &target,
                                          const std::function<bool(PartFile &part, QString &why)> &fill);

// The reason for an error number of the system, in the words the user sees.
FileProblem SystemFileProblem(int error);

} // namespace worvane
