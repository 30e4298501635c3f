#pragma once

// The 月報 as a PDF to hand in: A4 landscape; for each month of the range its title (and the person's
// name, for a lead's selection of one person), the grid of hours per project and day with the totals, and
// the chart of the month; then each day's items, in the 月報 text's order; page numbers at the foot.
// Japanese fonts are embedded (as a subset). The file replaces its target whole or not at all.
#include "core/holidays.h"
#include "ranges/rangeexport.h"

namespace worvane
{

std::optional<QString> WriteMonthPdf(const FileTarget &target, const RangeSelection &selection, const DaySource &days,
                                     const DaysOff &off);

} // namespace worvane
