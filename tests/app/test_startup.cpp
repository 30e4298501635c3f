#include "app/startup.h"
#include "core/clock.h"
#include "store/open/openstore.h"
#include "store/sqlite/sqlitefile.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace worvane;
using worvane::test::sql;

namespace
{
ino_t inodeOf(const QString &path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_db;
    Settings m_settings;

    // A database with rows in every table, and many rows deleted so that compaction has work to do.
    void fillDatabase()
    {
        test::makeDatabase(m_db, true);
        sql(m_db, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME) VALUES ('A0012345', "
                                 "'2024/03/01', '09:00', '18:00')"));
        sql(m_db,
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                           "INSERT INTO DF_WKCONT SELECT 'A0012345', '2024/03/01', i, 'title ' || i, "
                           "hex(randomblob(200)) FROM n"));
        sql(m_db, QStringLiteral("DELETE FROM DF_WKCONT WHERE CAST(WKCODE AS INTEGER) > 10"));
    }

    QList<QList<QVariantList>> contents() const
    {
        return {sql(m_db, QStringLiteral("SELECT * FROM DM_PRJMST ORDER BY rowid")),
                sql(m_db, QStringLiteral("SELECT * FROM DF_WKTIME ORDER BY rowid")),
                sql(m_db, QStringLiteral("SELECT * FROM DF_WKCONT ORDER BY rowid"))};
    }

    // A folder for a copy of the program, with or without Worvane.ini beside it.
    QString exeFolder(const QString &name, const QByteArray &ini = {})
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder);
        if (!ini.isNull())
            test::writeBytes(folder + QStringLiteral("/Worvane.ini"), ini);
        return folder;
    }

