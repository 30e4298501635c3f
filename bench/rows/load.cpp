// A day looked up in the main window (検索), to its items painted; the floor, the two SELECTs into a plain
// table. The day is the 99-item day, on the date given (the team database's copy of it beside another
// person's items) or its own.
#include "rows.h"

#include "report/frmworvane.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    ControlOf<QLineEdit>(w, "txtPJCODE")->setText(QString::fromLatin1(Dataset::BigDayCode));
    ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromStdString(c.param.empty() ? Dataset::BigDayDate : c.param));
    for (int run = 0; run <= c.runs; ++run) {
        PaintWatch watch(ControlOf<FlexGrid>(w, "fgdWKCONT")->viewport());
        const auto t0 = Clock::now();
        QTest::mouseClick(ControlOf<QPushButton>(w, "cmdSerch"), Qt::LeftButton);
        waitForPaint(watch, 0);
        const auto took = Clock::now() - t0;
        if (run > 0)
            sample(took);
        p.messages.expectNone();
        settle();
    }
    check(ControlOf<QLineEdit>(w, "txtWSTIME")->text().toStdString() + "-" +
          ControlOf<QLineEdit>(w, "txtWETIME")->text().toStdString() + " " +
          gridDigest(ControlOf<FlexGrid>(w, "fgdWKCONT"), 0));
    if (std::getenv("WORVANE_BENCH_PARTS")) {
        // Where the time goes: the store calls alone, the click alone, the paint alone.
        const QString code = ControlOf<QLineEdit>(w, "txtPJCODE")->text(),
                      date = ControlOf<QLineEdit>(w, "txtWKYMD")->text();
        std::vector<double> lookup, load, click, paint;
        auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
        for (int run = 0; run < c.runs; ++run) {
            auto t0 = Clock::now();
            p.store->lookupProjectName(code);
            auto t1 = Clock::now();
            p.store->loadDay(code, date);
            auto t2 = Clock::now();
            PaintWatch watch(ControlOf<FlexGrid>(w, "fgdWKCONT")->viewport());
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdSerch"), Qt::LeftButton);
            auto t3 = Clock::now();
            waitForPaint(watch, 0);
            auto t4 = Clock::now();
            lookup.push_back(ms(t1 - t0));
            load.push_back(ms(t2 - t1));
            click.push_back(ms(t3 - t2));
            paint.push_back(ms(t4 - t3));
            settle();
        }
        for (auto *v : {&lookup, &load, &click, &paint})
            std::sort(v->begin(), v->end());
        std::fprintf(stderr, "parts: lookup %.3f load %.3f click %.3f paint %.3f ms\n",
                     lookup[lookup.size() / 2], load[load.size() / 2], click[click.size() / 2],
                     paint[paint.size() / 2]);
    }
}

void floor(const Child &c)
{
    const std::string code = Dataset::BigDayCode, date = c.param.empty() ? Dataset::BigDayDate : c.param;
    Day day;
    const auto load = isServer(c.dataset) ? TeamFloorLoadDay : FloorLoadDay;
    floorRuns(
        c, "load failed", [&] { return load(c.dataset, code, date, day); }, bare, [&] { day = {}; });
    shownRuns(c, [&](Rows &shown) {
        Day read;
        if (!load(c.dataset, code, date, read))
            return false;
        for (Item &item : read.items)
            shown.push_back({std::move(item.code), std::move(item.head), std::move(item.detail)});
        return true;
    });
    unsigned long long h = Digest("");
    for (const Item &item : day.items)
        h = Digest(item.code + '\t' + item.head + '\t' + item.detail + '\t', h);
    check(day.start + "-" + day.end + " " + std::to_string(day.items.size()) + " rows " + hex(h));
}

} // namespace

const Row LoadRow{"load", program, floor};

} // namespace bench
