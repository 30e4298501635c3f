#include "core/wholefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace worvane;
using worvane::test::readBytes;
using worvane::test::writeBytes;

namespace
{
std::optional<FileProblem> write(const FileTarget &target, const QByteArray &bytes)
{
    return WriteWholeFile(target, [&bytes](PartFile &part, QString &) { return part.write(bytes); });
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}
} // namespace

class TestWholeFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // The database, its journal and WAL files and the settings file are never written, by whatever name.
    void filesInUseAreRefusedByEveryName()
    {
        const QString folder = m_dir.filePath(QStringLiteral("inuse"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        const QString db = folder + QStringLiteral("/self.db"), ini = folder + QStringLiteral("/Worvane.ini");
        writeBytes(db, "database");
        writeBytes(ini, "[MDB Path]");
        QVERIFY(QFile::link(db, folder + QStringLiteral("/link.db")));
        QVERIFY(::link(QFile::encodeName(db).constData(), QFile::encodeName(folder + QStringLiteral("/hard.db")).constData()) == 0);
        QVERIFY(QFile::link(folder, folder + QStringLiteral("/sub/up")));
        const InUse inUse = FilesInUse(folder + QStringLiteral("/link.db"), ini); // the settings name a link
        const QStringList refused{QStringLiteral("self.db"),         QStringLiteral("link.db"),
                                  QStringLiteral("hard.db"),         QStringLiteral("self.db-journal"),
                                  QStringLiteral("self.db-wal"),     QStringLiteral("sub/up/self.db"),
                                  QStringLiteral("sub/../self.db"),  QStringLiteral("Worvane.ini")};
        for (const QString &name : refused) {
            const auto problem = write({folder + QLatin1Char('/') + name, inUse}, "export");
            QVERIFY2(problem && problem->fault == FileFault::InUse, qPrintable(name));
        }
        QCOMPARE(readBytes(db), QByteArray("database"));
        QCOMPARE(readBytes(ini), QByteArray("[MDB Path]"));
        QVERIFY(!QFile::exists(db + QStringLiteral("-journal")));
        QCOMPARE(write({folder + QStringLiteral("/self.csv"), inUse}, "export"), std::nullopt);
        QCOMPARE(FilesInUse(QStringLiteral("postgresql://host/db"), ini).database, QStringList());
    }

    // A permission bit is the owner's word, even to root; a file replaced keeps its owner and mode.
    void readOnlyIsNeverWrittenAndOwnerAndModeAreKept()
    {
        const QString folder = m_dir.filePath(QStringLiteral("modes"));
        QVERIFY(QDir().mkpath(folder));
        const QString readOnly = folder + QStringLiteral("/n.csv"), shared = folder + QStringLiteral("/s.csv");
        writeBytes(readOnly, "theirs");
        writeBytes(shared, "old");
        const bool root = ::geteuid() == 0;
        if (root) {
            QCOMPARE(::chown(QFile::encodeName(readOnly).constData(), 1000, 1000), 0);
            QCOMPARE(::chown(QFile::encodeName(shared).constData(), 1000, 1000), 0);
        }
        QCOMPARE(::chmod(QFile::encodeName(readOnly).constData(), 0440), 0);
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 0640), 0);
        const auto refused = write({readOnly, {}}, "mine");
        QVERIFY(refused && refused->fault == FileFault::ReadOnly);
        QCOMPARE(readBytes(readOnly), QByteArray("theirs"));

        QCOMPARE(write({shared, {}}, "new"), std::nullopt);
        QCOMPARE(readBytes(shared), QByteArray("new"));
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(shared).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        if (root) {
            QCOMPARE(status.st_uid, uid_t(1000));
            QCOMPARE(status.st_gid, gid_t(1000));
        }

        // A folder marked read-only takes no new file.
        const QString locked = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
        const auto inLocked = write({locked + QStringLiteral("/new.csv"), {}}, "x");
        QVERIFY(inLocked && inLocked->fault == FileFault::ReadOnly);
        QVERIFY(!QFile::exists(locked + QStringLiteral("/new.csv")));
        ::chmod(QFile::encodeName(locked).constData(), 0755);
    }

    void aFullDiskIsNamedAndTheOldFileStays()
    {
        test::SmallDisk disk(m_dir.filePath(QStringLiteral("small")));
        if (!disk.mounted())
            QSKIP("no small disk can be mounted here");
        const QString path = m_dir.filePath(QStringLiteral("small/report.txt"));
        writeBytes(path, "old");
        disk.fill();
        const auto problem = write({path, {}}, QByteArray(256 * 1024, 'x'));
        QVERIFY(problem);
        QCOMPARE(problem->fault, FileFault::DiskFull);
        QCOMPARE(problem->reason, QStringLiteral("ディスクの空き容量が足りません"));
        QCOMPARE(readBytes(path), QByteArray("old"));
    }

    // A writer killed half way leaves nothing in the folder, or a part file that the next write takes over.
    void aKilledWriterLeavesNothingBehind()
    {
        const QString folder = m_dir.filePath(QStringLiteral("killed"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/out.xlsx");
        writeBytes(path, "old");
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            WriteWholeFile({path, {}}, [&](PartFile &part, QString &) {
                part.write(QByteArray(1 << 20, 'x'));
                (void)::write(ready[1], "r", 1);
                ::pause();
                return true;
            });
            ::_exit(0);
        }
        char signal = 0;
        QCOMPARE(::read(ready[0], &signal, 1), ssize_t(1));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        QCOMPARE(entries(folder), QStringList{QStringLiteral("out.xlsx")});
        QCOMPARE(readBytes(path), QByteArray("old"));

        // The part file a writer killed at the moment of its rename left behind is taken over.
        writeBytes(folder + QStringLiteral("/.out.xlsx.worvane-part"), "half");
        QCOMPARE(write({path, {}}, "new"), std::nullopt);
        QCOMPARE(entries(folder), QStringList{QStringLiteral("out.xlsx")});
        QCOMPARE(readBytes(path), QByteArray("new"));
    }
};

QTEST_GUILESS_MAIN(TestWholeFile)
#include "test_wholefile.moc"
