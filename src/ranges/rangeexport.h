#pragma once

#include "core/wholefile.h"
#include "ranges/rangetotals.h"
#include "store/store.h"

#include <QString>
#include <functional>
#include <optional>

// The files a date range is handed over in. Each is written as its days are read, never holding the range
// whole, and replaces the file whole or not at all: a failed export leaves an existing file as it was, and
// a file in use (the database, the settings) is never written (see WriteWholeFile). A failure comes back as
// one line for the user.

namespace worvane
{

enum class CsvEncoding { Utf8WithBom, Cp932 };

// Where an export's days come from: a function that hands each day, with its items, to take in date, code
// and item order until take returns false, and tells whether the days could be read.
using DaySink = std::function<bool(const StoredDay &)>;
using DaySource = std::function<Outcome(const DaySink &take)>;

// The saved days of the selection, read from the store one day at a time as the export takes them; the
// store is the caller's, and lives as long as the source.
DaySource RangeDays(Store &store, const RangeSelection &selection);

// The column every export adds for the person, and the name of everyone.
inline const QString PersonHeading = QStringLiteral("担当者");
inline const QString EveryoneName = QStringLiteral("全員");

// One header row, then one row per work item in date, code and item order; a day without items gives
// one row with empty item columns. Fields with a comma, a quote or a line break are quoted (quotes
// doubled); lines end in CR LF, and so do the line breaks inside a detail. In CP932, a character the code
// page cannot hold writes nothing, and the failure names its place: "2026/01/05 A0012345 作業項目№1
// 作業内容「😀」".
// With people, each row ends with the day's person (担当者).
std::optional<QString> WriteCsv(const FileTarget &target, const DaySource &days, CsvEncoding encoding,
                                bool withPeople = false);

// The monthly report (月報) in CP932, in the layout of a day's report file: the range and the project
// pattern, every day's block under its project, and the totals per project at the end. Lines end in CR LF.
// A character CP932 cannot hold fails it as it fails the CSV. A selection of other people's days names the
// person of each block and each total.
std::optional<QString> WriteMonthlyText(const FileTarget &target, const RangeSelection &selection,
                                        const DaySource &days);

// A workbook with the sheet 日報 (the CSV's rows, with real dates and times, and a column 日計 that
// holds each day's hours once) and the sheet 集計 (hours per project and month as formulas over 日報,
// so that edits recalculate). Rows are streamed to disk: memory stays flat however long the range. A
// selection of other people's days adds the person (担当者) to both sheets.
std::optional<QString> WriteXlsx(const FileTarget &target, const RangeSelection &selection, const DaySource &days);

} // namespace worvane
