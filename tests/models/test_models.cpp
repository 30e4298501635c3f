// The work-item and project models under Qt's model tester, and the work-item list's operations.

#include "models/projectmodel.h"
#include "models/submissionmodel.h"
#include "models/workitemmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace worvane;

namespace
{
WorkItem item(const char *code, const char *head = "作業", const char *detail = "内容")
{
    return WorkItem{QString::fromUtf8(code), QString::fromUtf8(head), QString::fromUtf8(detail)};
}

QStringList codes(const WorkItemModel &model)
{
    QStringList result;
    for (const WorkItem &i : model.items())
        result << i.code;
    return result;
}

QString shown(const QAbstractItemModel &model, int row, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(row, column), role).toString();
}
} // namespace

class TestModels : public QObject
{
    Q_OBJECT

private slots:
    // Every change of the list under the tester, which checks the signals and indexes of each.
    void workItemsPassTheModelTester()
    {
        WorkItemModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setItems({item("1"), item("2"), item("3")});
        model.add(item("4"));
        model.replace(1, item("2", "改", "行1\r\n行2"));
        model.remove(0);
        model.remove(2);
        model.clear();
        model.add(item("9"));
        QCOMPARE(codes(model), QStringList{"9"});
    }

    void projectsPassTheModelTester()
    {
        ProjectModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setProjects({{"A1", "甲"}, {"B2", QString()}});
        QCOMPARE(model.rowCount(), 2);
        model.setProjects({});
        QVERIFY(model.isEmpty());
    }

    void numberSearch_data()
    {
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");

        QTest::newRow("empty list") << QStringList() << "1" << -1 << -1;
        QTest::newRow("once") << QStringList{"1", "2", "3"} << "2" << 1 << 1;
        QTest::newRow("5 is not 05") << QStringList{"05", "1"} << "5" << -1 << -1;
        QTest::newRow("05 is not 5") << QStringList{"5", "1"} << "05" << -1 << -1;
        QTest::newRow("05 among 5s") << QStringList{"5", "05", "5"} << "05" << 1 << 1;
        QTest::newRow("duplicates: first and last") << QStringList{"7", "3", "7", "7", "1"} << "7" << 0 << 3;
        QTest::newRow("blanks count") << QStringList{" 1", "1"} << "1" << 1 << 1;
    }

    void numberSearch()
    {
        QFETCH(QStringList, numbers);
        QFETCH(QString, wanted);
        QFETCH(int, first);
        QFETCH(int, last);
        WorkItemModel model;
        QList<WorkItem> items;
        for (const QString &n : numbers)
            items << WorkItem{n, QStringLiteral("t"), QStringLiteral("d")};
        model.setItems(items);
        QCOMPARE(model.firstRowOf(wanted), first);
        QCOMPARE(model.lastRowOf(wanted), last);
    }

