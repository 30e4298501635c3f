// The team database on a PostgreSQL server: each person's days kept apart by the server itself, and
// the server going away. Runs against the throwaway cluster only.
#include "store/open/openstore.h"
#include "store/storerules.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <thread>

using namespace worvane;
using worvane::test::sql;

namespace
{
const QString Code = QStringLiteral("A0012345");
const QString Date = QStringLiteral("2024/03/01");

DaySave day(const char *start, std::initializer_list<const char *> titles)
{
    DaySave d{Code, Date, QString::fromLatin1(start), QStringLiteral("18:00"), {}};
    int n = 0;
    for (const char *title : titles)
        d.items.append(WorkItem{QString::number(++n), QString::fromUtf8(title), QStringLiteral("内容")});
    return d;
}

int count(const QString &db, const char *sqlText)
{
    return sql(db, QString::fromLatin1(sqlText)).first().first().toInt();
}
} // namespace

class TestTeamStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_alice, m_bob, m_lea, m_admin;

private slots:
    void init()
    {
        if (!test::onServer())
            QSKIP("needs the test cluster");
        m_alice = test::freshDatabase(m_dir.path(), QString::fromLatin1(QTest::currentTestFunction()), true);
        m_bob = test::asPerson(m_alice, QStringLiteral("bob"));
        m_lea = test::asPerson(m_alice, QStringLiteral("lea"));
        m_admin = test::serverAdmin(m_alice);
    }

    void eachPersonReachesOnlyTheirOwnDays()
    {
        QVERIFY(OpenStore(m_alice)->saveDay(day("09:00", {"alice"})).ok());
        QVERIFY(!OpenStore(m_bob)->loadDay(Code, Date).value.hasTimeRow);
        // The same project and date for two people: both kept.
        QVERIFY(OpenStore(m_bob)->saveDay(day("10:00", {"bob 1", "bob 2"})).ok());
        QCOMPARE(count(m_admin, "SELECT COUNT(*) FROM DF_WKTIME"), 2);
        QCOMPARE(OpenStore(m_alice)->loadDay(Code, Date).value.items.size(), 1);

        // SQL typed by hand as bob reaches nothing of alice's.
        QCOMPARE(count(m_bob, "SELECT COUNT(*) FROM DF_WKCONT WHERE WKUSER = 'alice'"), 0);
        sql(m_bob, QStringLiteral("UPDATE DF_WKTIME SET WSTIME = '00:00' WHERE WKUSER = 'alice'"));
        sql(m_bob, QStringLiteral("DELETE FROM DF_WKCONT WHERE WKUSER = 'alice'"));
        const DayLoad alice = OpenStore(m_alice)->loadDay(Code, Date).value;
        QCOMPARE(alice.startTime, QStringLiteral("09:00"));
        QCOMPARE(alice.items.size(), 1);
        // Nor can bob write a row in alice's name.
        test::Session bob(m_bob);
        QVERIFY(!bob.exec(QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WKUSER) VALUES ('X', '2024/01/01', 'alice')")));
        QVERIFY2(bob.error().contains(QStringLiteral("row-level security")), qPrintable(bob.error()));

        // A lead works on their own days like anyone; everyone's only when asking for them.
        QVERIFY(!OpenStore(m_lea)->loadDay(Code, Date).value.hasTimeRow);
        QCOMPARE(count(m_lea, "SELECT COUNT(*) FROM DF_WKTIME"), 0);
        test::Session lead(m_lea);
        QVERIFY(lead.exec(QStringLiteral("SET worvane.people = 'all'")));
        QCOMPARE(lead.first(QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME")).toInt(), 2);
        QVERIFY(!lead.exec(QStringLiteral("DELETE FROM DF_WKTIME WHERE WKUSER = 'alice'")) ||
                count(m_admin, "SELECT COUNT(*) FROM DF_WKTIME") == 2);
        QCOMPARE(count(m_admin, "SELECT COUNT(*) FROM DF_WKTIME"), 2);
    }

    // A lead reads everyone's days, or one person's, each day with its own items and person; anyone
    // else asking for everyone's still reads their own only.
    void aLeadReadsEveryonesDaysApart()
    {
        QVERIFY(OpenStore(m_alice)->saveDay(day("09:00", {"alice"})).ok());
        QVERIFY(OpenStore(m_bob)->saveDay(day("10:00", {"bob 1", "bob 2"})).ok());
        const auto persons = [](const QString &db, const People &people) {
            QStringList seen;
            const Outcome read = OpenStore(db)->forEachDay({Date, Date, std::nullopt, people}, [&seen](const StoredDay &d) {
                seen << d.summary.person + QLatin1Char(':') + QString::number(d.items.size());
                return true;
            });
            return read.ok() ? seen : QStringList{read.error->text};
        };
        QCOMPARE(persons(m_lea, People::everyone()), (QStringList{QStringLiteral("alice:1"), QStringLiteral("bob:2")}));
        QCOMPARE(persons(m_lea, People::one(QStringLiteral("bob"))), QStringList{QStringLiteral("bob:2")});
        QCOMPARE(persons(m_lea, People{}), QStringList());
        QCOMPARE(persons(m_alice, People::everyone()), QStringList{QStringLiteral("alice:1")});
        const QList<DaySummary> counted =
            OpenStore(m_lea)->summarizeRange({Date, Date, QStringLiteral("a*"), People::everyone()}, Store::ItemCounts::Counted).value;
        QCOMPARE(counted.size(), 2);
        QCOMPARE(counted[1].person, QStringLiteral("bob"));
        QCOMPARE(counted[1].itemCount, 2);

        const Result<TeamPeople> asLead = OpenStore(m_lea)->teamPeople();
        const TeamPeople &lead = asLead.value, member = OpenStore(m_alice)->teamPeople().value;
        QVERIFY(asLead.ok() && lead.lead && !member.lead);
        QCOMPARE(lead.self, QStringLiteral("lea"));
        // A lead's names: everyone with a day, and every login of worvane_user (lea herself too), in order.
        QVERIFY2(lead.names.contains(QStringLiteral("alice")) && lead.names.contains(QStringLiteral("bob")) &&
                     lead.names.contains(QStringLiteral("lea")) && !lead.names.contains(QStringLiteral("postgres")),
                 qPrintable(lead.names.join(u',')));
        QStringList sorted = lead.names;
        sorted.sort();
        QCOMPARE(lead.names, sorted);
        QCOMPARE(member.names, QStringList{QStringLiteral("alice")});
    }

    // Two PCs of one person saving one day at the same moment: one save wins, the other is told, and the
    // day is the winner's whole. Both for a day that is new and for one that was stored.
    void simultaneousSavesOfOneDayLoseNothing()
    {
        for (const bool stored : {false, true}) {
            if (stored)
                QVERIFY(OpenStore(m_alice)->saveDay(day("06:00", {"stored"})).ok());
            DaySave first = day("08:00", {"pc 1"}), second = day("09:00", {"pc 2 a", "pc 2 b"});
            first.loadedStamp = second.loadedStamp = OpenStore(m_alice)->loadDay(Code, Date).value.stamp;
            // The admin holds the table so that both saves are inside their transactions at once.
            test::Session admin(m_admin);
            QVERIFY(admin.exec(QStringLiteral("BEGIN")) &&
                    admin.exec(QStringLiteral("LOCK TABLE DF_WKCONT IN EXCLUSIVE MODE")));
            Result<QString> a, b;
            std::thread one([&] { a = OpenStore(m_alice)->saveDay(first); });
            std::thread two([&] { b = OpenStore(m_alice)->saveDay(second); });
            QTest::qWait(300);
            admin.exec(QStringLiteral("ROLLBACK"));
            one.join();
            two.join();
            QCOMPARE(int(a.ok()) + int(b.ok()), 1);
            const Result<QString> &lost = a.ok() ? b : a;
            QVERIFY2(lost.failedAs(StoreError::Kind::Conflict), qPrintable(test::why(lost)));
            const DayLoad now = OpenStore(m_alice)->loadDay(Code, Date).value;
            QCOMPARE(now.stamp, (a.ok() ? DayStamp(true, first.startTime, first.endTime, first.items)
                                      : DayStamp(true, second.startTime, second.endTime, second.items)));
            sql(m_alice, QStringLiteral("DELETE FROM DF_WKCONT"));
            sql(m_alice, QStringLiteral("DELETE FROM DF_WKTIME"));
        }
    }

    // A server out of reach, a login refused, a connection cut mid-save: each says so, loses nothing, and
    // the same save goes through once the server is there again.
    void theServerGoingAwayLosesNothing()
    {
        QUrl nowhere(m_alice);
        nowhere.setPort(1);
        const Result<DayLoad> down = OpenStore(nowhere.toString(), 1000)->loadDay(Code, Date);
        QVERIFY(down.failedAs(StoreError::Kind::Unreachable));
        QVERIFY(down.error->text.startsWith(QStringLiteral("127.0.0.1:1/")));
        QVERIFY(OpenStore(test::asPerson(m_alice, QStringLiteral("mallory")), 1000)
                    ->saveDay(day("09:00", {"x"}))
                    .failedAs(StoreError::Kind::Authentication));

        QVERIFY(OpenStore(m_alice)->saveDay(day("09:00", {"old 1", "old 2"})).ok());
        const DaySave changed = day("08:00", {"new 1", "new 2", "new 3"});
        // The admin holds the items table; alice's save waits in it; the admin cuts alice's connection.
        test::Session admin(m_admin);
        QVERIFY(admin.exec(QStringLiteral("BEGIN")) &&
                admin.exec(QStringLiteral("LOCK TABLE DF_WKCONT IN ACCESS EXCLUSIVE MODE")));
        Result<QString> cut;
        std::thread saver([&] { cut = OpenStore(m_alice)->saveDay(changed); });
        test::Session killer(m_admin);
        int killed = 0;
        for (int i = 0; i < 100 && killed == 0; ++i) {
            QTest::qWait(50);
            killed = killer.first(QStringLiteral("SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                                 "WHERE usename = 'alice' AND wait_event_type = 'Lock' "
                                                 "AND datname = current_database()"))
                         .toInt();
        }
        saver.join();
        admin.exec(QStringLiteral("ROLLBACK"));
        QVERIFY(cut.failedAs(StoreError::Kind::Unreachable));
        const DayLoad after = OpenStore(m_alice)->loadDay(Code, Date).value;
        QCOMPARE(after.startTime, QStringLiteral("09:00"));
        QCOMPARE(after.items.size(), 2);
        const std::unique_ptr<Store> alice = OpenStore(m_alice);
        QVERIFY(alice->saveDay(changed).ok());
        QCOMPARE(alice->loadDay(Code, Date).value.items.size(), 3);

        // The connection the store keeps (there is one to cut) is replaced by the next operation without a
        // word.
        QCOMPARE(killer.first(QStringLiteral("SELECT COUNT(pg_terminate_backend(pid, 5000)) FROM pg_stat_activity "
                                             "WHERE usename = 'alice' AND datname = current_database()"))
                     .toInt(),
                 1);
        QCOMPARE(alice->loadDay(Code, Date).value.items.size(), 3);
    }

    // A file into the team database and back: the same days, projects merged by code, and a copy that
    // would double a day writes nothing.
    void copiesBetweenAFileAndTheTeamDatabase()
    {
        const QString file = m_dir.filePath(QStringLiteral("single.db"));
        QFile::remove(file);
        test::makeDatabase(file, true);
        const std::unique_ptr<Store> opened = OpenStore(file);
        Store &single = *opened;
        QVERIFY(single.updateProjectMaster(QStringLiteral("N0000001"), QStringLiteral("新規")).ok());
        QVERIFY(single.saveDay(day("09:00", {"a", "b"})).ok());
        DaySave other = day("22:00", {"c"});
        other.date = QStringLiteral("2024/03/02");
        other.code = QStringLiteral("n0000001");
        QVERIFY(single.saveDay(other).ok());
        QVERIFY(OpenStore(m_bob)->saveDay(day("07:00", {"bob"})).ok()); // someone else's day stays apart

        const Result<CopyCounts> copiedIn = CopyReports(file, m_alice);
        QVERIFY2(copiedIn.ok(), qPrintable(test::why(copiedIn)));
        const CopyCounts &in = copiedIn.value;
        QCOMPARE((QList<int>{in.projectsAdded, in.projectsKept, in.days, in.items}), (QList<int>{1, 5, 2, 3}));
        QCOMPARE(OpenStore(m_alice)->loadDay(QStringLiteral("N0000001"), other.date).value.items.size(), 1);
        QCOMPARE(OpenStore(m_bob)->loadDay(Code, Date).value.items.size(), 1);

        QVERIFY(!CopyReports(file, m_alice).ok());
        QCOMPARE(count(m_admin, "SELECT COUNT(*) FROM DF_WKCONT"), 4);

        const QString back = m_dir.filePath(QStringLiteral("back.db"));
        QFile::remove(back);
        // As a copy killed half way left it: its part and a hot journal, taken over by the next copy.
        test::writeBytes(m_dir.filePath(QStringLiteral(".back.db.worvane-part")), "SQLite format 3");
        test::writeBytes(m_dir.filePath(QStringLiteral(".back.db.worvane-part-journal")), QByteArray(512, 'j'));
        const Result<CopyCounts> copiedOut = CopyReports(m_alice, back);
        QVERIFY2(copiedOut.ok(), qPrintable(test::why(copiedOut)));
        const CopyCounts &out = copiedOut.value;
        QCOMPARE((QList<int>{out.projectsAdded, out.days, out.items}), (QList<int>{6, 2, 3}));
        for (const QString &date : {Date, other.date})
            for (const QString &code : {Code, QStringLiteral("N0000001")})
                QCOMPARE(OpenStore(back)->loadDay(code, date).value.stamp, single.loadDay(code, date).value.stamp);
        QVERIFY(!CopyReports(m_alice, back).ok()); // never over an existing file
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".back*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    void setUpTwiceChangesNothing()
    {
        QVERIFY(OpenStore(m_alice)->saveDay(day("09:00", {"kept"})).ok());
        test::makeDatabase(m_admin, true);
        QCOMPARE(OpenStore(m_alice)->loadDay(Code, Date).value.items.size(), 1);
        QCOMPARE(count(m_admin, "SELECT COUNT(*) FROM DM_PRJMST"), 5);
    }
};

QTEST_GUILESS_MAIN(TestTeamStore)
#include "test_teamstore.moc"
