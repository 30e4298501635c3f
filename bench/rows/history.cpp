// 履歴 of the 99-item day saved ten times: F10 in the main window, to the version beside the screen painted;
// the floor, one SELECT of the versions and the newest one's items beside the day, in two plain tables.
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
const int Saves = 10;

void program(Program &p, const Child &c)
{
    const std::string db = workingCopy(c, "history-program.db");
    p.open(db);
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    for (int save = 0; save < Saves; ++save) {
        loadBigDay(w, p.messages);
        QTest::mouseClick(ControlOf<QPushButton>(w, "cmdUpdate"), Qt::LeftButton);
        p.messages.expect(MessageKind::Information, msg::Saved.text, true);
    }
    loadBigDay(w, p.messages);
    settle();
    keyToGridPainted(w, p.messages, c.runs, Qt::Key_F10, QStringLiteral("fgdDIFF"));
}

void floor(const Child &c)
{
    const std::string code = Dataset::BigDayCode, date = Dataset::BigDayDate;
    const std::string db = workingCopy(c, "history-floor.db");
    Day day;
    if (!FloorLoadDay(db, code, date, day))
        fail("cannot read the day");
    for (int save = 0; save < Saves; ++save)
        if (!FloorSaveDay(db, code, date, day, timestampNow()))
            fail("cannot save the day");
    Rows lines;
    for (int run = 0; run <= c.runs; ++run) {
        const auto t0 = Clock::now();
        QDialog window;
        auto *versionsView = new QTableView(&window), *linesView = new QTableView(&window);
        PlainModel versionsModel, linesModel;
        versionsView->setModel(&versionsModel);
        linesView->setModel(&linesModel);
        window.resize(840, 440);
        versionsView->setGeometry(7, 28, 380, 360);
        linesView->setGeometry(394, 28, 439, 360);
        PaintWatch watch(linesView->viewport());
        Rows versions;
        lines.clear();
        if (!FloorHistory(db, code, date, day, versions, lines))
            fail("reading the versions failed");
        versionsModel.setRows(versions);
        linesModel.setRows(lines);
        versionsView->resizeColumnsToContents();
        window.show();
        waitForPaint(watch, 0);
        if (run > 0)
            sample(Clock::now() - t0);
        window.close();
        settle();
    }
    check(gridCheck(lines));
}

} // namespace

const Row HistoryRow{"history", program, floor};

} // namespace bench
