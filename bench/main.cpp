// worvane-bench: every user-facing action of Worvane, on the real windows (offscreen platform) against a
// generated database of five years of reports, measured beside the same work done the plainest possible
// way in the same run. Prints one Markdown table.
//
//   worvane-bench [--runs N] [--data FOLDER] [--server postgresql://...] [--no-curve]
//
// Each side of each row runs in a child process of its own (this program again, with --child), so that its
// peak memory is its own; the start-up row starts a process per run. Every side checks what it produced, and
// the two sides of a row must agree: a row whose action did not do the work fails the run instead of printing
// a fast time.
#include "dataset.h"
#include "driver.h"
#include "rows.h"

#include "main/program.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace bench;

const Row *bench::RowNamed(const std::string &name)
{
    for (const Row *row : {&SearchRow, &LoadRow, &SaveRow, &ReportRow, &MonthRow, &CompactRow, &OpenRow,
                           &IndexRow, &FindRow, &TotalsRow, &CsvRow, &XlsxRow, &StatusRow, &HistoryRow, &BackupRow, &ChartRow, &PdfRow})
        if (name == row->name)
            return row;
    return nullptr;
}

namespace
{

// One side of one row, in this child process; its last line is its peak memory.
int runChildSide(const Child &c, char **argv)
{
    const Row *row = RowNamed(c.row);
    if (!row)
        fail("no such row: " + c.row);
    int qtArgc = 1;
    if (c.side == "program" && row->tool) {
        row->tool(c); // the tool's processes' peak, reported by the row
        return 0;
    }
    if (c.side == "program") {
        QApplication app(qtArgc, argv);
        worvane::ConfigureApplication(app);
        Program program(c);
        row->program(program, c);
        return reportPeak();
    }
    if (row->floorShows) {
        QApplication app(qtArgc, argv);
        row->floor(c);
        return reportPeak();
    }
    row->floor(c);
    return reportPeak();
}

} // namespace

int main(int argc, char **argv)
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    SetSelfPath(n > 0 ? std::string(exe, size_t(n)) : std::string(argv[0]));

    if ((argc == 3 || argc == 5) && !std::strcmp(argv[1], "--generate")) {
        QCoreApplication app(argc, argv); // the data is made through the program's store, as its tools do
        const std::string path = argc == 3 ? EnsureDataset(argv[2])
                                           : EnsureDataset(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
        std::printf("%s\n", path.c_str());
        return path.empty() ? 1 : 0;
    }
    if (argc == 8 && !std::strcmp(argv[1], "--child"))
        return runChildSide(Child{argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]), argv[7]}, argv);
    return Driver(argc, argv);
}
