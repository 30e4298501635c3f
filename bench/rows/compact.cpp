// Compaction at exit: 閉じる in the main window, then what the program does on its way out; the floor, a raw
// VACUUM of the same file.
#include "rows.h"

#include "app/startup.h"
#include "report/frmworvane.h"
#include "widgets/screen.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    std::string db;
    for (int run = 0; run < c.runs; ++run) {
        db = workingCopy(c, "compact-program.db");
        p.open(db);
        frmWorvane w(p.settings, *p.store);
        showWindow(&w);
        // Closing the window ends the event loop; the compaction runs on the way out.
        timed([&] {
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdClose"), Qt::LeftButton);
            CompactMdb(*p.store);
        });
        p.messages.expectNone();
        if (w.isVisible() || QFile::exists(p.settings.databasePath + QStringLiteral("TEMP.mdb")))
            fail("the window did not close cleanly");
    }
    checkCompacted(db);
}

void floor(const Child &c)
{
    QWidget window;
    showPlainMainWindow(window, {});
    std::string db;
    for (int run = 0; run < c.runs; ++run) {
        db = workingCopy(c, "compact-floor.db");
        bool ok = false;
        timed([&] { ok = FloorCompact(db); });
        if (!ok)
            fail("compaction failed");
    }
    checkCompacted(db);
}

} // namespace

const Row CompactRow{"compact", program, floor};

} // namespace bench
