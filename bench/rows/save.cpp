// The day of 99 items saved (更新, the question answered Yes); the floor, one raw transaction of the same
// statements, or the original's way of one autocommit statement per item.
#include "rows.h"

#include "core/messages.h"
#include "report/frmworvane.h"
#include "widgets/screen.h"

#include <QPushButton>
#include <QTest>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    // A file is saved in a copy; the team database's day is saved over with the same day.
    const std::string db = isServer(c.dataset) ? c.dataset : workingCopy(c, "save-program.db");
    p.open(db);
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    loadBigDay(w, p.messages);
    for (int run = 0; run <= c.runs; ++run) {
        const auto t0 = Clock::now();
        QTest::mouseClick(ControlOf<QPushButton>(w, "cmdUpdate"), Qt::LeftButton);
        const auto took = Clock::now() - t0;
        if (run > 0)
            sample(took);
        p.messages.expect(MessageKind::Information, msg::Saved.text, true);
        settle();
    }
    check(dayCheck(db));
}

void floor(const Child &c)
{
    const std::string code = Dataset::BigDayCode, date = Dataset::BigDayDate;
    const std::string db = isServer(c.dataset) ? c.dataset : workingCopy(c, "save-" + c.side + ".db");
    Day day;
    if (!(isServer(db) ? TeamFloorLoadDay : FloorLoadDay)(db, code, date, day))
        fail("cannot read the day");
    const auto save = isServer(db) ? TeamFloorSaveDay : c.side == "original" ? OriginalSaveDay : FloorSaveDay;
    QWidget window;
    showPlainMainWindow(window, day);
    std::string stamp;
    floorRuns(
        c, "save failed", [&] { return save(db, code, date, day, stamp); }, sample,
        [&] {
            window.repaint();
            stamp = timestampNow();
        });
    check(dayCheck(db));
}

} // namespace

const Row SaveRow{"save", program, floor};

} // namespace bench
