#include "report/reportfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace worvane;
using worvane::test::readBytes;

namespace
{
// The kind and device number of what is at path (the link itself, not what it points to).
QString nodeOf(const QString &path)
{
    struct stat st {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    return QStringLiteral("mode %1 device %2").arg(st.st_mode, 0, 8).arg(st.st_rdev);
}

bool makeSocket(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd); // the socket file stays
    return bound;
}
} // namespace

class TestReportFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void layoutIsByteForByte_data()
    {
        QTest::addColumn<QList<WorkItem>>("items");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("two items, one with two detail lines")
            << QList<WorkItem>{{"1", "first item title", "first item detail"},
                               {"2", "second item title", "detail line one\r\ndetail line two"}}
            << QByteArray("2024/03/01\t09:00\x81\x60"
                          "18:00\r\n\r\n"
                          "1.\tfirst item title\r\n\t\tfirst item detail\r\n\r\n"
                          "2.\tsecond item title\r\n\t\tdetail line one\r\n\t\tdetail line two\r\n\r\n\r\n");
        QTest::newRow("no items") << QList<WorkItem>{}
                                  << QByteArray("2024/03/01\t09:00\x81\x60"
                                                "18:00\r\n\r\n\r\n");
        QTest::newRow("detail ending with a line break, number 05, Japanese, tab and quote kept")
            << QList<WorkItem>{{"05", "設計,\"見直し\"", "a\tb\r\n"}}
            << QByteArray("2024/03/01\t09:00\x81\x60"
                          "18:00\r\n\r\n05.\t\x90\xdd\x8c\x76,\"\x8c\xa9\x92\xbc\x82\xb5\"\r\n"
                          "\t\ta\tb\r\n\t\t\r\n\r\n\r\n");
        QTest::newRow("a lone line feed is not a line break")
            << QList<WorkItem>{{"3", "t", "x\ny"}}
            << QByteArray("2024/03/01\t09:00\x81\x60"
                          "18:00\r\n\r\n3.\tt\r\n\t\tx\ny\r\n\r\n\r\n");
    }
    void layoutIsByteForByte()
    {
        QFETCH(QList<WorkItem>, items);
        QFETCH(QByteArray, expected);
        const QString path = m_dir.filePath(QStringLiteral("20240301"));
        const QString text = BuildReportText(QStringLiteral("2024/03/01"), QStringLiteral("09:00"),
                                             QStringLiteral("18:00"), items);
        QVERIFY(!WriteReportFile({path, {}}, text));
        QCOMPARE(readBytes(path), expected);
    }

    void theFirstUnwritableCharacterIsNamedWithItsPlace()
    {
        const QList<WorkItem> items{{"1", "ok", "ok"}, {"3", "title", "line\r\nwith \U0001F600 and 한"}};
        QCOMPARE(FindUnwritableCharacter("2024/03/01", "09:00", "18:00", items),
                 std::optional(QStringLiteral("作業項目№3「\U0001F600」")));
        QCOMPARE(FindUnwritableCharacter("2024/03/01", "09:00", "18:00", items.mid(0, 1)), std::nullopt);
        QCOMPARE(FindUnwritableCharacter("2024/03/01", "09:00", "1\u00E98:00", {}),
                 std::optional(QStringLiteral("就労時間「\u00E9」")));
    }

    void anExistingFileIsReplacedWhole()
    {
        const QString path = m_dir.filePath(QStringLiteral("old.csv"));
        test::writeBytes(path, QByteArray(5000, 'z'));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QVERIFY(!WriteReportFile({path, {}}, QStringLiteral("new\r\n")));
        QCOMPARE(readBytes(path), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

        // Through a link, the file it names is replaced and the link stays.
        const QString link = m_dir.filePath(QStringLiteral("link.csv"));
        QVERIFY(QFile::link(path, link));
        QVERIFY(!WriteReportFile({link, {}}, QStringLiteral("linked\r\n")));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(path), QByteArray("linked\r\n"));
        // Also to a file not there yet: it is made where the link points.
        const QString ahead = m_dir.filePath(QStringLiteral("ahead.csv"));
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("later.csv")), ahead));
        QVERIFY(!WriteReportFile({ahead, {}}, QStringLiteral("x")));
        QVERIFY(QFileInfo(ahead).isSymLink());
        QCOMPARE(readBytes(m_dir.filePath(QStringLiteral("later.csv"))), QByteArray("x"));
    }

    void failuresLeaveTheFileAsItWasAndSayWhy()
    {
        const QString missing = m_dir.filePath(QStringLiteral("no/such/folder/report.txt"));
        auto error = WriteReportFile({missing, {}}, QStringLiteral("x"));
        QVERIFY(error);
        QCOMPARE(error->number, 76);
        QVERIFY(error->source.startsWith(QStringLiteral("Worvane")));
        QVERIFY(!QFileInfo::exists(missing));

        const QString readOnly = m_dir.filePath(QStringLiteral("readonly.txt"));
        test::writeBytes(readOnly, "keep");
        QFile::setPermissions(readOnly, QFile::ReadOwner);
        error = WriteReportFile({readOnly, {}}, QStringLiteral("x"));
        QVERIFY(error);
        QCOMPARE(error->number, 70);
        QCOMPARE(readBytes(readOnly), QByteArray("keep"));

        // A character Shift-JIS cannot hold is reported, not replaced.
        const QString existing = m_dir.filePath(QStringLiteral("existing.txt"));
        test::writeBytes(existing, "old");
        error = WriteReportFile({existing, {}}, QStringLiteral("絵文字😀"));
        QVERIFY(error);
        QCOMPARE(error->number, 5);
        QCOMPARE(readBytes(existing), QByteArray("old"));

        error = WriteReportFile({m_dir.path(), {}}, QStringLiteral("x"));
        QVERIFY(error);
        QCOMPARE(error->number, 75);
    }

    // A name that holds something other than a regular file is refused, never replaced by one.
    void aTargetThatIsNotARegularFileIsLeftAsItIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("socket") << "socket";
        QTest::newRow("character device that refuses writes") << "device";
        QTest::newRow("link to a fifo") << "link";
    }
    void aTargetThatIsNotARegularFileIsLeftAsItIs()
    {
        QFETCH(QString, kind);
        const QString folder = m_dir.filePath(kind);
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/report.txt");
        const QByteArray name = QFile::encodeName(path);
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(name.constData(), 0644), 0);
        } else if (kind == QLatin1String("socket")) {
            QVERIFY(makeSocket(path));
        } else if (kind == QLatin1String("device")) {
            if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 7)) != 0) // as /dev/full
                QSKIP("making a device node needs root");
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("/fifo")).constData(), 0644), 0);
            QVERIFY(QFile::link(QStringLiteral("fifo"), path));
        }
        const QString before = nodeOf(path);
        const auto error = WriteReportFile({path, {}}, QStringLiteral("report\r\n"));
        QVERIFY(error);
        QCOMPARE(error->number, 75);
        QCOMPARE(nodeOf(path), before);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(),
                 kind == QLatin1String("link") ? 2 : 1);
    }

    // A disk with no block left: the error, and the earlier file as it was, whether the text is small
    // enough to wait in a buffer until the end or goes to the disk at once.
    void aFullDiskKeepsTheEarlierFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("small text") << 100;
        QTest::newRow("large text") << 200000;
    }
    void aFullDiskKeepsTheEarlierFile()
    {
        QFETCH(int, size);
        const QString folder = m_dir.filePath(QStringLiteral("full-%1").arg(size));
        test::SmallDisk disk(folder);
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs needs root and a system that allows mounts");
        const QString path = folder + QStringLiteral("/20240301.txt");
        test::writeBytes(path, "earlier report");
        disk.fill();
        const auto error = WriteReportFile({path, {}}, QString(size, QLatin1Char('r')));
        QVERIFY(error);
        QCOMPARE(error->number, 61);
        QCOMPARE(readBytes(path), QByteArray("earlier report"));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2); // no temporary file left
    }
};

QTEST_GUILESS_MAIN(TestReportFile)
#include "test_reportfile.moc"
