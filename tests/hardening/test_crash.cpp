#include "app/inictrl.h"
#include "core/cp932.h"
#include "crashversions.h"
#include "store/open/openstore.h"
#include "store/sqlite/backup.h"
#include "store/sqlite/sqlitefile.h"
#include "testsupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace worvane;
using worvane::test::readBytes;
using worvane::test::sql;

// Children that write are killed with SIGKILL at random moments; whatever the moment, what is on disk
// afterwards is whole: all of the old version or all of the new one.
class TestCrash : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QRandomGenerator m_random{20261207};
    int m_kills = 0;

    // Starts the child, lets it work for a random time up to maxMs, and kills it.
    void killDuring(const QString &mode, const QString &path, int maxMs)
    {
        QProcess child;
        child.start(QStringLiteral(CRASHCHILD_PATH), {mode, path});
        QVERIFY(child.waitForStarted(10000));
        QVERIFY(child.waitForReadyRead(10000));
        QThread::usleep(m_random.bounded(maxMs * 1000));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        ++m_kills;
    }

    static void verifyIntegrity(const QString &db)
    {
        QCOMPARE(sql(db, QStringLiteral("PRAGMA integrity_check"))[0][0].toString(), QStringLiteral("ok"));
    }

    // The day on disk is exactly one of the two versions; returns which.
    static int storedVersion(const QString &db)
    {
        const Result<DayLoad> loaded = OpenStore(db)->loadDay(QStringLiteral("A0012345"), QStringLiteral("2024/03/01"));
        const DayLoad &load = loaded.value;
        if (!loaded.ok())
            return -1;
        for (int version : {0, 1}) {
            const DaySave expected = crash::day(version);
            if (load.startTime == expected.startTime && load.endTime == expected.endTime &&
                load.items == expected.items)
                return version;
        }
        return -1;
    }