    void addReplaceRemoveKeepListOrder()
    {
        WorkItemModel model;
        QCOMPARE(model.add(item("3")), 0);
        QCOMPARE(model.add(item("1")), 1);
        QCOMPARE(model.add(item("2")), 2);
        QCOMPARE(codes(model), (QStringList{"3", "1", "2"})); // appended, never sorted

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.replace(1, item("1", "新しい題", "新しい内容"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.at(1), item("1", "新しい題", "新しい内容"));
        QCOMPARE(shown(model, 1, WorkItemModel::Title), QStringLiteral("新しい題"));

        model.remove(0);
        QCOMPARE(codes(model), (QStringList{"1", "2"}));
        // Rows outside the list are left alone.
        model.remove(5);
        model.replace(-1, item("x"));
        QCOMPARE(codes(model), (QStringList{"1", "2"}));
        model.clear();
        QVERIFY(model.isEmpty());
    }

    void cellsShowTheFirstLine_data()
    {
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QVariant>("toolTip");

        QTest::newRow("one line") << "一行" << "一行" << QVariant();
        QTest::newRow("CR LF") << "一行目\r\n二行目" << "一行目…" << QVariant("一行目\n二行目");
        QTest::newRow("three lines") << "a\r\nb\r\nc" << "a…" << QVariant("a\nb\nc");
        QTest::newRow("line break first") << "\r\nb"
                                          << "…" << QVariant("\nb");
        QTest::newRow("bare LF") << "a\nb"
                                 << "a…" << QVariant("a\nb");
    }

    void cellsShowTheFirstLine()
    {
        QFETCH(QString, detail);
        QFETCH(QString, display);
        QFETCH(QVariant, toolTip);
        WorkItemModel model;
        model.add(WorkItem{QStringLiteral("1"), QStringLiteral("題"), detail});
        QCOMPARE(shown(model, 0, WorkItemModel::Detail), display);
        const QVariant tip = model.data(model.index(0, WorkItemModel::Detail), Qt::ToolTipRole);
        QCOMPARE(tip.isValid(), toolTip.isValid());
        if (toolTip.isValid())
            QCOMPARE(tip.toString(), toolTip.toString());
        // The value itself keeps its CR LF.
        QCOMPARE(model.at(0).detail, detail);
    }

    void headersAndFixedColumn()
    {
        WorkItemModel items;
        ProjectModel projects;
        const QList<std::pair<const QAbstractItemModel *, QStringList>> cases{
            {&items, {"項目", "作業項目", "作業内容"}}, {&projects, {"行数", "PJコード", "PJ名称"}}};
        for (const auto &[model, titles] : cases) {
            QCOMPARE(model->columnCount(), 3);
            for (int c = 0; c < 3; ++c) {
                QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), titles.at(c));
                QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
                         Qt::Alignment(Qt::AlignCenter));
            }
        }
        items.add(item("1"));
        projects.setProjects({{"A1", "甲"}});
        for (const QAbstractItemModel *model : {static_cast<const QAbstractItemModel *>(&items),
                                                static_cast<const QAbstractItemModel *>(&projects)}) {
            QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsSelectable));
            QVERIFY(model->flags(model->index(0, 1)) & Qt::ItemIsSelectable);
            QVERIFY(!(model->flags(model->index(0, 2)) & Qt::ItemIsEditable));
        }
    }

    // Row numbers, plain decimal and not a 16-bit counter; a missing name shows empty.
    void projectRowsAreNumbered()
    {
        QList<ProjectRow> rows;
        for (int i = 0; i < 32800; ++i)
            rows.append({QStringLiteral("X%1").arg(i), QString()});
        rows[0].name = QStringLiteral("甲");
        ProjectModel model;
        model.setProjects(ProjectRows(rows));
        QCOMPARE(shown(model, 0, ProjectModel::RowNumber), QStringLiteral("1"));
        QCOMPARE(shown(model, 0, ProjectModel::Code), QStringLiteral("X0"));
        QCOMPARE(shown(model, 0, ProjectModel::Name), QStringLiteral("甲"));
        QCOMPARE(shown(model, 1, ProjectModel::Name), QString());
        QCOMPARE(shown(model, 32799, ProjectModel::RowNumber), QStringLiteral("32800"));
        QCOMPARE(model.at(32799).code, QStringLiteral("X32799"));
    }

    // 提出状況: each person's days of the month (states first, then 未入力 for a working day before today not
    // saved), nothing on days off or days to come, and the counts; a file's days come unnamed, without a state.
    void submissionsShowEachPersonsMonth()
    {
        SubmissionModel model;
        QAbstractItemModelTester tester(&model);
        const DaysOff off({{QDate(2026, 11, 3), QStringLiteral("文化の日")}});
        model.setMonth(QDate(2026, 11, 20), {QStringLiteral("alice"), QStringLiteral("bob")},
                       {{QStringLiteral("alice"), QStringLiteral("2026/11/02"), QStringLiteral("承認済")},
                        {QStringLiteral("bob"), QStringLiteral("2026/11/02"), QString()},
                        {QStringLiteral("bob"), QStringLiteral("2026/11/04"), QStringLiteral("差戻し")}},
                       off, QDate(2026, 11, 5));
        const auto day = [&model](int row, int d) {
            return model.index(row, SubmissionModel::FirstDay + d - 1).data().toString();
        };
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 1 + 30 + 4);
        QCOMPARE((QStringList{day(0, 1), day(0, 2), day(0, 3), day(0, 4), day(0, 5)}),
                 (QStringList{QString(), QStringLiteral("承認済"), QString(), QStringLiteral("未入力"), QString()}));
        QCOMPARE((QStringList{day(1, 2), day(1, 4)}), (QStringList{QString(), QStringLiteral("差戻し")}));
        const int counts = model.firstCount();
        QCOMPARE((QStringList{model.index(0, counts).data().toString(), model.index(0, counts + 2).data().toString(),
                              model.index(1, counts + 3).data().toString()}),
                 (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")}));
        QCOMPARE(model.headerData(SubmissionModel::FirstDay + 2, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QStringLiteral("文化の日"));
        // A file: one unnamed person, whose saved days come unnamed.
        model.setMonth(QDate(2026, 11, 1), {QString()}, {{QString(), QStringLiteral("2026/11/02"), QString()}}, off,
                       QDate(2026, 11, 5));
        QCOMPARE(model.index(0, SubmissionModel::Person).data().toString(), QStringLiteral("自分"));
        QCOMPARE((QStringList{day(0, 2), day(0, 4)}), (QStringList{QString(), QStringLiteral("未入力")}));
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "test_models.moc"
