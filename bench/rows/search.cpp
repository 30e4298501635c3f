// The project search: 検索 in the project window over every project, to the first page painted and on until
// every project is listed; the floor, the same SELECT into a plain table.
#include "rows.h"

#include "project/frmpjviewer.h"
#include "report/frmworvane.h"
#include "widgets/flexgrid.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <utility>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    // Timed to the first page painted; then on until every project is listed, taking the events as
    // they come, as the window's own loop would.
    const long all = FloorProjectCount(c.dataset);
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    for (int run = 0; run <= c.runs; ++run) {
        frmPJViewer viewer(*p.store, &w);
        showWindow(&viewer);
        auto *list = viewer.findChild<FlexGrid *>(QStringLiteral("fgdPRJMST"));
        PaintWatch watch(list->viewport());
        const auto t0 = Clock::now();
        QTest::mouseClick(viewer.findChild<QPushButton *>(QStringLiteral("cmdSerch")), Qt::LeftButton);
        waitForPaint(watch, 0);
        const auto first = Clock::now() - t0;
        Clock::duration longest{};
        while (list->model()->rowCount() < all) {
            const auto turn = Clock::now();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longest = std::max(longest, Clock::now() - turn);
            if (Clock::now() - t0 > std::chrono::seconds(60))
                fail("the list never held every project");
        }
        const auto every = Clock::now() - t0;
        if (run > 0) { // the first run warms up
            sample(first);
            listed(every);
            stalled(longest);
        }
        p.messages.expectNone();
        if (run == c.runs)
            check(gridDigest(list, 1));
    }
}

void floor(const Child &c)
{
    // The first page alone, then shown; then every row shown, read in one statement.
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    const auto page = [&](Rows &shown, int limit) {
        Pairs rows;
        if (!FloorProjectSearch(c.dataset, rows, limit))
            return false;
        shown.reserve(rows.size());
        for (auto &[pjcode, name] : rows)
            shown.push_back({std::move(pjcode), std::move(name)});
        return true;
    };
    Pairs last;
    floorRuns(
        c, "search failed", [&] { return FloorProjectSearch(c.dataset, last, frmPJViewer::FirstPageRows); },
        bare, [&] { last.clear(); });
    shownRuns(c, [&](Rows &shown) { return page(shown, frmPJViewer::FirstPageRows); });
    shownRuns(
        c, [&](Rows &shown) { return page(shown, 0); }, listed);
    last.clear();
    if (!FloorProjectSearch(c.dataset, last))
        fail("search failed");
    unsigned long long h = Digest("");
    for (const auto &[pjcode, name] : last)
        h = Digest(pjcode + '\t' + name + '\t', h);
    check(std::to_string(last.size()) + " rows " + hex(h));
}

} // namespace

const Row SearchRow{"search", program, floor};

} // namespace bench
