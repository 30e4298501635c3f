#include "app/startup.h"
#include "testsupport.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using worvane::test::sql;

namespace
{
const QByteArray LoadError = "MESSAGE warning|ロードエラー|このアプリケーションはすでに開かれています。";
const QByteArray MissingDatabase =
    "MESSAGE critical|ワーベーン|MDBのPATHが見つかりません。\\r\\nWorvane.iniの設定を見直して下さい。";
const QByteArray CompactionFailed = "MESSAGE information|MDB最適化|";

ino_t inodeOf(const QString &path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
} // namespace

// Real copies of the program, started as child processes from a folder of their own.
class TestInstance : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_exe;
    QString m_db;

    void start(QProcess &program)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(m_exe, {});
        QVERIFY(program.waitForStarted(10000));
    }
    // The settings file beside the program names the test's database.
    void nameTheDatabase()
    {
        worvane::test::writeBytes(m_dir.filePath(QStringLiteral("bin/Worvane.ini")),
                                  "[MDB Path]\nPath=" + QFile::encodeName(m_db) + "\n");
    }
    static void waitFor(QProcess &program, const QByteArray &line, QByteArray *seen)
    {
        QTRY_VERIFY_WITH_TIMEOUT((*seen += program.readAllStandardOutput()).contains(line), 20000);
    }
    static QByteArray finish(QProcess &program)
    {
        program.write("close\n");
        program.closeWriteChannel();
        if (!program.waitForFinished(20000))
            qWarning("the program did not end");
        return program.readAllStandardOutput();
    }

private slots:
    void initTestCase()
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
        m_exe = m_dir.filePath(QStringLiteral("bin/worvane"));
        QVERIFY(QFile::copy(QStringLiteral(TESTHOST_PATH), m_exe));
        m_db = m_dir.filePath(QStringLiteral("report.mdb"));
        worvane::test::makeDatabase(m_db, true);
        sql(m_db, QStringLiteral(
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                      "INSERT INTO DF_WKCONT SELECT 'A', '2024/01/01', i, 't', hex(randomblob(100)) FROM n"));
        sql(m_db, QStringLiteral("DELETE FROM DF_WKCONT"));
    }

    void init() { QFile::remove(m_dir.filePath(QStringLiteral("bin/Worvane.ini"))); }

    void aSecondCopyIsRefusedAndNeverCompacts()
    {
        nameTheDatabase();
        QProcess first;
        start(first);
        QByteArray firstOut;
        waitFor(first, "READY", &firstOut);

        const ino_t inode = inodeOf(m_db);
        const QByteArray bytes = worvane::test::readBytes(m_db);
        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(20000));
        const QByteArray secondOut = second.readAllStandardOutput();
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(secondOut.contains(LoadError), secondOut.constData());
        QCOMPARE(secondOut.count("MESSAGE"), 1);
        QVERIFY(!secondOut.contains("READY")); // no window, no event loop
        QCOMPARE(inodeOf(m_db), inode);
        QCOMPARE(worvane::test::readBytes(m_db), bytes);

        // The first copy goes on, and compacts when it is closed.
        QCOMPARE(first.state(), QProcess::Running);
        firstOut += finish(first);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY2(!firstOut.contains("MESSAGE"), firstOut.constData());
        QVERIFY(QFileInfo(m_db).size() < bytes.size());
        QCOMPARE(inodeOf(m_db), inode); // in place
        QCOMPARE(sql(m_db, QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST"))[0][0].toInt(), 5);
    }

    // A start while the copy before is still compacting its database at exit waits for it and opens.
    void aStartWaitsForTheCompactionOfTheCopyBefore()
    {
        nameTheDatabase();
        QProcess first;
        start(first);
        QByteArray firstOut;
        waitFor(first, "READY", &firstOut);
        // The first copy as it is while it compacts: its instance lock and the compaction's (held here).
        QLockFile compacting(m_dir.filePath(QStringLiteral("worvane-%1-compacting.lock").arg(::getuid())));
        QVERIFY(compacting.tryLock(0));

        QProcess second;
        start(second);
        QTest::qWait(1500);
        QCOMPARE(second.state(), QProcess::Running); // waiting, not refused
        QByteArray secondOut = second.readAllStandardOutput();
        QVERIFY2(!secondOut.contains("MESSAGE") && !secondOut.contains("READY"), secondOut.constData());

        firstOut += finish(first);
        compacting.unlock();
        waitFor(second, "READY", &secondOut);
        secondOut += finish(second);
        QVERIFY2(!secondOut.contains("MESSAGE"), secondOut.constData());
    }

    void aLockLeftByACrashedCopyIsTakenOver()
    {
        nameTheDatabase();
        QProcess crashed;
        start(crashed);
        QByteArray out;
        waitFor(crashed, "READY", &out);
        crashed.kill();
        crashed.waitForFinished();

        QProcess next;
        start(next);
        out.clear();
        waitFor(next, "READY", &out);
        out += finish(next);
        QVERIFY2(!out.contains("MESSAGE"), out.constData());
    }

    void withoutSettingsTheProgramWarnsOnceAndStillOpens()
    {
        QProcess program;
        start(program);
        QByteArray out;
        waitFor(program, "READY", &out);
        QCOMPARE(out.count(MissingDatabase), 1);
        QVERIFY(out.indexOf(MissingDatabase) < out.indexOf("READY"));
        out += finish(program);
        QVERIFY2(out.contains(CompactionFailed), out.constData());
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestInstance)
#include "test_instance.moc"
