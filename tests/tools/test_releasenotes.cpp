#include "releasenotes.h"
#include "testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace worvane::release;

class TestReleaseNotes : public QObject
{
    Q_OBJECT

private slots:
    void readsReleasesNewestFirstWithoutUnreleased()
    {
        const Changelog log = ParseChangelog(QStringLiteral("# Changelog\n"
                                                            "Intro text, - not an item.\n"
                                                            "## Unreleased\n"
                                                            "- not yet\n"
                                                            "## 0.2.0 - 2027-01-05\r\n"
                                                            "- Two lines\r\n"
                                                            "  of `one` item.\n"
                                                            "\n"
                                                            "- Another.\n"
                                                            "## 0.1.0 - 2026-12-08\n"
                                                            "- First.\n"));
        QCOMPARE(log.error, QString());
        QCOMPARE(log.releases.size(), 2);
        QCOMPARE(log.releases[0].version, QStringLiteral("0.2.0"));
        QCOMPARE(log.releases[0].date, QStringLiteral("2027-01-05"));
        QCOMPARE(log.releases[0].items, (QStringList{"Two lines of one item.", "Another."}));
        QCOMPARE(log.releases[1].items, QStringList{"First."});
    }

    void refusesWhatBreaksTheForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("no date") << "## 0.1.0\n- a\n"
                                 << "line 1: a release heading";
        QTest::newRow("no such date") << "## 0.1.0 - 2026-02-30\n- a\n"
                                      << "line 1: a release heading";
        QTest::newRow("loose text") << "## 0.1.0 - 2026-12-08\n- a\nmore\n"
                                    << "line 3: a release holds only";
        QTest::newRow("indented after a gap") << "## 0.1.0 - 2026-12-08\n- a\n\n  b\n"
                                              << "line 4: ";
        QTest::newRow("no items") << "## 0.2.0 - 2027-01-01\n\n## 0.1.0 - 2026-12-08\n- a\n"
                                  << "line 1: a release without items";
        QTest::newRow("oldest first") << "## 0.1.0 - 2026-12-08\n- a\n## 0.2.0 - 2027-01-01\n- b\n"
                                      << "line 3: the releases are not newest first";
        QTest::newRow("twice") << "## 0.1.0 - 2026-12-08\n- a\n## 0.1.0 - 2026-12-01\n- b\n"
                               << "line 3: 0.1.0 is there twice";
        QTest::newRow("unreleased below") << "## 0.1.0 - 2026-12-08\n- a\n## Unreleased\n- b\n"
                                          << "line 3: \"## Unreleased\" comes before";
        QTest::newRow("none") << "# Changelog\n## Unreleased\n- b\n"
                              << "no release";
    }
    void refusesWhatBreaksTheForm()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        const Changelog log = ParseChangelog(text);
        QVERIFY2(log.error.contains(error), qPrintable(log.error));
        QVERIFY(log.releases.isEmpty());
    }

    // Lines of at most 80 columns, East Asian characters counting two: broken at spaces where one fits,
    // else between wide characters, never before a closing mark.
    void debianChangelogWrapsItsItems()
    {
        const QList<Release> releases{
            {QStringLiteral("0.2.0"),
             QStringLiteral("2027-01-05"),
             {QStringLiteral("A fairly long English item that has to go on over a second line of the "
                             "changelog, at a space."),
              QStringLiteral(
                  "全文検索の索引はデータベースファイルの中に初めて検索画面を開いたときに作ります。"
                  "大きなファイルでは進み具合を表示します。")}},
            {QStringLiteral("0.1.0"), QStringLiteral("2026-12-08"), {QStringLiteral("First.")}}};
        QCOMPARE(DebianChangelog(releases, QStringLiteral("worvane"), QStringLiteral("W <dev@worvane.org>")),
                 QStringLiteral(
                     "worvane (0.2.0) unstable; urgency=medium\n"
                     "\n"
                     "  * A fairly long English item that has to go on over a second line of the\n"
                     "    changelog, at a space.\n"
                     "  * 全文検索の索引はデータベースファイルの中に初めて検索画面を開いたときに作りま\n"
                     "    す。大きなファイルでは進み具合を表示します。\n"
                     "\n"
                     " -- W <dev@worvane.org>  Tue, 05 Jan 2027 00:00:00 +0000\n"
                     "\n"
                     "worvane (0.1.0) unstable; urgency=medium\n"
                     "\n"
                     "  * First.\n"
                     "\n"
                     " -- W <dev@worvane.org>  Tue, 08 Dec 2026 00:00:00 +0000\n"));
    }

    void templateGetsTheNewestReleaseAndEscapedNotes()
    {
        const QList<Release> releases{
            {QStringLiteral("1.0.0"), QStringLiteral("2027-03-01"), {QStringLiteral("CSV & <xlsx>")}}};
        QCOMPARE(FillTemplate(QStringLiteral(".TH X 1 @DATE@ \"Worvane @VERSION@\"\n@RELEASES@\n"), releases),
                 QStringLiteral(".TH X 1 2027-03-01 \"Worvane 1.0.0\"\n"
                                "  <releases>\n"
                                "    <release version=\"1.0.0\" date=\"2027-03-01\">\n"
                                "      <description>\n"
                                "        <ul>\n"
                                "          <li>CSV &amp; &lt;xlsx&gt;</li>\n"
                                "        </ul>\n"
                                "      </description>\n"
                                "    </release>\n"
                                "  </releases>\n"));
    }

    // The build stops when the project's version has no entry, and leaves no file behind.
    void toolRefusesAVersionWithoutItsEntry()
    {
        QTemporaryDir dir;
        const QString changelog = dir.filePath(QStringLiteral("CHANGELOG.md"));
        worvane::test::writeBytes(changelog, "## 0.1.0 - 2026-12-08\n- First.\n");
        const QString out = dir.filePath(QStringLiteral("changelog"));
        const auto run = [&](const QString &version, QString *err) {
            QProcess tool;
            tool.start(QStringLiteral(CHANGELOG_TOOL),
                       {changelog, version, QStringLiteral("debian"), QStringLiteral("worvane"),
                        QStringLiteral("W <dev@worvane.org>"), out});
            tool.waitForFinished(30000);
            *err = QString::fromUtf8(tool.readAllStandardError());
            return tool.exitCode();
        };
        QString err;
        QCOMPARE(run(QStringLiteral("0.2.0"), &err), 1);
        QVERIFY2(err.contains(QStringLiteral("the newest release")), qPrintable(err));
        QVERIFY(!QFileInfo::exists(out));
        QCOMPARE(run(QStringLiteral("0.1.0"), &err), 0);
        QVERIFY(worvane::test::readBytes(out).startsWith("worvane (0.1.0) unstable"));
    }
};

QTEST_GUILESS_MAIN(TestReleaseNotes)
#include "test_releasenotes.moc"
