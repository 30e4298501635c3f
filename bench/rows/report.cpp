// The report file of the 99-item day written (出力); the floor, the same text in CP932 written the plainest
// whole way.
#include "rows.h"

#include "app/savefiledialog.h"
#include "core/cp932.h"
#include "core/messages.h"
#include "report/frmworvane.h"
#include "report/reportfile.h"
#include "widgets/screen.h"

#include <QPushButton>
#include <QTest>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    const std::string file = c.work + "/report-program.txt";
    SaveFileDialog::setHandler([&](const SaveDialogRequest &) { return QString::fromStdString(file); });
    frmWorvane w(p.settings, *p.store);
    showWindow(&w);
    loadBigDay(w, p.messages);
    for (int run = 0; run <= c.runs; ++run) {
        const auto t0 = Clock::now();
        QTest::mouseClick(ControlOf<QPushButton>(w, "cmdOutput"), Qt::LeftButton);
        const auto took = Clock::now() - t0;
        if (run > 0)
            sample(took);
        p.messages.expect(MessageKind::Information, msg::ReportWritten.text);
        settle();
    }
    const std::string bytes = readFile(file);
    check(std::to_string(bytes.size()) + " bytes " + hex(Digest(bytes)));
}

void floor(const Child &c)
{
    const std::string code = Dataset::BigDayCode, date = Dataset::BigDayDate;
    Day day;
    if (!FloorLoadDay(c.dataset, code, date, day))
        fail("cannot read the day");
    QList<WorkItem> items;
    for (const Item &item : day.items)
        items.append(WorkItem{QString::fromStdString(item.code), QString::fromStdString(item.head),
                              QString::fromStdString(item.detail)});
    QWidget window;
    showPlainMainWindow(window, day);
    const std::string file = c.work + "/report-floor.txt";
    // The report's text made from the items and converted to CP932, as each click does, then written;
    // the window repainted between runs, as the program's is after each click.
    floorRuns(
        c, "write failed",
        [&] {
            const QByteArray encoded =
                ToCp932(BuildReportText(QString::fromStdString(date), QString::fromStdString(day.start),
                                        QString::fromStdString(day.end), items));
            return FloorWriteFile(file, std::string(encoded.constData(), size_t(encoded.size())));
        },
        sample, [&] { window.repaint(); });
    const std::string written = readFile(file);
    check(std::to_string(written.size()) + " bytes " + hex(Digest(written)));
}

} // namespace

const Row ReportRow{"report", program, floor};

} // namespace bench
