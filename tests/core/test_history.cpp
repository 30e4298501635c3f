#include "core/history.h"

#include <QTest>

using namespace worvane;

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // What a version keeps reads back the same, whatever its texts hold; a text that is not a list of
    // items reads as none.
    void itemsReadBackAsKept()
    {
        const QList<WorkItem> items{{QStringLiteral("1"), QStringLiteral("\"引用\" と \\"), QStringLiteral("行1\r\n行2\t𠀋")},
                                    {QStringLiteral("05"), QString(), QString()}};
        QCOMPARE(ItemsFromJson(ItemsJson(items)), items);
        QCOMPARE(ItemsFromJson(ItemsJson({})), QList<WorkItem>());
        QCOMPARE(ItemsFromJson("not json"), QList<WorkItem>());
        // As a server's jsonb prints it: spaces after the separators.
        QCOMPARE(ItemsFromJson(R"([["1", "t", "d"]])"), (QList<WorkItem>{{"1", "t", "d"}}));
    }

    // The screen against a version: times, then the screen's items by number, then the version's items
    // the screen no longer has; a number twice pairs in order.
    void theScreenIsComparedByItemNumber()
    {
        using Change = VersionLine::Change;
        const DayVersion version{{}, {}, QStringLiteral("09:00"), QStringLiteral("18:00"),
                                 {{"1", "朝会", "d"}, {"2", "設計", "d"}, {"3", "試験", "d"}, {"4", "a", "x"}, {"4", "b", "y"}}};
        const QList<WorkItem> screen{{"2", "設計", "changed"}, {"1", "朝会", "d"}, {"4", "b", "y"}, {"9", "new", ""}};
        const QList<VersionLine> lines = CompareWithScreen(version, QStringLiteral("09:00"), QString(), screen);
        QCOMPARE(lines, (QList<VersionLine>{{"開始", "09:00", "09:00", Change::Same},
                                            {"終了", "18:00", "", Change::Changed},
                                            {"2", "設計", "設計", Change::Changed},
                                            {"1", "朝会", "朝会", Change::Same},
                                            {"4", "a", "b", Change::Changed},
                                            {"9", "", "new", Change::Added},
                                            {"3", "試験", "", Change::Removed},
                                            {"4", "b", "", Change::Removed}}));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
