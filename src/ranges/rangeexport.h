#pragma once

#include "ranges/rangetotals.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The files a date range is handed over in. Each is written whole or not at all: a failed export leaves
// an existing file as it was. A failure comes back as one line for the user.

namespace worvane
{

enum class CsvEncoding { Utf8WithBom, Cp932 };

// One header row, then one row per work item in date, code and item order; a day without items gives
// one row with empty item columns. Fields with a comma, a quote or a line break are quoted (quotes
// doubled); lines end in CR LF, and so do the line breaks inside a detail.
QString BuildCsvText(const QList<StoredDay> &days);

// The monthly report (月報) in the layout of a day's report file: the range and the project pattern,
// every day's block under its project, and the totals per project at the end. Lines end in CR LF.
QString BuildMonthlyText(const RangeSelection &selection, const QList<StoredDay> &days);

// The place of the first character CP932 cannot hold, as "2026/01/05 A0012345 作業内容「😀」".
std::optional<QString> FindNonCp932(const RangeSelection &selection, const QList<StoredDay> &days);

std::optional<QString> WriteCsv(const QString &path, const QList<StoredDay> &days, CsvEncoding encoding);
std::optional<QString> WriteMonthlyText(const QString &path, const RangeSelection &selection,
                                        const QList<StoredDay> &days);

// A workbook with the sheet 日報 (the CSV's rows, with real dates and times, and a column 日計 that
// holds each day's hours once) and the sheet 集計 (hours per project and month as formulas over 日報,
// so that edits recalculate). Rows are streamed to disk: memory stays flat however long the range.
std::optional<QString> WriteXlsx(const QString &path, const RangeSelection &selection,
                                 const QList<StoredDay> &days);

// Replaces the file at path with bytes, whole or not at all.
std::optional<QString> WriteWholeFile(const QString &path, const QByteArray &bytes);

} // namespace worvane
