// The rows of worvane-report: totals over five years, and one year exported to CSV and to .xlsx.
#include "rows.h"

#include <algorithm>
#include <cstdio>

namespace bench
{

namespace
{

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

} // namespace

const Row TotalsRow{"totals", nullptr, totalsFloor, false, tool};
const Row CsvRow{"csv", nullptr, exportFloor, false, tool};
const Row XlsxRow{"xlsx", nullptr, exportFloor, false, tool};

} // namespace bench
