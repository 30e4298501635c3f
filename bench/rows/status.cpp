// 提出状況 as a lead opens it: F12 in the main window, to the grid of every person's month painted; the floor,
// a window with the same grid from two SELECTs through libpq in a plain table.
#include "rows.h"

#include "report/frmworvane.h"
#include "widgets/screen.h"

#include <QLineEdit>
#include <QTest>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    settle(); // the days not entered, read once the window is up
    p.messages.expectNone();
    ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromStdString(c.param + "/15"));
    keyToGridPainted(w, p.messages, c.runs, Qt::Key_F12, QStringLiteral("fgdSTATUS"));
}

void floor(const Child &c)
{
    Rows grid;
    floorRuns(
        c, "提出状況 failed", [&] { return TeamFloorSubmission(c.dataset, c.param, grid); }, bare,
        [&] { grid.clear(); });
    openedRuns(c, [&](Rows &shown) { return TeamFloorSubmission(c.dataset, c.param, shown); });
    check(gridCheck(grid));
}

} // namespace

const Row StatusRow{"status", program, floor};

} // namespace bench
