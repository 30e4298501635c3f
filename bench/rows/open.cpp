// A window opened from the main window (the project window, the calendar, the search window), to its first
// paint; the floor, a plain dialog with the same controls.
#include "rows.h"

#include "plainwindow.h"
#include "report/frmworvane.h"
#include "widgets/screen.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    // The click or key in the main window that opens a window, timed until that window has painted.
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    WindowPaintWatch watch(QString::fromStdString(c.param));
    for (int run = 0; run <= c.runs; ++run) {
        watch.arm();
        const auto t0 = Clock::now();
        if (c.param == "frmPJViewer")
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdCallPJViewer"), Qt::LeftButton);
        else if (c.param == "frmCalendar")
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdCallCalendar"), Qt::LeftButton);
        else
            QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_F8);
        if (!watch.painted)
            fail("the window " + c.param + " was never painted");
        if (run > 0)
            sample(watch.paintedAt - t0);
        p.messages.expectNone();
        settle();
    }
    check("a window painted");
}

void floor(const Child &c)
{
    // A plain dialog with an empty table, made and shown, timed until it has painted.
    WindowPaintWatch watch(QStringLiteral("floorWindow"));
    for (int run = 0; run <= c.runs; ++run) {
        watch.arm();
        const auto t0 = Clock::now();
        QDialog window;
        window.setObjectName(QStringLiteral("floorWindow"));
        PlainDialog(window, c.param);
        window.show();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!watch.painted && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!watch.painted)
            fail("the floor's window was never painted");
        if (run > 0)
            sample(watch.paintedAt - t0);
        settle();
    }
    check("a window painted");
}

} // namespace

const Row OpenRow{"open", program, floor};

} // namespace bench
