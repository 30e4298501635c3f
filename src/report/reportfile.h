#pragma once

#include "core/wholefile.h"
#include "core/values.h"

#include <QString>

namespace worvane
{

// The day's report as text: the date and hours on the first line, an empty line, then one block per
// item (number, ".", TAB, title; the detail with every line indented by two TABs; an empty line), and
// one more line end. Line ends are CR LF.
QString BuildReportText(const QString &date, const QString &startTime, const QString &endTime,
                        const QList<WorkItem> &items);

// The first character of the day that Shift-JIS cannot hold, with where it stands, as the error box
// names it: "作業項目№3「😀」" (or 日付, 就労時間); nothing when every character can be written.
std::optional<QString> FindUnwritableCharacter(const QString &date, const QString &startTime,
                                               const QString &endTime, const QList<WorkItem> &items);

// What went wrong writing a report file: a number and the source the error box shows.
struct ReportFileError {
    int number = 0;
    QString source;
};

// The day's report file as the main window writes it: the header's date and times and the items, or
// the error (a character Shift-JIS cannot hold is named with its place). The file is written whole or not
// at all, never over a file in use (see WriteWholeFile).
std::optional<ReportFileError> WriteDayReport(const FileTarget &target, const DayHeader &day,
                                              const QList<WorkItem> &items);

// Writes text in CP932 to the target, replacing the file whole or leaving it as it was.
std::optional<ReportFileError> WriteReportFile(const FileTarget &target, const QString &text);

} // namespace worvane
