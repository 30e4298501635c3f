// The rows of worvane-report: totals over five years, one year exported to CSV and to .xlsx, and the
// busiest month's 月報 PDF.
#include "rows.h"

#include <QDate>

#include <algorithm>
#include <cstdio>

namespace bench
{

namespace
{

// The last day of a "YYYY/MM" month.
std::string monthEnd(const std::string &month)
{
    const QDate first = QDate::fromString(QString::fromStdString(month + "/01"), QStringLiteral("yyyy/MM/dd"));
    return first.addDays(first.daysInMonth() - 1).toString(QStringLiteral("yyyy/MM/dd")).toStdString();
}

// The built tool, a process of its own for each run, timed from its start to its exit. Its peak memory is
// the rusage of that process, which would show this one's size instead only if this one (no QApplication)
// were the larger; it is therefore reported here, not by the harness.
void tool(const Child &c)
{
    const std::string tool = SelfPath().substr(0, SelfPath().rfind('/')) + "/../tools/worvane-report";
    const std::string file = c.work + "/export-program." + c.row;
    std::vector<std::string> args{tool, "--db", c.dataset};
    if (c.row == "totals")
        args.insert(args.end(),
                    {"totals", "--from", typedDate(FiveYearsFrom), "--to", typedDate(FiveYearsTo)});
    else if (c.row == "pdf")
        args.insert(args.end(), {"export", "--from", typedDate((c.param + "/01").c_str()), "--to",
                                 typedDate(monthEnd(c.param).c_str()), "--format", "pdf", "--out", file});
    else
        args.insert(args.end(), {"export", "--from", typedDate(OneYearFrom), "--to", typedDate(OneYearTo),
                                 "--format", c.row, "--out", file});
    long peakKb = 0;
    std::string out;
    for (int run = 0; run <= c.runs; ++run) {
        out.clear();
        long runPeakKb = 0;
        const auto t0 = Clock::now();
        const bool ok = spawnChild(
            args, {}, [&](const std::string &line, Clock::time_point) { out += line + '\n'; }, runPeakKb);
        const auto took = Clock::now() - t0;
        if (!ok)
            fail("worvane-report failed: " + tool);
        if (run > 0) {
            sample(took);
            peakKb = std::max(peakKb, runPeakKb);
        }
    }
    if (c.row == "totals")
        check(std::to_string(out.size()) + " bytes " + hex(Digest(out)));
    else if (c.row == "pdf")
        check(PdfCheck(c.dataset, c.param, file));
    else
        check(c.row == "csv" ? fileCheck(file) : sheetCheck(file));
    std::printf("peak %ld\n", peakKb);
    std::fflush(stdout);
}

void totalsFloor(const Child &c)
{
    std::string text;
    floorRuns(
        c, "totals failed", [&] { return FloorTotals(c.dataset, FiveYearsFrom, FiveYearsTo, text); }, sample,
        [&] { text.clear(); });
    check(std::to_string(text.size()) + " bytes " + hex(Digest(text)));
}

void exportFloor(const Child &c)
{
    const std::string file = c.work + "/export-floor." + c.row;
    const auto write = c.row == "csv" ? FloorCsv : FloorXlsx;
    floorRuns(c, "export failed", [&] { return write(c.dataset, OneYearFrom, OneYearTo, file); });
    check(c.row == "csv" ? fileCheck(file) : sheetCheck(file));
}

void pdfFloor(const Child &c)
{
    const std::string file = c.work + "/export-floor.pdf";
    floorRuns(c, "the PDF failed", [&] { return FloorMonthPdf(c.dataset, c.param, file); });
    check(PdfCheck(c.dataset, c.param, file));
}

} // namespace

const Row PdfRow{"pdf", nullptr, pdfFloor, true, tool};
const Row TotalsRow{"totals", nullptr, totalsFloor, false, tool};
const Row CsvRow{"csv", nullptr, exportFloor, false, tool};
const Row XlsxRow{"xlsx", nullptr, exportFloor, false, tool};

} // namespace bench
