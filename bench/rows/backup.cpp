// The backup at exit of the whole benchmark file, copied and checked; the floor, sqlite3's own .backup of
// the same file and its PRAGMA quick_check of the copy, each a run of the sqlite3 program.
#include "rows.h"

#include "app/startup.h"
#include "core/clock.h"
#include "store/sqlite/backup.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    const std::string db = workingCopy(c, "backup-program.db");
    p.open(db);
    std::string copy;
    for (int run = 0; run <= c.runs; ++run) {
        const QDate day = QDate(2030, 1, 1).addDays(run);
        worvane::Clock::setFixed(QDateTime(day, QTime(18, 0)));
        const auto t0 = Clock::now();
        BackUpAtExit(*p.store, p.settings);
        if (run > 0)
            sample(Clock::now() - t0);
        const QString made = QDir(sqlite::BackupFolder(QString::fromStdString(db)))
                                 .filePath(sqlite::BackupName(QString::fromStdString(db), day));
        if (!QFile::exists(made))
            fail("no copy was made");
        copy = c.work + "/backup-program-copy.db";
        QFile::remove(QString::fromStdString(copy));
        QFile::rename(made, QString::fromStdString(copy)); // one copy at a time on the disk
        p.messages.expectNone();
    }
    worvane::Clock::clearFixed();
    check(dayCheck(copy));
}

void floor(const Child &c)
{
    const std::string copy = c.work + "/backup-floor-copy.db";
    for (int run = 0; run <= c.runs; ++run) {
        std::remove(copy.c_str());
        const std::string backup = "sqlite3 '" + c.dataset + "' \".backup '" + copy + "'\"";
        const std::string checked = "sqlite3 '" + copy + "' 'PRAGMA quick_check' | grep -qx ok";
        const auto t0 = Clock::now();
        if (std::system(backup.c_str()) != 0 || std::system(checked.c_str()) != 0)
            fail("sqlite3's backup failed");
        if (run > 0)
            sample(Clock::now() - t0);
    }
    check(dayCheck(copy));
}

} // namespace

const Row BackupRow{"backup", program, floor, false};

} // namespace bench
