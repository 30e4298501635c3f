#include "app/inictrl.h"
#include "testsupport.h"

#include "core/cp932.h"
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace worvane;
using worvane::test::readBytes;
using worvane::test::writeBytes;

class TestSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_ini;

    static QByteArray cp932(const QString &s) { return ToCp932(s); }

private slots:
    void init() { m_ini = m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction())); }

    void readsSectionsAndKeysWhateverTheirLetterCase()
    {
        writeBytes(m_ini, "; settings\r\n[mdb path]\r\nPATH = /data/report.db\r\n\r\n[DEFAULT "
                          "VALUE]\r\npjcode=A0012345\r\n");
        QCOMPARE(GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"), m_ini),
                 QStringLiteral("/data/report.db"));
        QCOMPARE(GetIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), m_ini),
                 QStringLiteral("A0012345"));
    }

    void missingFileSectionOrKeyReadsEmpty()
    {
        QCOMPARE(GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"),
                              m_dir.filePath(QStringLiteral("none.ini"))),
                 QString());
        writeBytes(m_ini, "[MDB Path]\r\nOther=1\r\n[Default Value]\r\n");
        QCOMPARE(GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"), m_ini), QString());
        QCOMPARE(GetIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), m_ini), QString());
        QCOMPARE(GetIniString(QStringLiteral("Nowhere"), QStringLiteral("Path"), m_ini), QString());
        // A key of another section is not found in this one.
        QCOMPARE(GetIniString(QStringLiteral("Default Value"), QStringLiteral("Other"), m_ini), QString());
    }

    void valuesAreCutAt199Bytes()
    {
        const QString v199(199, QLatin1Char('x'));
        writeBytes(m_ini, "[S]\nA=" + v199.toLatin1() + "\nB=" + v199.toLatin1() + "yz\n");
        QCOMPARE(GetIniString(QStringLiteral("S"), QStringLiteral("A"), m_ini), v199);
        QCOMPARE(GetIniString(QStringLiteral("S"), QStringLiteral("B"), m_ini), v199);
        // Cut between characters, never inside one: 99 two-byte characters and one more.
        const QString wide = QString(100, QChar(0x3042));
        writeBytes(m_ini, "[S]\r\nW=" + cp932(wide) + "\r\n");
        QCOMPARE(GetIniString(QStringLiteral("S"), QStringLiteral("W"), m_ini), QString(99, QChar(0x3042)));
    }

    void readsShiftJisAndUtf8Text()
    {
        const QString path = QStringLiteral("/データ/日報.db");
        writeBytes(m_ini, "[MDB Path]\r\nPath=" + cp932(path) + "\r\n");
        QCOMPARE(GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"), m_ini), path);
        writeBytes(m_ini, "[MDB Path]\nPath=" + path.toUtf8() + "\n");
        QCOMPARE(GetIniString(QStringLiteral("MDB Path"), QStringLiteral("Path"), m_ini), path);
    }

    void writeReplacesOneValueAndKeepsEveryOtherLine()
    {
        const QByteArray before =
            "; keep this comment\r\n[MDB Path]\r\nPath=" + cp932(QStringLiteral("/日報.db")) +
            "\r\n\r\n[Default Value]\r\nPJCode=OLD\r\nOther=1\r\n";
        writeBytes(m_ini, before);
        QVERIFY(WriteIniString(QStringLiteral("default value"), QStringLiteral("pjcode"),
                               QStringLiteral("AB12  "), m_ini));
        QByteArray expected = before;
        expected.replace("PJCode=OLD", "PJCode=AB12  ");
        QCOMPARE(readBytes(m_ini), expected);
        // Blanks around a value are not part of it when read, as the platform's reader has it.
        QCOMPARE(GetIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), m_ini),
                 QStringLiteral("AB12"));
    }

    void writeAddsTheFileSectionOrKey()
    {
        QVERIFY(WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                               QStringLiteral("A1"), m_ini));
        QCOMPARE(GetIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), m_ini),
                 QStringLiteral("A1"));

        writeBytes(m_ini, "[MDB Path]\nPath=/x.db\n\n[Default Value]\n\n[Later]\nK=v\n");
        QVERIFY(WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                               QStringLiteral("B2"), m_ini));
        QCOMPARE(readBytes(m_ini),
                 QByteArray("[MDB Path]\nPath=/x.db\n\n[Default Value]\nPJCode=B2\n\n[Later]\nK=v\n"));

        writeBytes(m_ini, "[MDB Path]\nPath=/x.db\n");
        QVERIFY(WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                               QStringLiteral("C3"), m_ini));
        QCOMPARE(readBytes(m_ini), QByteArray("[MDB Path]\nPath=/x.db\n\n[Default Value]\nPJCode=C3\n"));
    }

    void utf8FileStaysUtf8()
    {
        writeBytes(m_ini, "[MDB Path]\nPath=/データ.db\n");
        QVERIFY(WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                               QStringLiteral("名前"), m_ini));
        QCOMPARE(readBytes(m_ini),
                 QByteArray("[MDB Path]\nPath=/データ.db\n\n[Default Value]\nPJCode=名前\n"));
    }

    void writingTheValueItHoldsLeavesTheFileAlone()
    {
        writeBytes(m_ini, "[Default Value]\r\nPJCode=A0012345\r\n");
        {
            QFile file(m_ini);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
        }
        const QDateTime old = QFileInfo(m_ini).lastModified();
        QVERIFY(WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                               QStringLiteral("A0012345"), m_ini));
        QCOMPARE(QFileInfo(m_ini).lastModified(), old);
        QVERIFY(WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                               QStringLiteral("B1"), m_ini));
        QVERIFY(QFileInfo(m_ini).lastModified() > old);
    }

    void failedWriteChangesNothing()
    {
        const QByteArray before = "[Default Value]\r\nPJCode=OLD\r\n";
        writeBytes(m_ini, before);
        // A character the file's code page cannot hold.
        QVERIFY(!WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                                QStringLiteral("😀"), m_ini));
        QCOMPARE(readBytes(m_ini), before);
        // A folder that does not exist.
        const QString nowhere = m_dir.filePath(QStringLiteral("missing/Worvane.ini"));
        QVERIFY(!WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                                QStringLiteral("A"), nowhere));
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    // No write permission bit, no write: whoever runs the program, root too.
    void aReadOnlyFileOrFolderIsNeverWritten()
    {
        const QByteArray before = "[Default Value]\r\nPJCode=OLD\r\n";
        writeBytes(m_ini, before);
        const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(m_ini, readOnly));
        const auto mode = QFile::permissions(m_ini);
        QVERIFY(!WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                                QStringLiteral("NEW"), m_ini));
        QCOMPARE(readBytes(m_ini), before);
        QCOMPARE(QFile::permissions(m_ini), mode);

        const QString folder = m_dir.filePath(QStringLiteral("read-only"));
        QDir().mkpath(folder);
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const QString inFolder = folder + QStringLiteral("/Worvane.ini");
        QVERIFY(!WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"),
                                QStringLiteral("NEW"), inFolder));
        QVERIFY(!QFileInfo::exists(inFolder));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
