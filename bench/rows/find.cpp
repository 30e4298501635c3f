// A full-text search: Enter in the search window's query field, to the first page of hits painted; the
// floor, the store's statements for the page into a plain table.
#include "rows.h"

#include "models/searchmodel.h"
#include "search/frmsearch.h"

#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    // Enter in the query field of the search window, timed until the hit list has painted.
    frmSearch w(*p.store);
    showWindow(&w);
    auto *query = w.findChild<QLineEdit *>(QStringLiteral("txtQUERY"));
    auto *list = w.findChild<QTableView *>(QStringLiteral("fgdRESULT"));
    query->setText(QString::fromStdString(c.param));
    for (int run = 0; run <= c.runs; ++run) {
        query->setFocus();
        settle();
        PaintWatch watch(list->viewport());
        // The search runs beside the window: timed until its last page is in the list and painted.
        int paintsBefore = -1;
        const QMetaObject::Connection shown = QObject::connect(&w, &frmSearch::pageShown, [&] {
            if (!w.searching())
                paintsBefore = watch.count;
        });
        const auto t0 = Clock::now();
        QTest::keyClick(query, Qt::Key_Return);
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (paintsBefore < 0 && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        QObject::disconnect(shown);
        waitForPaint(watch, std::max(0, paintsBefore));
        const auto took = Clock::now() - t0;
        if (run > 0)
            sample(took);
        p.messages.expectNone();
    }
    const auto *model = qobject_cast<const SearchModel *>(list->model());
    std::vector<Hit> hits;
    for (int r = 0; r < model->rowCount(); ++r) {
        const SearchHit &hit = model->at(r);
        hits.push_back({hit.date.toStdString(), hit.code.toStdString(), hit.name.toStdString(),
                        hit.itemCode.toStdString(), hit.head.toStdString()});
    }
    check(hitsCheck(hits));
}

void floor(const Child &c)
{
    std::vector<Hit> hits;
    const auto page = [&c](std::vector<Hit> &into) {
        return isServer(c.dataset) ? TeamFloorSearchPage(c.dataset, c.param, into)
                                   : FloorSearchPage(c.dataset, c.param, into);
    };
    floorRuns(
        c, "search failed", [&] { return page(hits); }, bare, [&] { hits.clear(); });
    shownRuns(c, [&](Rows &shown) {
        std::vector<Hit> page1;
        if (!page(page1))
            return false;
        for (Hit &hit : page1)
            shown.push_back({std::move(hit.date), std::move(hit.code), std::move(hit.name),
                             std::move(hit.item), std::move(hit.head)});
        return true;
    });
    check(hitsCheck(hits));
}

} // namespace

const Row FindRow{"find", program, floor};

} // namespace bench
