#include "report/reportfile.h"

#include "core/cp932.h"
#include "core/wholefile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

namespace worvane
{

Q_LOGGING_CATEGORY(lcReport, "worvane.report")

namespace
{
const QString CrLf = QStringLiteral("\r\n");
const QString Tab = QStringLiteral("\t");

// Error numbers as the users of the report file know them from earlier versions of the program.
enum ErrorNumber {
    BadCharacters = 5,
    DiskFull = 61,
    PermissionDenied = 70,
    AccessError = 75,
    PathNotFound = 76,
};

ReportFileError fileError(int number, const QString &what, const QString &path)
{
    qCWarning(lcReport).noquote() << path << ":" << what;
    return ReportFileError{number,
                           QStringLiteral("Worvane (%1: %2)").arg(what, QDir::toNativeSeparators(path))};
}

// The error box's number and source for a file that was not written.
ReportFileError fileError(const FileProblem &problem, const QString &path)
{
    const auto number = [&problem] {
        switch (problem.fault) {
        case FileFault::DiskFull:
            return DiskFull;
        case FileFault::Denied:
        case FileFault::ReadOnly:
            return PermissionDenied;
        case FileFault::NoFolder:
            return PathNotFound;
        case FileFault::Refused:
            return BadCharacters;
        default:
            return AccessError;
        }
    }();
    return fileError(number, problem.reason, path);
}

// The bytes in the file, whole or not at all.
std::optional<ReportFileError> writeBytes(const FileTarget &target, const QByteArray &bytes)
{
    const auto problem =
        WriteWholeFile(target, [&bytes](PartFile &part, QString &) { return part.write(bytes); });
    if (problem)
        return fileError(*problem, target.path);
    return std::nullopt;
}

} // namespace

QString BuildReportText(const QString &date, const QString &startTime, const QString &endTime,
                        const QList<WorkItem> &items)
{
    QString text = date + Tab + startTime + QStringLiteral("～") + endTime + CrLf + CrLf;
    for (const WorkItem &item : items) {
        text += item.code + QStringLiteral(".") + Tab + item.head + CrLf;
        text += Tab + Tab + QString(item.detail).replace(CrLf, CrLf + Tab + Tab) + CrLf;
        text += CrLf;
    }
    return text + CrLf;
}

std::optional<QString> FindUnwritableCharacter(const QString &date, const QString &startTime,
                                               const QString &endTime, const QList<WorkItem> &items)
{
    const auto first = [](const QString &text) -> std::optional<QString> {
        const QString dropped = DropNonCp932(text);
        if (dropped == text)
            return std::nullopt;
        qsizetype at = 0; // the first place where the text and its CP932 part differ
        while (at < dropped.size() && dropped.at(at) == text.at(at))
            ++at;
        const bool pair = text.at(at).isHighSurrogate() && at + 1 < text.size();
        return text.mid(at, pair ? 2 : 1);
    };
    const auto named = [](const QString &where, const QString &c) {
        return QStringLiteral("%1「%2」").arg(where, c);
    };
    if (const auto c = first(date))
        return named(QStringLiteral("日付"), *c);
    if (const auto c = first(startTime + endTime))
        return named(QStringLiteral("就労時間"), *c);
    for (const WorkItem &item : items) {
        if (const auto c = first(item.code + item.head + item.detail))
            return named(QStringLiteral("作業項目№") + item.code, *c);
    }
    return std::nullopt;
}

std::optional<ReportFileError> WriteDayReport(const FileTarget &target, const DayHeader &day,
                                              const QList<WorkItem> &items)
{
    bool representable = false;
    const QByteArray bytes =
        ToCp932(BuildReportText(day.date, day.startTime, day.endTime, items), &representable);
    if (!representable) // the rare case: where the character is, for the message
        return ReportFileError{
            BadCharacters,
            QStringLiteral("Worvane (Shift-JIS で表せない文字があります: %1)")
                .arg(FindUnwritableCharacter(day.date, day.startTime, day.endTime, items).value_or(QString()))};
    return writeBytes(target, bytes);
}

std::optional<ReportFileError> WriteReportFile(const FileTarget &target, const QString &text)
{
    bool representable = false;
    const QByteArray bytes = ToCp932(text, &representable);
    if (!representable)
        return fileError(BadCharacters, QStringLiteral("Shift-JIS で表せない文字があります"), target.path);
    return writeBytes(target, bytes);
}

} // namespace worvane