private slots:
    void aSavedDayIsAllOldOrAllNew()
    {
        const QString db = m_dir.filePath(QStringLiteral("save.mdb"));
        test::makeDatabase(db, true);
        QVERIFY(OpenStore(db)->saveDay(crash::day(0)).ok());
        QSet<int> seen;
        for (int i = 0; i < 80; ++i) {
            killDuring(QStringLiteral("save"), db, 60);
            verifyIntegrity(db);
            const int version = storedVersion(db);
            QVERIFY2(version >= 0, qPrintable(QStringLiteral("kill %1 left a mixed day").arg(i)));
            seen.insert(version);
            // The day's newest version in its history is the day as stored: a save and its version are one.
            const DaySave stored = crash::day(version);
            const QList<DayVersion> history = OpenStore(db)->dayHistory(stored.code, stored.date).value;
            QVERIFY(!history.isEmpty());
            QVERIFY2(history.first().items == stored.items && history.first().startTime == stored.startTime,
                     qPrintable(QStringLiteral("kill %1 parted the day from its history").arg(i)));
        }
        QCOMPARE(seen.size(), 2); // the kills landed on both sides of commits
    }

    // A backup killed anywhere leaves the database and every copy put in place whole; what it left half
    // made is only ever a part, which the next backup removes.
    void aBackupKilledAnywhereLeavesWholeCopies()
    {
        const QString db = m_dir.filePath(QStringLiteral("backup.mdb"));
        test::makeDatabase(db, true);
        QVERIFY(OpenStore(db)->saveDay(crash::day(1)).ok());
        sql(db, QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
                    "INSERT INTO DF_WKCONT SELECT 'Z', '2024/01/01', i, 't', hex(randomblob(300)) FROM n"));
        const QDir copies(sqlite::BackupFolder(db));
        int parts = 0;
        for (int i = 0; i < 40; ++i) {
            killDuring(QStringLiteral("backup"), db, 150);
            verifyIntegrity(db);
            for (const QString &name : copies.entryList(QDir::Files)) {
                if (name.contains(QLatin1String(".worvane-part"))) {
                    ++parts;
                    continue;
                }
                QCOMPARE(sql(copies.filePath(name), QStringLiteral("PRAGMA quick_check"))[0][0].toString(),
                         QStringLiteral("ok"));
                QCOMPARE(storedVersion(copies.filePath(name)), 1);
            }
        }
        QVERIFY(parts > 0); // some kills landed inside a copy
        QVERIFY(OpenStore(db)->backUp(QDate(2030, 1, 1), db + QStringLiteral(".fallback")).ok());
        QVERIFY(copies.entryList({QStringLiteral("*.worvane-part*")}, QDir::Files).isEmpty());
    }

    void aCompactionKilledAnywhereLeavesTheDatabaseWhole()
    {
        const QString db = m_dir.filePath(QStringLiteral("compact.mdb"));
        test::makeDatabase(db, true);
        QVERIFY(OpenStore(db)->saveDay(crash::day(1)).ok());
        sql(db, QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
                    "INSERT INTO DF_WKCONT SELECT 'Z', '2024/01/01', i, 't', hex(randomblob(300)) FROM n"));
        const QString temporary = db + QStringLiteral("TEMP.mdb");
        int interrupted = 0;
        for (int i = 0; i < 60; ++i) {
            killDuring(QStringLiteral("compact"), db, 80);
            // The next open rolls a half-done compaction back through its journal.
            interrupted += QFileInfo::exists(db + QStringLiteral("-journal"));
            verifyIntegrity(db);
            QCOMPARE(storedVersion(db), 1);
            QCOMPARE(
                sql(db, QStringLiteral("SELECT COUNT(*) FROM DF_WKCONT WHERE PJCODE = 'Z'"))[0][0].toInt(),
                4000);
            QVERIFY(!QFileInfo::exists(temporary));
        }
        QVERIFY(interrupted > 0); // some kills landed inside the rewrite
        QVERIFY(sqlite::CompactDatabaseFile(db, temporary, Store::DefaultWaitMs).ok());
        verifyIntegrity(db);
    }

    void theSettingsFileIsOldOrNew()
    {
        const QString ini = m_dir.filePath(QStringLiteral("Worvane.ini"));
        QByteArray versions[2];
        for (int version : {0, 1}) {
            test::writeBytes(
                ini, "; comment\r\n[MDB Path]\r\nPath=/data/" + ToCp932(QStringLiteral("日報")) +
                         ".mdb\r\n\r\n[Default Value]\r\nPJCode=" + crash::code(version).toLatin1() + "\r\n");
            versions[version] = readBytes(ini);
        }
        for (int i = 0; i < 40; ++i) {
            killDuring(QStringLiteral("ini"), ini, 5);
            const QByteArray bytes = readBytes(ini);
            QVERIFY2(bytes == versions[0] || bytes == versions[1], bytes.constData());
        }
    }

    void aReportFileIsOldOrNew()
    {
        const QString report = m_dir.filePath(QStringLiteral("20240301.txt"));
        const QByteArray versions[2] = {ToCp932(crash::report(0)), ToCp932(crash::report(1))};
        QVERIFY(!WriteReportFile({report, {}}, crash::report(0)));
        QSet<int> seen;
        // A write with its flush to disk takes tens of milliseconds, far more on a slow disk or in a
        // sanitizer build: while only the old file has been seen, the kills come later and later.
        for (int i = 0; i < 40 || (seen.size() < 2 && i < 60); ++i) {
            killDuring(QStringLiteral("report"), report, seen.size() < 2 && i >= 10 ? 300 * (i / 5) : 300);
            const QByteArray bytes = readBytes(report);
            QVERIFY2(bytes == versions[0] || bytes == versions[1], qPrintable(QString::number(bytes.size())));
            seen.insert(bytes == versions[1]);
        }
        QCOMPARE(seen.size(), 2); // the kills landed on both sides of a replacement
    }

    void cleanupTestCase()
    {
        qInfo("%d kills, every one left consistent files", m_kills);
        QVERIFY(m_kills >= 200);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
