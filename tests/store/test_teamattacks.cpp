// The team database under attack by its own people: SQL typed by hand as a member and as a lead, the
// program's own calls with hostile texts and URIs, a table locked by someone. The server, not the
// program, must hold each rule. Runs against the throwaway cluster only.
#include "app/storecall.h"
#include "core/clock.h"
#include "report/frmworvane.h"
#include "submission/frmdayview.h"
#include "submission/frmsubmission.h"
#include "store/open/openstore.h"
#include "store/storerules.h"
#include "testsupport.h"
#include "widgets/screen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace worvane;
using worvane::test::sql;

namespace
{
const QString Used = QStringLiteral("A0012345");   // a project alice's day uses
const QString Unused = QStringLiteral("C1000010"); // a project no day uses
const QString Date = QStringLiteral("2024/03/01");

DaySave dayOf(const QString &detail)
{
    return DaySave{Used, Date, QStringLiteral("09:00"), QStringLiteral("18:00"),
                   {WorkItem{QStringLiteral("1"), QStringLiteral("作業"), detail}}};
}

// The columns of a day table a copy of its rows names (its generated ones are made again).
QString columnsOf(const char *table)
{
    return QString::fromLatin1(table) == QLatin1String("df_wktime")
               ? QStringLiteral("PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD, WKUSER, ROWNO")
               : QStringLiteral("PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER, ROWNO");
}

QString scalar(const QString &db, const QString &statement)
{
    return sql(db, statement).first().first().toString();
}

// Runs a tool of the program; its exit status and what it wrote to both streams.
struct Ran {
    int status;
    QString output;
};
Ran runTool(const char *path, const QStringList &arguments)
{
    QProcess tool;
    tool.start(QString::fromUtf8(path), arguments);
    tool.waitForFinished(60000);
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError())};
}

// Every line the program logs while it lives.
class LogTaker
{
public:
    LogTaker() { s_lines.clear(), m_before = qInstallMessageHandler(take); }
    ~LogTaker() { qInstallMessageHandler(m_before); }
    QString all() const { return s_lines.join(QLatin1Char('\n')); }

private:
    static void take(QtMsgType, const QMessageLogContext &, const QString &line) { s_lines << line; }
    static inline QStringList s_lines;
    QtMessageHandler m_before;
};
} // namespace

class TestTeamAttacks : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_alice, m_bob, m_lea, m_admin;

    QString withUri(const QString &person, const QString &userInfo)
    {
        QUrl url(test::asPerson(m_alice, person));
        url.setUserInfo(userInfo);
        return url.toString();
    }

