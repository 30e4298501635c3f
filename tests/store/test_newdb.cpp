#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using worvane::test::sql;

class TestNewDb : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    int run(const QStringList &args, QString *err = nullptr)
    {
        QProcess tool;
        tool.start(QStringLiteral(NEWDB_PATH), args);
        tool.waitForFinished(30000);
        if (err)
            *err = QString::fromUtf8(tool.readAllStandardError());
        return tool.exitCode();
    }

private slots:
    void createsTheThreeTablesWithTheirColumns()
    {
        const QString path = m_dir.filePath(QStringLiteral("new.db"));
        QCOMPARE(run({path}), 0);
        auto columns = [&](const QString &table) {
            QStringList names;
            for (const QVariantList &row :
                 sql(path,
                     QStringLiteral("SELECT name FROM pragma_table_info('%1') ORDER BY cid").arg(table)))
                names << row[0].toString();
            return names;
        };
        QCOMPARE(columns(QStringLiteral("DF_WKCONT")),
                 (QStringList{"PJCODE", "WKYMD", "WKCODE", "WKHEAD", "DETAIL"}));
        QCOMPARE(columns(QStringLiteral("DM_PRJMST")), (QStringList{"PJCODE", "PJNAME", "ENTYMD", "UPDYMD"}));
        QCOMPARE(columns(QStringLiteral("DF_WKTIME")),
                 (QStringList{"PJCODE", "WKYMD", "WSTIME", "WETIME", "ENTYMD", "UPDYMD"}));
        QCOMPARE(sql(path, QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST"))[0][0].toInt(), 0);
    }

    // A run killed half way left its part and a hot journal beside the path: the next run takes them
    // over, and the path only ever holds a whole database.
    void aKilledRunLeavesNothingAtThePathAndIsTakenOver()
    {
        const QString path = m_dir.filePath(QStringLiteral("again.db"));
        const QString part = m_dir.filePath(QStringLiteral(".again.db.worvane-part"));
        worvane::test::writeBytes(part, "SQLite format 3");
        worvane::test::writeBytes(part + QStringLiteral("-journal"), QByteArray(4096, 'j'));
        QCOMPARE(run({path, QStringLiteral("--demo")}), 0);
        QVERIFY(sql(path, QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST"))[0][0].toInt() >= 3);
        QCOMPARE(sql(path, QStringLiteral("PRAGMA integrity_check"))[0][0].toString(), QStringLiteral("ok"));
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".again*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    void demoAddsProjects()
    {
        const QString path = m_dir.filePath(QStringLiteral("demo.db"));
        QCOMPARE(run({path, QStringLiteral("--demo")}), 0);
        QVERIFY(sql(path, QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST"))[0][0].toInt() >= 3);
    }

    void refusesAnExistingFileAndBadArguments()
    {
        const QString path = m_dir.filePath(QStringLiteral("existing.txt"));
        worvane::test::writeBytes(path, "keep me");
        QString err;
        QCOMPARE(run({path}, &err), 1);
        QVERIFY(err.contains(QStringLiteral("already exists")));
        QCOMPARE(worvane::test::readBytes(path), QByteArray("keep me"));

        QCOMPARE(run({m_dir.filePath(QStringLiteral("no/such/folder/x.db"))}, &err), 1);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("no"))));
        QCOMPARE(run({}), 2);
        QCOMPARE(run({QStringLiteral("--bogus"), m_dir.filePath(QStringLiteral("b.db"))}), 2);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("b.db"))));
    }
};

QTEST_GUILESS_MAIN(TestNewDb)
#include "test_newdb.moc"