private slots:
    // The per-user settings folder of these tests, never the real user's.
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    }

    void init()
    {
        m_settings = {};
        m_db = m_dir.filePath(
            QStringLiteral("%1-%2.mdb").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
    }

    void loadSettingsReadsTheFileBesideTheExecutable()
    {
        const QString folder = m_dir.filePath(QStringLiteral("exe"));
        QDir().mkpath(folder);
        test::writeBytes(folder + QStringLiteral("/Worvane.ini"),
                         "[MDB Path]\r\nPath=/data/report.mdb\r\n[Default Value]\r\nPJCode=A0012345\r\n");
        m_settings = LoadSettings(folder, m_dir.filePath(QStringLiteral("no-user")));
        QCOMPARE(m_settings.iniPath, folder + QStringLiteral("/Worvane.ini"));
        QCOMPARE(m_settings.databasePath, QStringLiteral("/data/report.mdb"));
        QCOMPARE(m_settings.defaultCode, QStringLiteral("A0012345"));

        m_settings = LoadSettings(m_dir.filePath(QStringLiteral("nothing-here")),
                                  m_dir.filePath(QStringLiteral("no-user")));
        QCOMPARE(m_settings.databasePath, QString());
        QCOMPARE(m_settings.defaultCode, QString());
    }

    void aWritableFolderKeepsThePortableFileAndIgnoresThePerUserOne()
    {
        const QString user = m_dir.filePath(QStringLiteral("user-portable"));
        QDir().mkpath(user);
        test::writeBytes(user + QStringLiteral("/Worvane.ini"), "[MDB Path]\nPath=/per-user.db\n");
        const QString folder = exeFolder(QStringLiteral("portable"));
        const QString beside = folder + QStringLiteral("/Worvane.ini");

        // The first start of a portable copy: no file anywhere it looks, and the first save creates it
        // beside.
        m_settings = LoadSettings(folder, user);
        QCOMPARE(m_settings.iniPath, beside);
        QCOMPARE(m_settings.databasePath, QString());
        WriteDefaultPJCode(m_settings, QStringLiteral("A0012345"));
        QCOMPARE(test::readBytes(beside), QByteArray("[Default Value]\r\nPJCode=A0012345\r\n"));
        QCOMPARE(test::readBytes(user + QStringLiteral("/Worvane.ini")),
                 QByteArray("[MDB Path]\nPath=/per-user.db\n"));

        m_settings = LoadSettings(folder, user);
        QCOMPARE(m_settings.iniPath, beside);
        QCOMPARE(m_settings.defaultCode, QStringLiteral("A0012345"));
    }

    void aFolderTheUserCannotWriteUsesThePerUserFileUnlessOneIsBesideTheProgram()
    {
        if (::geteuid() == 0)
            QSKIP("root may write to every folder; tests/install runs an installed copy as an ordinary user");
        const QString user = m_dir.filePath(QStringLiteral("user-installed"));
        const QString perUser = user + QStringLiteral("/Worvane.ini");
        QDir().mkpath(user);
        test::writeBytes(perUser, "[MDB Path]\nPath=/home/u/.local/share/worvane/worvane.db\n");
        const QString installed = exeFolder(QStringLiteral("installed"));
        const QString managed = exeFolder(QStringLiteral("managed"), "[MDB Path]\nPath=/srv/shared.db\n");
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
        const auto writable = readOnly | QFile::WriteOwner;
        QFile::setPermissions(installed, readOnly);
        QFile::setPermissions(managed, readOnly);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(installed, writable);
            QFile::setPermissions(managed, writable);
        });

        m_settings = LoadSettings(installed, user);
        QCOMPARE(m_settings.iniPath, perUser);
        QCOMPARE(m_settings.databasePath, QStringLiteral("/home/u/.local/share/worvane/worvane.db"));
        WriteDefaultPJCode(m_settings, QStringLiteral("B7"));
        m_settings = LoadSettings(installed, user);
        QCOMPARE(m_settings.defaultCode, QStringLiteral("B7"));
        QVERIFY(!QFileInfo::exists(installed + QStringLiteral("/Worvane.ini")));

        m_settings = LoadSettings(managed, user);
        QCOMPARE(m_settings.iniPath, managed + QStringLiteral("/Worvane.ini"));
        QCOMPARE(m_settings.databasePath, QStringLiteral("/srv/shared.db"));
        QCOMPARE(m_settings.defaultCode, QString());

        // No per-user file yet: nothing is read, and the path is still the per-user one.
        m_settings = LoadSettings(installed, m_dir.filePath(QStringLiteral("user-new")));
        QCOMPARE(m_settings.iniPath, m_dir.filePath(QStringLiteral("user-new/Worvane.ini")));
        QCOMPARE(m_settings.databasePath, QString());
    }

    void thePerUserFolderFollowsXdgConfigHomeOnlyWhenItIsAbsolute_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("folder");
        QTest::newRow("absolute") << QByteArray("/xdg/conf") << QStringLiteral("/xdg/conf/worvane");
        QTest::newRow("relative") << QByteArray("xdg/conf") << QStringLiteral("/home/u/.config/worvane");
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("/home/u/.config/worvane");
    }
    void thePerUserFolderFollowsXdgConfigHomeOnlyWhenItIsAbsolute()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, folder);
        const QByteArray home = qgetenv("HOME");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", home);
            qputenv("XDG_CONFIG_HOME", config);
        });
        qputenv("HOME", "/home/u");
        qputenv("XDG_CONFIG_HOME", value);
        QCOMPARE(UserConfigFolder(), folder);
    }

    void fileExistsTakesFilesOfAnyModeAndNothingElse()
    {
        test::makeDatabase(m_db);
        QVERIFY(FileExists(m_db));
        QFile::setPermissions(m_db, QFile::ReadOwner);
        QVERIFY(FileExists(m_db));
        QFile::setPermissions(m_db, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(!FileExists(m_dir.path()));
        QVERIFY(!FileExists(QString()));
        QVERIFY(!FileExists(m_dir.filePath(QStringLiteral("missing.mdb"))));
    }

    // The exit's backup: made into the folder beside the file; one that fails is said at the next start
    // (from the settings file) until an exit makes its copy again.
    void aBackupNotMadeIsSaidAtTheNextStart()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(18, 0)));
        const auto unfix = qScopeGuard([] { Clock::clearFixed(); });
        m_settings.iniPath = m_dir.filePath(QStringLiteral("backup.ini"));
        m_settings.databasePath = m_db;
        test::writeBytes(m_db, QByteArray("not a database, but a file of some length all the same").repeated(100));
        BackUpAtExit(*OpenStore(m_db), m_settings);
        QVERIFY(BackupNotice(m_settings).startsWith(QStringLiteral("2026/12/09 の自動バックアップを作成できませんでした")));
        QFile::remove(m_db);
        test::makeDatabase(m_db);
        BackUpAtExit(*OpenStore(m_db), m_settings);
        QCOMPARE(BackupNotice(m_settings), QString());
        QVERIFY(QFileInfo::exists(QFileInfo(m_db).absolutePath() + QStringLiteral("/backups/") +
                                  QFileInfo(m_db).completeBaseName() + QStringLiteral("-2026-12-09.mdb")));
    }

    void compactionShrinksTheFileAndKeepsEveryRow()
    {
        fillDatabase();
        const auto before = contents();
        const qint64 sizeBefore = QFileInfo(m_db).size();
        m_settings.databasePath = m_db;
        test::MessageLog log;
        CompactMdb(*OpenStore(m_settings.databasePath));
        QCOMPARE(log.count(), 0);
        QVERIFY2(QFileInfo(m_db).size() < sizeBefore / 4,
                 qPrintable(QStringLiteral("%1 -> %2").arg(sizeBefore).arg(QFileInfo(m_db).size())));
        QCOMPARE(contents(), before);
        QVERIFY(!QFileInfo::exists(sqlite::CompactionTemporaryPath(m_db)));
        QCOMPARE(sql(m_db, QStringLiteral("PRAGMA integrity_check"))[0][0].toString(), QStringLiteral("ok"));
    }

    // Another program's connection, open and idle while the program exits, must find the same file
    // afterwards: compacted in place, its journal mode and any link to it kept.
    void anotherProgramsConnectionKeepsWorkingAcrossTheCompaction_data()
    {
        QTest::addColumn<QString>("journal");
        QTest::addColumn<bool>("link");
        QTest::newRow("rollback journal") << "delete" << false;
        QTest::newRow("write-ahead log") << "wal" << false;
        QTest::newRow("through a symbolic link") << "delete" << true;
    }
    void anotherProgramsConnectionKeepsWorkingAcrossTheCompaction()
    {
        QFETCH(QString, journal);
        QFETCH(bool, link);
        fillDatabase();
        sql(m_db, QStringLiteral("PRAGMA journal_mode = ") + journal);
        const QString target = m_db + QStringLiteral(".target");
        if (link)
            QVERIFY(QFile::rename(m_db, target) && QFile::link(target, m_db));
        const ino_t inode = inodeOf(m_db);
        const qint64 sizeBefore = QFileInfo(m_db).size();
        const auto before = contents();
        {
            QSqlDatabase other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(m_db);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST")) && q.next());
            q.finish(); // open and idle, as another program between two statements

            m_settings.databasePath = m_db;
            test::MessageLog log;
            CompactMdb(*OpenStore(m_settings.databasePath));
            QCOMPARE(log.count(), 0);

            QVERIFY2(q.exec(QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME) VALUES ('OTHER001', "
                                           "'other program')")),
                     qPrintable(q.lastError().text()));
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
            QCOMPARE(q.value(0).toString(), journal);
            QVERIFY(q.exec(QStringLiteral("PRAGMA freelist_count")) && q.next());
            QCOMPARE(q.value(0).toInt(), 0); // compacted
            q.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        QCOMPARE(sql(m_db, QStringLiteral("PRAGMA integrity_check"))[0][0].toString(), QStringLiteral("ok"));
        auto after = contents();
        QCOMPARE(after[0].takeLast().first().toString(), QStringLiteral("OTHER001"));
        QCOMPARE(after, before);
        QCOMPARE(QFileInfo(m_db).isSymLink(), link);
        QCOMPARE(inodeOf(m_db), inode);
        QVERIFY(QFileInfo(m_db).size() < sizeBefore / 4);
        QVERIFY(!QFileInfo::exists(sqlite::CompactionTemporaryPath(m_db)));
    }

    void aLeftoverTemporaryFileMakesCompactionFailAndIsLeftAlone()
    {
        fillDatabase();
        const QByteArray bytes = test::readBytes(m_db);
        test::writeBytes(sqlite::CompactionTemporaryPath(m_db), "leftover");
        m_settings.databasePath = m_db;
        test::MessageLog log;
        CompactMdb(*OpenStore(m_settings.databasePath));
        QCOMPARE(log.count(), 1);
        QCOMPARE(test::readBytes(m_db), bytes);
        QCOMPARE(test::readBytes(sqlite::CompactionTemporaryPath(m_db)), QByteArray("leftover"));
    }

    void compactionWaitsForNoWriterAndFailsWhileOneHoldsTheFile()
    {
        fillDatabase();
        const QByteArray bytes = test::readBytes(m_db);
        const ino_t inode = inodeOf(m_db);
        {
            QSqlDatabase other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
            other.setDatabaseName(m_db);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
            QVERIFY(q.exec(QStringLiteral("DELETE FROM DF_WKCONT")));
            const Outcome outcome = sqlite::CompactDatabaseFile(m_db, sqlite::CompactionTemporaryPath(m_db), 200);
            QVERIFY(!outcome.ok());
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
        QCOMPARE(test::readBytes(m_db), bytes);
        QCOMPARE(inodeOf(m_db), inode);
        QVERIFY(!QFileInfo::exists(sqlite::CompactionTemporaryPath(m_db)));
    }

    void missingReadOnlyOrForeignFilesAreNotCompacted_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("empty path") << "empty";
        QTest::newRow("folder") << "folder";
        QTest::newRow("text file") << "text";
        QTest::newRow("zero bytes") << "zero";
        QTest::newRow("another program's database") << "foreign";
        QTest::newRow("read-only") << "readonly";
    }
    void missingReadOnlyOrForeignFilesAreNotCompacted()
    {
        QFETCH(QString, kind);
        QString path = m_db + kind;
        if (kind == QLatin1String("empty"))
            path.clear();
        else if (kind == QLatin1String("folder"))
            QDir().mkpath(path);
        else if (kind == QLatin1String("text"))
            test::writeBytes(path, "not a database");
        else if (kind == QLatin1String("zero"))
            test::writeBytes(path, QByteArray());
        else if (kind == QLatin1String("foreign")) {
            // One of the three table names, the rest its own, and free pages a compaction would drop.
            sql(path, QStringLiteral("CREATE TABLE DM_PRJMST (PJCODE TEXT)"));
            sql(path, QStringLiteral("CREATE TABLE notes (body TEXT)"));
            sql(path,
                QStringLiteral("INSERT INTO notes VALUES (hex(randomblob(3000))), (hex(randomblob(3000)))"));
            sql(path, QStringLiteral("DELETE FROM notes WHERE rowid = 1"));
        } else if (kind == QLatin1String("readonly")) {
            test::makeDatabase(path, true);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
        }
        const QByteArray bytes = test::readBytes(path);
        m_settings.databasePath = path;
        test::MessageLog log;
        CompactMdb(*OpenStore(m_settings.databasePath));
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.last().title, QStringLiteral("MDB最適化"));
        if (!path.isEmpty()) {
            QCOMPARE(test::readBytes(path), bytes);
            QVERIFY(!QFileInfo::exists(sqlite::CompactionTemporaryPath(path)));
        }
    }

    void defaultCodeIsWrittenUntrimmedAndTakesEffectAtOnce()
    {
        m_settings.iniPath = m_dir.filePath(QStringLiteral("Worvane.ini"));
        test::writeBytes(m_settings.iniPath, "[MDB Path]\r\nPath=/x.mdb\r\n");
        WriteDefaultPJCode(m_settings, QStringLiteral("AB12  "));
        QCOMPARE(m_settings.defaultCode, QStringLiteral("AB12  "));
        QCOMPARE(test::readBytes(m_settings.iniPath),
                 QByteArray("[MDB Path]\r\nPath=/x.mdb\r\n\r\n[Default Value]\r\nPJCode=AB12  \r\n"));

        // A write that cannot be made is not reported; the running program still takes the code.
        m_settings.iniPath = m_dir.filePath(QStringLiteral("missing/Worvane.ini"));
        WriteDefaultPJCode(m_settings, QStringLiteral("C3"));
        QCOMPARE(m_settings.defaultCode, QStringLiteral("C3"));
    }
};

QTEST_MAIN(TestStartUp)
#include "test_startup.moc"