private slots:
    void init()
    {
        if (!test::onServer())
            QSKIP("needs the test cluster");
        m_alice = test::freshDatabase(m_dir.path(), QString::fromLatin1(QTest::currentTestFunction()), true);
        m_bob = test::asPerson(m_alice, QStringLiteral("bob"));
        m_lea = test::asPerson(m_alice, QStringLiteral("lea"));
        m_admin = test::serverAdmin(m_alice);
        QVERIFY(OpenStore(m_alice)->saveDay(dayOf(QStringLiteral("alice"))).ok());
        QVERIFY(OpenStore(m_bob)->saveDay(dayOf(QStringLiteral("bob"))).ok());
    }

    // Each row: who types it, the statements (one session), whether the server lets it through, and
    // what the database holds afterwards as its superuser reads it.
    void sqlTypedByHand_data()
    {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("leadFirst"); // a lead's statements before the attack
        const QString projects = QStringLiteral("SELECT COUNT(*) FROM dm_prjmst");
        const QString codes = QStringLiteral("SELECT string_agg(pjcode, ',' ORDER BY pjcode) FROM dm_prjmst");
        const QString allCodes = QStringLiteral("A0012345,A0012346,B0000001,C1000010,Z9999999");
        const QString owners = QStringLiteral("SELECT string_agg(wkuser, ',' ORDER BY wkuser) FROM df_wktime");
        const auto row = [](const char *name, const char *who, QStringList statements, bool allowed,
                            const QString &check, const QString &expected) {
            QTest::newRow(name) << QString::fromLatin1(who) << statements << allowed << check << expected
                                << QStringList();
        };
        // A person's day, approved or returned, commented, closed or reopened by the lead lea first.
        const auto after = [](const char *name, QStringList leadFirst, const char *who, QStringList statements,
                              bool allowed, const QString &check, const QString &expected) {
            QTest::newRow(name) << QString::fromLatin1(who) << statements << allowed << check << expected << leadFirst;
        };
        // The shared project master.
        row("member deletes every project", "alice", {QStringLiteral("DELETE FROM dm_prjmst")}, false, projects,
            QStringLiteral("5"));
        row("member truncates the master", "alice", {QStringLiteral("TRUNCATE dm_prjmst")}, false, projects,
            QStringLiteral("5"));
        row("member renames a used code", "alice",
            {QStringLiteral("UPDATE dm_prjmst SET pjcode = 'QQQ00001' WHERE pjcode = 'A0012345'")}, false, codes,
            allCodes);
        row("member renames an unused code", "alice",
            {QStringLiteral("UPDATE dm_prjmst SET pjcode = 'QQQ00001' WHERE pjcode = 'C1000010'")}, false, codes,
            allCodes);
        row("member renames a project", "alice",
            {QStringLiteral("UPDATE dm_prjmst SET pjname = '新名称' WHERE pjcode = 'A0012345'")}, true,
            QStringLiteral("SELECT pjname FROM dm_prjmst WHERE pjcode = 'A0012345'"), QStringLiteral("新名称"));
        row("member adds a project", "alice",
            {QStringLiteral("INSERT INTO dm_prjmst (pjcode, pjname) VALUES ('D0000001', '新規')")}, true, projects,
            QStringLiteral("6"));
        row("lead renames a used code", "lea",
            {QStringLiteral("UPDATE dm_prjmst SET pjcode = 'QQQ00001' WHERE pjcode = 'A0012345'")}, false, codes,
            allCodes);
        row("lead deletes a used project", "lea", {QStringLiteral("DELETE FROM dm_prjmst WHERE pjcode = 'A0012345'")},
            false, projects, QStringLiteral("5"));
        row("lead renames an unused code", "lea",
            {QStringLiteral("UPDATE dm_prjmst SET pjcode = 'C1000011' WHERE pjcode = 'C1000010'")}, true,
            QStringLiteral("SELECT COUNT(*) FROM dm_prjmst WHERE pjcode = 'C1000011'"), QStringLiteral("1"));
        row("lead deletes an unused project", "lea", {QStringLiteral("DELETE FROM dm_prjmst WHERE pjcode = 'C1000010'")},
            true, projects, QStringLiteral("4"));
        // Days owned by a group role, or by someone else.
        row("member writes a day as worvane_user", "alice",
            {QStringLiteral("SET ROLE worvane_user"),
             QStringLiteral("INSERT INTO df_wktime (pjcode, wkymd, wkuser) VALUES ('A0012345', '2024/03/02', 'worvane_user')")},
            false, owners, QStringLiteral("alice,bob"));
        row("member's day after SET ROLE is still theirs", "alice",
            {QStringLiteral("SET ROLE worvane_user"),
             QStringLiteral("INSERT INTO df_wktime (pjcode, wkymd) VALUES ('A0012345', '2024/03/02')")},
            true, owners, QStringLiteral("alice,alice,bob"));
        row("lead writes a day as worvane_lead", "lea",
            {QStringLiteral("SET ROLE worvane_lead"),
             QStringLiteral("INSERT INTO df_wktime (pjcode, wkymd, wkuser) VALUES ('A0012345', '2024/03/02', 'worvane_lead')")},
            false, owners, QStringLiteral("alice,bob"));
        row("member writes a day as bob", "alice",
            {QStringLiteral("INSERT INTO df_wktime (pjcode, wkymd, wkuser) VALUES ('A0012345', '2024/03/02', 'bob')")},
            false, owners, QStringLiteral("alice,bob"));
        row("member changes bob's day", "alice",
            {QStringLiteral("UPDATE df_wkcont SET detail = 'x' WHERE wkuser = 'bob'")}, true,
            QStringLiteral("SELECT detail FROM df_wkcont WHERE wkuser = 'bob'"), QStringLiteral("bob"));
        row("member asks for everyone's days", "alice",
            {QStringLiteral("SELECT set_config('worvane.people', 'all', false)"),
             QStringLiteral("UPDATE df_wkcont SET detail = 'x' WHERE wkuser = 'bob'")},
            true, QStringLiteral("SELECT detail FROM df_wkcont WHERE wkuser = 'bob'"), QStringLiteral("bob"));
        // The rules themselves.
        row("member turns the policies off", "alice",
            {QStringLiteral("ALTER TABLE df_wktime DISABLE ROW LEVEL SECURITY")}, false,
            QStringLiteral("SELECT relrowsecurity::text FROM pg_class WHERE relname = 'df_wktime'"),
            QStringLiteral("true"));
        row("member drops the master's trigger", "alice",
            {QStringLiteral("DROP TRIGGER dm_prjmst_kept ON dm_prjmst")}, false,
            QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE tgname = 'dm_prjmst_kept'"), QStringLiteral("1"));
        row("member disables the master's trigger", "alice",
            {QStringLiteral("ALTER TABLE dm_prjmst DISABLE TRIGGER ALL")}, false,
            QStringLiteral("SELECT tgenabled::text FROM pg_trigger WHERE tgname = 'dm_prjmst_kept'"), QStringLiteral("O"));
        row("member replaces the trigger's function", "alice",
            {QStringLiteral("CREATE OR REPLACE FUNCTION worvane_project_kept() RETURNS trigger LANGUAGE "
                            "plpgsql AS $$ BEGIN RETURN NEW; END $$")},
            false, codes, allCodes);
        row("member shadows pg_has_role in their own schema", "alice",
            {QStringLiteral("CREATE SCHEMA alice"),
             QStringLiteral("CREATE FUNCTION alice.pg_has_role(name, text, text) RETURNS boolean LANGUAGE sql AS 'SELECT true'"),
             QStringLiteral("UPDATE dm_prjmst SET pjcode = 'QQQ00001' WHERE pjcode = 'C1000010'")},
            false, codes, allCodes);

        // The team's day: states, comments and records are the leads' to write, through their functions only.
        const QString state = QStringLiteral("SELECT string_agg(wkuser || ' ' || state, ',' ORDER BY wkuser) FROM wv_daystate");
        const QString submitted = QStringLiteral("alice 提出済,bob 提出済");
        const QString detail = QStringLiteral("SELECT detail FROM df_wkcont WHERE wkuser = 'alice'");
        const QString comments = QStringLiteral("SELECT COUNT(*) FROM wv_comment");
        const QString approve = QStringLiteral("SELECT worvane_review('alice', '2024/03/01', '承認', 'よし')");
        const QString close = QStringLiteral("SELECT worvane_close('2024/03/31')");
        const QString change = QStringLiteral("UPDATE df_wkcont SET detail = 'x' WHERE wkuser = 'alice'");
        row("member approves their own day", "alice", {approve}, false, state, submitted);
        row("member approves as worvane_lead", "alice", {QStringLiteral("SET ROLE worvane_lead"), approve}, false, state,
            submitted);
        row("member shadows pg_has_role to approve", "alice",
            {QStringLiteral("CREATE SCHEMA alice"),
             QStringLiteral("CREATE FUNCTION alice.pg_has_role(name, text, text) RETURNS boolean LANGUAGE sql AS 'SELECT true'"),
             approve},
            false, state, submitted);
        row("member sets their state", "alice", {QStringLiteral("UPDATE wv_daystate SET state = '承認済'")}, false, state,
            submitted);
        row("member deletes their state", "alice", {QStringLiteral("DELETE FROM wv_daystate")}, false, state, submitted);
        row("member adds a state", "alice",
            {QStringLiteral("INSERT INTO wv_daystate (wkuser, wkymd, state) VALUES ('alice', '2024/03/02', '承認済')")},
            false, state, submitted);
        row("member writes a comment", "alice",
            {QStringLiteral("INSERT INTO wv_comment (wkuser, wkymd, body) VALUES ('alice', '2024/03/01', 'ok')")}, false,
            comments, QStringLiteral("0"));
        row("member closes the month", "alice", {close}, false, QStringLiteral("SELECT COUNT(*) FROM wv_closed"),
            QStringLiteral("0"));
        row("member disables the day's guard", "alice",
            {QStringLiteral("ALTER TABLE df_wkcont DISABLE TRIGGER df_wkcont_guard_update")}, false,
            QStringLiteral("SELECT tgenabled::text FROM pg_trigger WHERE tgname = 'df_wkcont_guard_update'"),
            QStringLiteral("O"));
        row("lead approves alice's day", "lea", {approve}, true, state, QStringLiteral("alice 承認済,bob 提出済"));
        after("member changes an approved day", {approve}, "alice", {change}, false, detail, QStringLiteral("alice"));
        after("member deletes an approved day", {approve}, "alice", {QStringLiteral("DELETE FROM df_wkcont")}, false,
              detail, QStringLiteral("alice"));
        after("member adds an item to an approved day", {approve}, "alice",
              {QStringLiteral("INSERT INTO df_wkcont (pjcode, wkymd, wkcode, wkhead, detail) "
                              "VALUES ('A0012345', '2024/03/01', '2', 't', 'd')")},
              false, QStringLiteral("SELECT COUNT(*) FROM df_wkcont WHERE wkuser = 'alice'"), QStringLiteral("1"));
        after("member moves an approved day away", {approve}, "alice",
              {QStringLiteral("UPDATE df_wktime SET wkymd = '2024/03/02'")}, false,
              QStringLiteral("SELECT wkymd FROM df_wktime WHERE wkuser = 'alice'"), QStringLiteral("2024/03/01"));
        after("member deletes a comment", {approve}, "alice", {QStringLiteral("DELETE FROM wv_comment")}, false,
              comments, QStringLiteral("1"));
        after("lead deletes a comment", {approve}, "lea", {QStringLiteral("DELETE FROM wv_comment")}, false, comments,
              QStringLiteral("1"));
        after("lead rewrites a comment", {approve}, "lea", {QStringLiteral("UPDATE wv_comment SET body = 'x'")}, false,
              QStringLiteral("SELECT body FROM wv_comment"), QStringLiteral("よし"));
        after("lead deletes the records", {approve}, "lea", {QStringLiteral("DELETE FROM wv_record")}, false,
              QStringLiteral("SELECT COUNT(*) FROM wv_record"), QStringLiteral("1"));
        after("lead changes an approved day of alice's", {approve}, "lea", {change}, true, detail,
              QStringLiteral("alice"));
        after("member reads bob's comments", {QStringLiteral("SELECT worvane_comment('bob', '2024/03/01', '秘密')")},
              "alice",
              {QStringLiteral("UPDATE df_wkcont SET detail = coalesce((SELECT string_agg(body, ',') FROM wv_comment), "
                              "'none')")},
              true, detail, QStringLiteral("none"));
        after("member asks whether bob's day is approved",
              {QStringLiteral("SELECT worvane_review('bob', '2024/03/01', '承認', NULL)")}, "alice",
              {QStringLiteral("UPDATE df_wkcont SET detail = coalesce(worvane_day_locked('bob', '2024/03/01')::text, "
                              "'none')")},
              true, detail, QStringLiteral("none"));
        after("member changes a returned day: submitted again",
              {QStringLiteral("SELECT worvane_review('alice', '2024/03/01', '差戻し', '直して')")}, "alice", {change},
              true, state, submitted);
        after("member changes a closed day", {close}, "alice", {change}, false, detail, QStringLiteral("alice"));
        after("member writes a new day in a closed month", {close}, "alice",
              {QStringLiteral("INSERT INTO df_wktime (pjcode, wkymd) VALUES ('A0012345', '2024/03/02')")}, false,
              QStringLiteral("SELECT COUNT(*) FROM df_wktime WHERE wkuser = 'alice'"), QStringLiteral("1"));
        after("member writes a day after the closing", {QStringLiteral("SELECT worvane_close('2024/02/29')")}, "alice",
              {change}, true, detail, QStringLiteral("x"));
        after("member changes a reopened day of a closed month",
              {close, QStringLiteral("SELECT worvane_reopen('alice', '2024/03/01')")}, "alice", {change}, true, detail,
              QStringLiteral("x"));
        after("bob's day stays closed when alice's is reopened",
              {close, QStringLiteral("SELECT worvane_reopen('alice', '2024/03/01')")}, "bob",
              {QStringLiteral("UPDATE df_wkcont SET detail = 'x'")}, false,
              QStringLiteral("SELECT detail FROM df_wkcont WHERE wkuser = 'bob'"), QStringLiteral("bob"));
        after("member changes an approved day after the lead reopens it",
              {approve, QStringLiteral("SELECT worvane_reopen('alice', '2024/03/01')")}, "alice", {change}, true, detail,
              QStringLiteral("x"));

        // History: the server keeps every version, however it was written; nobody changes or removes one.
        const QString versions =
            QStringLiteral("SELECT string_agg(wkuser || ' ' || (items->0->>2), ',' ORDER BY rowno) FROM wv_history");
        const QString kept = QStringLiteral("alice alice,bob bob");
        row("member deletes their history", "alice", {QStringLiteral("DELETE FROM wv_history")}, false, versions, kept);
        row("member rewrites their history", "alice", {QStringLiteral("UPDATE wv_history SET items = '[]'")}, false,
            versions, kept);
        row("member forges a version", "alice",
            {QStringLiteral("INSERT INTO wv_history (wkuser, pjkey, wkymd, items) "
                            "VALUES ('alice', 'a0012345', '2024/03/01', '[[\"1\", \"t\", \"forged\"]]')")},
            false, versions, kept);
        row("member truncates the history", "alice", {QStringLiteral("TRUNCATE wv_history")}, false, versions, kept);
        row("lead deletes the history", "lea", {QStringLiteral("DELETE FROM wv_history")}, false, versions, kept);
        row("lead rewrites alice's history", "lea", {QStringLiteral("UPDATE wv_history SET items = '[]'")}, false,
            versions, kept);
        row("member disables the history's trigger", "alice",
            {QStringLiteral("ALTER TABLE df_wkcont DISABLE TRIGGER df_wkcont_history_update"), change}, false, versions,
            kept);
        row("member replaces the history's function", "alice",
            {QStringLiteral("CREATE OR REPLACE FUNCTION worvane_keep_versions() RETURNS trigger LANGUAGE plpgsql "
                            "AS $$ BEGIN RETURN NULL; END $$"),
             change},
            false, versions, kept);
        row("member's change typed by hand is kept", "alice", {change}, true, versions,
            QStringLiteral("alice alice,bob bob,alice x"));
        // The yearly partitions: read and written through the day tables and their policies only.
        const QString bobsDetail = QStringLiteral("SELECT string_agg(detail, ',' ORDER BY wkuser) FROM df_wkcont");
        row("member reads bob's items from a partition", "alice",
            {QStringLiteral("UPDATE df_wkcont SET detail = coalesce((SELECT string_agg(detail, ',') FROM df_wkcont_default "
                            "WHERE wkuser = 'bob'), 'none')")},
            false, bobsDetail, QStringLiteral("alice,bob"));
        row("lead reads a partition", "lea", {QStringLiteral("SELECT * FROM df_wktime_default")}, false, owners,
            QStringLiteral("alice,bob"));
        row("member writes a day for bob into a year's partition", "alice",
            {QStringLiteral("INSERT INTO df_wktime_%1 (pjcode, wkymd, wkuser) VALUES ('A0012345', '%1/03/02', 'bob')")
                 .arg(QDate::currentDate().year())},
            false, owners, QStringLiteral("alice,bob"));
        row("member detaches a partition", "alice",
            {QStringLiteral("ALTER TABLE df_wkcont DETACH PARTITION df_wkcont_default")}, false, bobsDetail,
            QStringLiteral("alice,bob"));
        row("member reads bob's history", "alice",
            {QStringLiteral("UPDATE df_wkcont SET detail = coalesce((SELECT string_agg(wkuser, ',') FROM wv_history "
                            "WHERE wkuser = 'bob'), 'none')")},
            true, versions, QStringLiteral("alice alice,bob bob,alice none"));
    }

    void sqlTypedByHand()
    {
        QFETCH(QString, who);
        QFETCH(QStringList, statements);
        QFETCH(bool, allowed);
        QFETCH(QString, check);
        QFETCH(QString, expected);
        QFETCH(QStringList, leadFirst);
        {
            test::Session lead(m_lea);
            for (const QString &statement : leadFirst)
                QVERIFY2(lead.exec(statement), qPrintable(lead.error()));
        }
        bool went = true;
        QString why;
        {
            test::Session session(test::asPerson(m_alice, who));
            for (const QString &statement : statements)
                if (!session.exec(statement)) {
                    went = false;
                    why = session.error();
                    break;
                }
        }
        QVERIFY2(went == allowed, qPrintable(why.isEmpty() ? QStringLiteral("it went through") : why));
        QCOMPARE(scalar(m_admin, check), expected);
    }

    // The program says why the server refused a change of the master.
    void theProjectWindowIsToldWhy()
    {
        // Overwriting the row whose name equals would change its code.
        const Outcome member = OpenStore(m_alice)->updateProjectMaster(QStringLiteral("QQQ00001"), QStringLiteral("顧客サポート"));
        QVERIFY(!member.ok());
        QCOMPARE(FailureMessage(*member.error, {}, msg::ProjectUpdateFailed), msg::ProjectCodeLeadOnly);
        const Outcome lead = OpenStore(m_lea)->updateProjectMaster(QStringLiteral("QQQ00001"), QStringLiteral("ワーベーン開発"));
        QVERIFY(!lead.ok());
        QCOMPARE(FailureMessage(*lead.error, {}, msg::ProjectUpdateFailed), msg::ProjectCodeInUse);
        QVERIFY(OpenStore(m_alice)->updateProjectMaster(Used, QStringLiteral("名前だけ")).ok());
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT pjname FROM dm_prjmst WHERE pjcode = 'A0012345'")),
                 QStringLiteral("名前だけ"));
    }

    // A team database set up before the day tables were partitioned: upgraded in one go, every day and row
    // number kept, each year in its partition; saving goes on as before, and a second upgrade changes nothing.
    void anEarlierDatabaseIsUpgradedWhole()
    {
        const std::unique_ptr<Store> alice = OpenStore(m_alice);
        for (const QString &date : {QStringLiteral("2019/12/31"), QStringLiteral("2020/01/01")})
            QVERIFY(alice->saveDay({Used, date, QStringLiteral("09:00"), QStringLiteral("10:00"),
                                    {WorkItem{QStringLiteral("1"), QStringLiteral("年末"), date}}})
                        .ok());
        // The tables as they were: plain tables with the same columns, rows, policies and triggers.
        for (const char *table : {"df_wktime", "df_wkcont"})
            sql(m_admin, QStringLiteral("BEGIN; CREATE TABLE plain (LIKE %1 INCLUDING ALL); "
                                        "INSERT INTO plain (%2) OVERRIDING SYSTEM VALUE SELECT %2 FROM %1; "
                                        "DROP TABLE %1; ALTER TABLE plain RENAME TO %1; COMMIT")
                             .arg(QString::fromLatin1(table), columnsOf(table)));
        test::makeDatabase(m_admin, false); // the set-up of the time, again
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT relkind FROM pg_class WHERE relname = 'df_wktime'")), QStringLiteral("r"));
        const auto contents = [this] {
            return sql(m_admin, QStringLiteral("SELECT string_agg(concat_ws(' ', rowno, wkuser, wkymd, detail), ',' "
                                               "ORDER BY rowno) FROM df_wkcont"));
        };
        const auto before = contents();
        const DayLoad loaded = alice->loadDay(Used, Date).value;

        const Ran upgrade = runTool(NEWDB_PATH, {QStringLiteral("--upgrade"), m_admin});
        QVERIFY2(upgrade.status == 0, qPrintable(upgrade.output));
        QCOMPARE(contents(), before);
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT string_agg(c.relname || ':' || (SELECT count(*) FROM df_wktime t "
                                                "WHERE t.tableoid = c.oid), ',' ORDER BY c.relname) FROM pg_inherits i "
                                                "JOIN pg_class c ON c.oid = i.inhrelid WHERE i.inhparent = 'df_wktime'::regclass")),
                 QStringLiteral("df_wktime_2019:1,df_wktime_2020:1,df_wktime_2024:2,df_wktime_%1:0,df_wktime_%2:0,df_wktime_default:0")
                     .arg(QDate::currentDate().year())
                     .arg(QDate::currentDate().year() + 1));
        QCOMPARE(alice->loadDay(Used, Date).value.stamp, loaded.stamp);
        // Saving goes on, in new row numbers, and the people still see only their own days.
        QVERIFY(alice->saveDay(dayOf(QStringLiteral("after"))).ok());
        QVERIFY(OpenStore(m_bob)->saveDay({Used, QStringLiteral("2031/05/01"), {}, {}, {}}).ok());
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT count(DISTINCT rowno) = count(*) FROM df_wkcont")), QStringLiteral("true"));
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT count(*) FROM df_wktime_default")), QStringLiteral("1")); // 2031
        QCOMPARE(scalar(m_alice, QStringLiteral("SELECT string_agg(DISTINCT wkuser, ',') FROM df_wktime")), QStringLiteral("alice"));
        // Once more: nothing to do but the year waiting in the default partition.
        QCOMPARE(runTool(NEWDB_PATH, {QStringLiteral("--upgrade"), m_admin}).status, 0);
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT count(*) FROM df_wktime_2031")), QStringLiteral("1"));
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT count(*) FROM df_wktime_default")), QStringLiteral("0"));
    }

    // A NUL would be cut off by the server: refused before anything is written, named.
    void aCharacterTheServerCannotStoreIsRefused()
    {
        const std::unique_ptr<Store> alice = OpenStore(m_alice);
        const QString before = alice->loadDay(Used, Date).value.stamp;
        const DaySave day = dayOf(QStringLiteral("before") + QChar(0) + QStringLiteral("after"));
        const Result<QString> saved = alice->saveDay(day);
        QVERIFY(saved.failedAs(StoreError::Kind::Refused));
        QCOMPARE(saved.error->rule, StoreError::Rule::UnstorableCharacter);
        QCOMPARE(alice->loadDay(Used, Date).value.stamp, before);
        QCOMPARE(UnstorableMessage(*FindUnstorable(day)).text.section(QStringLiteral("\r\n"), 0, 0),
                 QStringLiteral("2024/03/01 A0012345 の作業項目№ 1 の作業内容に、データベースに保存できない文字（U+0000）があります。"));

        // worvane-copy of a file holding one: nothing copied, the place named.
        const QString file = m_dir.filePath(QStringLiteral("nul.db"));
        QFile::remove(file);
        test::makeDatabase(file, true);
        test::Session other(file);
        QVERIFY(other.exec(QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD) VALUES ('A0012346', '2024/04/01')")));
        QVERIFY(other.exec(QStringLiteral("INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL) "
                                          "VALUES ('A0012346', '2024/04/01', '3', ?, 'x')"),
                           {QStringLiteral("a") + QChar(0) + QStringLiteral("b")}));
        const Ran copy = runTool(COPY_PATH, {file, m_alice});
        QCOMPARE(copy.status, 1);
        QVERIFY2(copy.output.contains(QStringLiteral("2024/04/01 A0012346, item 3, its title holds U+0000")),
                 qPrintable(copy.output));
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT COUNT(*) FROM df_wktime WHERE wkymd = '2024/04/01'")),
                 QStringLiteral("0"));
    }

    // The URI goes to libpq as it is; a password in it is refused and never shown or logged.
    void theUriIsLibpqs()
    {
        const QUrl alice(m_alice);
        const QString host = alice.host(), port = QString::number(alice.port()), db = alice.path().mid(1);
        {
            const LogTaker log;
            const std::unique_ptr<Store> withPassword = OpenStore(withUri(QStringLiteral("alice"), QStringLiteral("alice:S3cretPW")));
            QCOMPARE(withPassword->missingAtStart()->rule, StoreError::Rule::PasswordInUri);
            const Result<DayLoad> refused = withPassword->loadDay(Used, Date);
            QCOMPARE(refused.error->rule, StoreError::Rule::PasswordInUri);
            QCOMPARE(withPassword->name(), QStringLiteral("%1:%2/%3").arg(host, port, db));
            QVERIFY(!log.all().contains(QLatin1String("S3cretPW")));
        }
        const Ran report = runTool(REPORT_PATH, {QStringLiteral("--db"), withUri(QStringLiteral("alice"), QStringLiteral("alice:S3cretPW")),
                                                 QStringLiteral("totals"), QStringLiteral("--from"), QStringLiteral("2024-03-01"),
                                                 QStringLiteral("--to"), QStringLiteral("2024-03-31")});
        QCOMPARE(report.status, 1);
        QVERIFY2(!report.output.contains(QLatin1String("S3cretPW")) && report.output.contains(QLatin1String("~/.pgpass")),
                 qPrintable(report.output));

        // Parameters in the query, and libpq's environment: all of them count.
        const QString query = QStringLiteral("postgresql:///%1?host=%2&port=%3&user=alice").arg(db, host, port);
        QCOMPARE(OpenStore(query)->loadDay(Used, Date).value.items.size(), 1);
        QCOMPARE(OpenStore(query)->name(), QStringLiteral("%1:%2/%3").arg(host, port, db));
        qputenv("PGHOST", host.toUtf8());
        qputenv("PGPORT", port.toUtf8());
        qputenv("PGUSER", "alice");
        const std::unique_ptr<Store> fromEnvironment = OpenStore(QStringLiteral("postgresql:///%1").arg(db));
        const bool loaded = fromEnvironment->loadDay(Used, Date).ok();
        qunsetenv("PGHOST");
        qunsetenv("PGPORT");
        qunsetenv("PGUSER");
        QVERIFY(loaded);
        // An application name is a value, not a way into the session's options.
        // (libpq refuses the unencoded "=" of the value; encoded, it is one value).
        QCOMPARE(OpenStore(m_alice + QStringLiteral("?application_name=x%20options=-csearch_path%3Devil"))
                     ->loadDay(Used, Date)
                     .error->text,
                 QStringLiteral("the database URI does not parse"));
        const QString injected = m_alice + QStringLiteral("?application_name=x%20options%3D-csearch_path%3Devil");
        const Result<DayLoad> injectedLoad = OpenStore(injected)->loadDay(Used, Date);
        QVERIFY2(injectedLoad.ok(), qPrintable(test::why(injectedLoad)));
        QCOMPARE(injectedLoad.value.items.size(), 1);
    }

    // Each cause of a failure told apart, in the store and in the tools.
    void failuresSayTheirCause()
    {
        sql(m_admin, QStringLiteral("DO $$ BEGIN CREATE ROLE carol LOGIN PASSWORD 'not-the-one-in-pgpass' IN ROLE worvane_user; "
                                    "EXCEPTION WHEN duplicate_object THEN NULL; END $$"));
        sql(m_admin, QStringLiteral("DO $$ BEGIN CREATE ROLE dave LOGIN PASSWORD 'secret'; "
                                    "EXCEPTION WHEN duplicate_object THEN NULL; END $$"));
        QVERIFY(OpenStore(test::asPerson(m_alice, QStringLiteral("carol")))->loadDay(Used, Date).failedAs(StoreError::Kind::Authentication));
        QUrl nowhere(m_alice);
        nowhere.setPort(1);
        QVERIFY(OpenStore(nowhere.toString())->loadDay(Used, Date).failedAs(StoreError::Kind::Unreachable));
        const Result<DayLoad> outsider = OpenStore(test::asPerson(m_alice, QStringLiteral("dave")))->loadDay(Used, Date);
        QVERIFY2(outsider.failedAs(StoreError::Kind::Refused), qPrintable(test::why(outsider)));
        QCOMPARE(FailureMessage(*outsider.error, QStringLiteral("h:1/d"), msg::LoadFailed), msg::ServerRefused(QStringLiteral("h:1/d")));

        // Other people's days are a lead's to read: a member is told so.
        const QStringList totals{QStringLiteral("--db"), m_alice, QStringLiteral("totals"), QStringLiteral("--from"),
                                 QStringLiteral("2024-03-01"), QStringLiteral("--to"), QStringLiteral("2024-03-31"),
                                 QStringLiteral("--person")};
        for (const char *person : {"all", "bob"}) {
            const Ran member = runTool(REPORT_PATH, totals + QStringList{QString::fromLatin1(person)});
            QCOMPARE(member.status, 2);
            QVERIFY2(member.output.contains(QStringLiteral("リーダー")), qPrintable(member.output));
        }
        QCOMPARE(runTool(REPORT_PATH, QStringList(totals).replaceInStrings(m_alice, m_lea) << QStringLiteral("all")).status, 0);
        const Ran copy = runTool(COPY_PATH, {m_alice, m_dir.filePath(QStringLiteral("dave.db")), QStringLiteral("--user"),
                                             QStringLiteral("dave")});
        QCOMPARE(copy.status, 2);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("dave.db"))));
    }

    // Set up again, the tool prints its result and nothing else (no server notices).
    void settingUpAgainPrintsOnlyTheResult()
    {
        const Ran again = runTool(NEWDB_PATH, {m_admin});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.output, QStringLiteral("set up %1\n").arg(OpenStore(m_admin)->name()));
    }

    // Someone holds a table locked: the call gives up within its timeout, and the window goes on
    // painting meanwhile.
    // The day loaded as the team sees it: a returned day says its comments at once and takes a save (it is
    // 提出済 again); an approved day is read-only and F1 says why.
    void theMainWindowShowsTheDaysStateAndKeepsAnApprovedDay()
    {
        test::MessageLog log;
        {
            test::Session lead(m_lea);
            QVERIFY2(lead.exec(QStringLiteral("SELECT worvane_review('alice', '2024/03/01', '差戻し', '時間を直して')")),
                     qPrintable(lead.error()));
        }
        const std::unique_ptr<Store> store = OpenStore(m_alice);
        frmWorvane window(Settings{m_dir.filePath(QStringLiteral("Worvane.ini")), m_alice, Used, {}}, *store);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto load = [&] {
            ControlOf<QLineEdit>(window, "txtWKYMD")->setText(Date);
            QTest::mouseClick(ControlOf<QPushButton>(window, "cmdSerch"), Qt::LeftButton);
        };
        auto *status = ControlOf<QLabel>(window, "lblStatus");
        load();
        QCOMPARE(log.count(), 1);
        QVERIFY2(log.last().text.contains(QStringLiteral("差戻し")) && log.last().text.contains(QStringLiteral("時間を直して")),
                 qPrintable(log.last().text));
        QVERIFY2(status->text().startsWith(QStringLiteral("差戻しされた日報です　コメント（lea）: 時間を直して")),
                 qPrintable(status->text()));
        ControlOf<QLineEdit>(window, "txtWSTIME")->setText(QStringLiteral("08:30"));
        log.answer(true);
        QTest::keyClick(ControlOf<QLineEdit>(window, "txtWSTIME"), Qt::Key_F1);
        QCOMPARE(log.last().text, msg::Saved.text);
        QVERIFY2(status->text().startsWith(QStringLiteral("提出済")), qPrintable(status->text()));

        {
            test::Session lead(m_lea);
            QVERIFY(lead.exec(QStringLiteral("SELECT worvane_review('alice', '2024/03/01', '承認', NULL)")));
        }
        log.clear();
        load();
        QCOMPARE(log.count(), 0);
        QVERIFY(ControlOf<QLineEdit>(window, "txtWSTIME")->isReadOnly());
        QVERIFY(!ControlOf<QPushButton>(window, "cmdUpdate")->isEnabled());
        // Its keys' buttons follow: 前回の写し would change it, 履歴 only shows it.
        QVERIFY(!ControlOf<QPushButton>(window, "cmdCopyLast")->isEnabled());
        QVERIFY(ControlOf<QPushButton>(window, "cmdHistory")->isEnabled());
        QVERIFY2(status->text().startsWith(QStringLiteral("承認済の日報です（変更できません）")), qPrintable(status->text()));
        QTest::keyClick(ControlOf<QLineEdit>(window, "txtWSTIME"), Qt::Key_F1);
        QCOMPARE(log.texts(), QStringList{msg::DayLocked.text});
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT wstime FROM df_wktime WHERE wkuser = 'alice'")), QStringLiteral("08:30"));
    }

    // 提出状況: a lead sees every member's row, a member only their own.
    void theTeamsMonthShowsEachPersonsDays()
    {
        {
            test::Session lead(m_lea);
            QVERIFY(lead.exec(QStringLiteral("SELECT worvane_review('alice', '2024/03/01', '承認', NULL)")));
        }
        const auto rows = [](const QString &uri) {
            const std::unique_ptr<Store> store = OpenStore(uri);
            frmSubmission window(*store, DaysOff(), QDate(2024, 3, 15));
            const QAbstractItemModel *model = ControlOf<QTableView>(window, "fgdSTATUS")->model();
            QStringList seen;
            for (int r = 0; r < model->rowCount(); ++r)
                seen << model->index(r, 0).data().toString() + QLatin1Char(' ') + model->index(r, 1).data().toString();
            return seen;
        };
        const QStringList lead = rows(m_lea);
        QVERIFY2(lead.contains(QStringLiteral("alice 承認済")) && lead.contains(QStringLiteral("bob 提出済")) &&
                     lead.contains(QStringLiteral("lea 未入力")),
                 qPrintable(lead.join(u',')));
        QCOMPARE(rows(m_alice), QStringList{QStringLiteral("alice 承認済")});

        // 月を承認, a lead's: bob's submitted days of the month, after the question.
        test::MessageLog log;
        log.answer(true);
        const std::unique_ptr<Store> store = OpenStore(m_lea), member = OpenStore(m_alice);
        frmSubmission window(*store, DaysOff(), QDate(2024, 3, 15));
        auto *grid = ControlOf<QTableView>(window, "fgdSTATUS");
        const QStringList people = {grid->model()->index(0, 0).data().toString(), grid->model()->index(1, 0).data().toString()};
        grid->setCurrentIndex(grid->model()->index(int(people.indexOf(QStringLiteral("bob"))), 1));
        QTest::mouseClick(ControlOf<QPushButton>(window, "cmdApproveMonth"), Qt::LeftButton);
        QCOMPARE(log.last().text, msg::ApprovedDays(1).text);
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT state FROM wv_daystate WHERE wkuser = 'bob'")), QStringLiteral("承認済"));
        frmSubmission own(*member, DaysOff(), QDate(2024, 3, 15));
        QVERIFY(ControlOf<QPushButton>(own, "cmdApproveMonth")->isHidden());
    }

    // 日報参照: a lead reads alice's day and returns it with a comment; alice reads it with no buttons.
    void aLeadReturnsADayFromItsView()
    {
        test::MessageLog log;
        const std::unique_ptr<Store> lead = OpenStore(m_lea), alice = OpenStore(m_alice);
        {
            frmDayView view(*lead, QStringLiteral("alice"), Date, true);
            QVERIFY(ControlOf<QPlainTextEdit>(view, "txtDAY")->toPlainText().contains(QStringLiteral("1 作業")));
            ControlOf<QLineEdit>(view, "txtCOMMENT")->setText(QStringLiteral("直して"));
            QTest::mouseClick(ControlOf<QPushButton>(view, "cmdReturn"), Qt::LeftButton);
            QVERIFY(ControlOf<QPlainTextEdit>(view, "txtCOMMENTS")->toPlainText().contains(QStringLiteral("lea")));
            QVERIFY(ControlOf<QLabel>(view, "lblDay")->text().endsWith(QStringLiteral("差戻し")));
        }
        QCOMPARE(log.count(), 0);
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT state || ' ' || (SELECT body FROM wv_comment) FROM wv_daystate "
                                                "WHERE wkuser = 'alice'")),
                 QStringLiteral("差戻し 直して"));
        frmDayView own(*alice, QStringLiteral("alice"), Date, false);
        QVERIFY(!ControlOf<QPushButton>(own, "cmdApprove"));
        QVERIFY(ControlOf<QPlainTextEdit>(own, "txtCOMMENTS")->toPlainText().contains(QStringLiteral("直して")));
    }

    void aLockedTableNeitherFreezesNorHangs()
    {
        // Two windows hold alice's day, loaded before anyone locks anything: one gives up after a second,
        // the other would wait ten.
        test::MessageLog log;
        Clock::setFixed(QDateTime(QDate(2024, 3, 1), QTime(18, 30, 0)));
        const std::unique_ptr<Store> store = OpenStore(m_alice, 1000), patient = OpenStore(m_alice, 10000);
        const Settings settings{m_dir.filePath(QStringLiteral("Worvane.ini")), m_alice, Used, {}};
        frmWorvane window(settings, *store), other(settings, *patient);
        for (frmWorvane *w : {&other, &window}) {
            w->show();
            QApplication::setActiveWindow(w);
            QVERIFY(QTest::qWaitForWindowActive(w));
            ControlOf<QLineEdit>(*w, "txtWKYMD")->setText(Date);
            QTest::mouseClick(ControlOf<QPushButton>(*w, "cmdSerch"), Qt::LeftButton);
            ControlOf<QLineEdit>(*w, "txtWSTIME")->setText(QStringLiteral("08:30"));
            ControlOf<QLineEdit>(*w, "txtWSTIME")->setFocus();
        }
        QCOMPARE(log.count(), 0);

        test::Session locker(m_bob);
        QVERIFY(locker.exec(QStringLiteral("BEGIN")));
        QVERIFY(locker.exec(QStringLiteral("LOCK TABLE df_wktime IN ACCESS EXCLUSIVE MODE")));

        // The store gives up within its timeout.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(OpenStore(m_alice, 1000)->loadDay(Used, Date).failedAs(StoreError::Kind::TimedOut));
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));

        // F1 while the lock is held: paints go on, the box names the server, nothing typed is lost.
        int ticks = 0, paints = 0;
        struct PaintCounter : QObject {
            int *count = nullptr;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint)
                    ++*count;
                return false;
            }
        } counter;
        counter.count = &paints;
        window.installEventFilter(&counter);
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            ++ticks;
            window.update();
        });
        tick.start(50);
        log.answer(true);
        clock.restart();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        tick.stop();
        Clock::clearFixed();
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(ticks >= 5 && paints >= 5,
                 qPrintable(QStringLiteral("%1 ticks, %2 paints; %3").arg(ticks).arg(paints).arg(log.texts().join(u'|'))));
        QCOMPARE(log.last().text, msg::ServerTimedOut(store->name()).text);
        QVERIFY(store->name().contains(QUrl(m_alice).host()));
        QCOMPARE(ControlOf<QLineEdit>(window, "txtWSTIME")->text(), QStringLiteral("08:30"));

        // The other window's F1: after a second the box; its キャンセル stops the statement on the server.
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        ControlOf<QLineEdit>(other, "txtWSTIME")->setFocus();
        bool boxShown = false;
        QTimer::singleShot(1500, [&] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->objectName() == QLatin1String("dlgWaiting") && top->isVisible()) {
                    boxShown = true;
                    QTest::mouseClick(top->findChild<QPushButton *>(), Qt::LeftButton);
                }
        });
        log.answer(true);
        clock.restart();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QVERIFY(boxShown);
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(log.last().text, msg::Cancelled.text);
        QCOMPARE(scalar(m_admin, QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE usename = 'alice' AND "
                                                "state = 'active'")),
                 QStringLiteral("0"));
    }
};

QTEST_MAIN(TestTeamAttacks)
#include "test_teamattacks.moc"
