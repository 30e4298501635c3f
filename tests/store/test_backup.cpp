#include "core/clock.h"
#include "store/open/openstore.h"
#include "store/sqlite/backup.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <thread>

using namespace worvane;
using worvane::test::sql;

namespace
{
const QString Code = QStringLiteral("A0012345");

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}
} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    QString m_fallback;

    QString folder() const { return sqlite::BackupFolder(m_db); }
    Result<BackupDone> backUp(const QDate &day) { return OpenStore(m_db)->backUp(day, m_fallback); }

private slots:
    void init()
    {
        const QString here = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        QDir().mkpath(here);
        m_db = here + QStringLiteral("/reports.mdb");
        m_fallback = here + QStringLiteral("/user-data/backups");
        test::makeDatabase(m_db, true);
        QVERIFY(OpenStore(m_db)->saveDay({Code, QStringLiteral("2024/03/01"), QStringLiteral("09:00"),
                                          QStringLiteral("18:00"), {{QStringLiteral("1"), QStringLiteral("朝会"), {}}}})
                    .ok());
    }

    // The copies kept: the newest seven, the newest of each of the four newest weeks and of the twelve
    // newest months, whatever gaps the days have.
    void rotationKeepsDaysWeeksAndMonths()
    {
        QList<QDate> copies;
        for (QDate day(2024, 1, 1); day <= QDate(2025, 3, 31); day = day.addDays(day.dayOfWeek() == 5 ? 3 : 1))
            copies = sqlite::KeptCopies(copies << day); // a copy each working day, rotated each time
        QList<QDate> expected;
        for (const char *day : {"2025-03-31", "2025-03-28", "2025-03-27", "2025-03-26", "2025-03-25", "2025-03-24",
                                "2025-03-21", "2025-03-14", "2025-02-28", "2025-01-31", "2024-12-31",
                                "2024-11-29", "2024-10-31", "2024-09-30", "2024-08-30", "2024-07-31", "2024-06-28",
                                "2024-05-31", "2024-04-30"})
            expected << QDate::fromString(QString::fromLatin1(day), Qt::ISODate);
        QCOMPARE(copies, expected);
    }

    // A copy a day, as the days go by: the copy holds the file's days and passes its check; a second exit
    // the same day makes none; the files left are those the rotation keeps.
    void aCopyADayRotatedAsTheDaysGo()
    {
        Result<BackupDone> first = backUp(QDate(2024, 3, 1));
        QVERIFY2(first.ok(), qPrintable(test::why(first)));
        QCOMPARE(first.value.kind, BackupDone::Kind::Made);
        QCOMPARE(first.value.path, folder() + QStringLiteral("/reports-2024-03-01.mdb"));
        QCOMPARE(sql(first.value.path, QStringLiteral("PRAGMA integrity_check"))[0][0].toString(), QStringLiteral("ok"));
        QCOMPARE(OpenStore(first.value.path)->loadDay(Code, QStringLiteral("2024/03/01")).value.items.size(), 1);
        QCOMPARE(backUp(QDate(2024, 3, 1)).value.kind, BackupDone::Kind::AlreadyToday);

        QList<QDate> dates{QDate(2024, 3, 1)};
        for (QDate day(2024, 3, 2); day <= QDate(2024, 6, 30); day = day.addDays(1)) {
            QCOMPARE(backUp(day).value.kind, BackupDone::Kind::Made);
            dates << day;
        }
        QStringList expected;
        for (const QDate &day : sqlite::KeptCopies(dates))
            expected << sqlite::BackupName(m_db, day);
        expected.sort();
        QCOMPARE(filesIn(folder()), expected);
    }

    // A folder beside the file that cannot be made sends the copies to the per-user folder.
    void anUnwritableFolderFallsBackToTheUsersOwn()
    {
        QFile blocker(folder()); // a file where the folder would be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Result<BackupDone> done = backUp(QDate(2024, 3, 1));
        QVERIFY2(done.ok(), qPrintable(test::why(done)));
        QCOMPARE(done.value.path, m_fallback + QStringLiteral("/reports-2024-03-01.mdb"));
    }

    // No copy on a disk with less than twice the file's size free; the earlier copies stay.
    void aNearlyFullDiskGetsNoCopy()
    {
        test::SmallDisk disk(folder(), 512);
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs needs root and a system that allows mounts");
        QCOMPARE(backUp(QDate(2024, 3, 1)).value.kind, BackupDone::Kind::Made);
        disk.fill(QFileInfo(m_db).size()); // room for one copy, not for two
        const Result<BackupDone> done = backUp(QDate(2024, 3, 2));
        QVERIFY(done.ok());
        QCOMPARE(done.value.kind, BackupDone::Kind::NoRoom);
        QCOMPARE(done.value.needed, 2 * QFileInfo(m_db).size());
        QCOMPARE(filesIn(folder()), (QStringList{QStringLiteral("filler"), QStringLiteral("reports-2024-03-01.mdb")}));
    }

    // The disk filling up while the copy is made (another program held the file, meanwhile the disk
    // filled): the copy fails as a full disk, its part is removed, the earlier copies stay.
    void aDiskThatFillsDuringTheCopyKeepsTheEarlierCopies()
    {
        test::SmallDisk disk(folder(), 2048);
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs needs root and a system that allows mounts");
        QCOMPARE(backUp(QDate(2024, 3, 1)).value.kind, BackupDone::Kind::Made);
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_db).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        Result<BackupDone> done;
        std::thread copy([&] { done = backUp(QDate(2024, 3, 2)); });
        QThread::msleep(300); // the copy has checked the room and waits for the file
        disk.fill(QFileInfo(m_db).size() / 4);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        copy.join();
        QVERIFY(!done.ok());
        QCOMPARE(done.error->kind, StoreError::Kind::DiskFull);
        QCOMPARE(filesIn(folder()), (QStringList{QStringLiteral("filler"), QStringLiteral("reports-2024-03-01.mdb")}));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
