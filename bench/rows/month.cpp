// The month view: F7 in the main window, to the month window's grid painted; the floor, a window opened with
// one SELECT of the month's days in a plain table.
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
    // F7 in the main window holding a date of the month; timed until the month window's grid has
    // painted, then the window is closed, which ends the key press.
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromStdString(c.param + "/15"));
    keyToGridPainted(w, p.messages, c.runs, Qt::Key_F7, QStringLiteral("fgdMONTH"));
}

void floor(const Child &c)
{
    std::vector<std::vector<std::string>> grid;
    floorRuns(
        c, "month failed", [&] { return FloorMonthGrid(c.dataset, c.param, grid); }, bare,
        [&] { grid.clear(); });
    openedRuns(c, [&](Rows &shown) { return FloorMonthGrid(c.dataset, c.param, shown); });
    check(gridCheck(grid));
}

} // namespace

const Row MonthRow{"month", program, floor};

} // namespace bench
