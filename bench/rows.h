#pragma once

// The measured actions, one file each under rows/, each holding both of its sides: the program's, on its
// real windows with its settings and its one store (or, for worvane-report's rows, the built tool started
// as a user would), and the floor's, the plainest way of doing the same work (floors.h, teamfloors.cpp),
// which uses none of the program's code.
#include "dataset.h"
#include "windows.h"

#include <string>
#include <vector>

namespace bench
{

struct Row {
    const char *name;
    void (*program)(Program &, const Child &); // null for a row of worvane-report
    void (*floor)(const Child &);
    bool floorShows = true;                // the floor shows what it reads, so its child makes a QApplication
    void (*tool)(const Child &) = nullptr; // the program's side of a row of worvane-report
};

extern const Row SearchRow, LoadRow, SaveRow, ReportRow, MonthRow, CompactRow, OpenRow, IndexRow, FindRow,
    TotalsRow, CsvRow, XlsxRow, StatusRow, HistoryRow, BackupRow, ChartRow, PdfRow;

// The row of that name, or null.
const Row *RowNamed(const std::string &name);

} // namespace bench
