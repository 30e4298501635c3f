#include "ranges/rangeexport.h"

#include "core/cp932.h"
#include "ranges/rangechart.h"
#include "core/wholefile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <cstdio>
#include <map>
#include <numeric>
#include <sys/statvfs.h>
#include <unistd.h>

namespace worvane
{

Q_LOGGING_CATEGORY(lcRanges, "worvane.ranges")

namespace
{
const QString CrLf = QStringLiteral("\r\n");
const QString Tab = QStringLiteral("\t");

// Every line break of a text (CR LF, a lone LF or a lone CR) as CR LF.
QString crLfBreaks(QString text)
{
    text.replace(CrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), CrLf);
}

// A text cell. One that a spreadsheet would take as a formula (beginning with = + - @, a tab or a
// carriage return) starts with an apostrophe, which spreadsheets read as "this is text".
QString csvField(const QString &text)
{
    static const QString formula = QStringLiteral("=+-@\t\r");
    const QString value = !text.isEmpty() && formula.contains(text.front()) ? QLatin1Char('\'') + text : text;
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return special.contains(c); }))
        return value;
    return QLatin1Char('"') +
           crLfBreaks(QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\""))) +
           QLatin1Char('"');
}

QString hoursOf(const StoredDay &day)
{
    const auto minutes = DayMinutes(day.summary.startTime, day.summary.endTime);
    return minutes ? FormatHours(*minutes) : QString();
}

const QStringList ColumnNames{
    QStringLiteral("日付"),      QStringLiteral("PJコード"), QStringLiteral("PJ名称"),
    QStringLiteral("開始"),      QStringLiteral("終了"),     QStringLiteral("時間"),
    QStringLiteral("作業項目№"), QStringLiteral("作業項目"), QStringLiteral("作業内容")};

// The day's items, or one empty item for a day without any: a day always gives at least one row.
QList<WorkItem> rowsOf(const StoredDay &day)
{
    return day.items.isEmpty() ? QList<WorkItem>{WorkItem{}} : day.items;
}

QString failure(const QString &path, const QString &what)
{
    qCWarning(lcRanges).noquote() << path << ":" << what;
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), what);
}

// Writes a file's content; false when it cannot go on, with why set when the reason is not the system's
// (a failed write leaves why empty).
using Fill = std::function<bool(PartFile &part, QString &why)>;

// Replaces the target with what fill writes, or leaves it as it was (see WriteWholeFile).
std::optional<QString> replaceFile(const FileTarget &target, const Fill &fill)
{
    if (const auto problem = WriteWholeFile(target, fill))
        return failure(target.path, problem->reason);
    return std::nullopt;
}

// The first character CP932 cannot hold, once the marks that have a CP932 form (〜 − ‖ ¢ £ ¬, as the
// window converts them when typed) are taken in it.
std::optional<QString> firstNonCp932(const QString &typed)
{
    const QString text = ToCp932Forms(typed);
    if (IsCp932Representable(text))
        return std::nullopt;
    const QString kept = DropNonCp932(text);
    qsizetype at = 0;
    while (at < kept.size() && kept.at(at) == text.at(at))
        ++at;
    const bool pair = text.at(at).isHighSurrogate() && at + 1 < text.size();
    return text.mid(at, pair ? 2 : 1);
}

QString namedPlace(const QString &where, const QString &character)
{
    return QStringLiteral("%1「%2」").arg(where, character);
}

// The place of the first character of a day that CP932 cannot hold, as "2026/01/05 A0012345 作業内容「😀」".
std::optional<QString> placeOfNonCp932(const StoredDay &day)
{
    const QString place = day.summary.date + QLatin1Char(' ') + day.summary.code + QLatin1Char(' ');
    const std::pair<QString, QString> fields[] = {{QStringLiteral("PJコード"), day.summary.code},
                                                  {QStringLiteral("PJ名称"), day.summary.name},
                                                  {QStringLiteral("日付"), day.summary.date},
                                                  {QStringLiteral("開始"), day.summary.startTime},
                                                  {QStringLiteral("終了"), day.summary.endTime}};
    for (const auto &[what, value] : fields)
        if (const auto c = firstNonCp932(value))
            return namedPlace(place + what, *c);
    for (const WorkItem &item : day.items) {
        const std::pair<QString, QString> itemFields[] = {{QStringLiteral("作業項目№"), item.code},
                                                          {QStringLiteral("作業項目"), item.head},
                                                          {QStringLiteral("作業内容"), item.detail}};
        for (const auto &[what, value] : itemFields)
            if (const auto c = firstNonCp932(value))
                return namedPlace(place + QStringLiteral("作業項目№") + item.code + QLatin1Char(' ') + what,
                                  *c);
    }
    return std::nullopt;
}

QString readFailure(const QString &engineText)
{
    return QStringLiteral("データベースを読めません: %1").arg(engineText);
}

QString csvHeader(bool withPeople)
{
    return ColumnNames.join(QLatin1Char(',')) + QStringLiteral(",日計") +
           (withPeople ? QLatin1Char(',') + PersonHeading : QString()) + CrLf;
}

// The rows of one day: one per item, or one with empty item columns. 日計 holds the day's hours on its
// first row only, so that the column sums to the range's hours, as the workbook's does.
QString csvRows(const StoredDay &day, bool withPeople)
{
    const QString head = QStringList{csvField(day.summary.date),      csvField(day.summary.code),    csvField(day.summary.name),
                                     csvField(day.summary.startTime), csvField(day.summary.endTime), hoursOf(day)}
                             .join(QLatin1Char(','));
    const QString tail = withPeople ? QLatin1Char(',') + csvField(day.summary.person) : QString();
    QString rows, dayHours = hoursOf(day);
    for (const WorkItem &item : rowsOf(day)) {
        rows += head + QLatin1Char(',') + csvField(item.code) + QLatin1Char(',') + csvField(item.head) +
                QLatin1Char(',') + csvField(item.detail) + QLatin1Char(',') + dayHours + tail + CrLf;
        dayHours.clear();
    }
    return rows;
}

// The monthly report's block of one day, under its project: the layout of a day's report file.
QString monthlyDayBlock(const StoredDay &day, bool withPeople)
{
    QString text = QStringLiteral("■") + day.summary.code + Tab + day.summary.name + (withPeople ? Tab + day.summary.person : QString()) + CrLf;
    // A day without times shows its date alone.
    const bool timed = !day.summary.startTime.isEmpty() || !day.summary.endTime.isEmpty();
    text += day.summary.date +
            (timed ? Tab + day.summary.startTime + QStringLiteral("～") + day.summary.endTime : QString()) + CrLf + CrLf;
    for (const WorkItem &item : day.items) {
        text += item.code + QStringLiteral(".") + Tab + item.head + CrLf;
        text += Tab + Tab + crLfBreaks(item.detail).replace(CrLf, CrLf + Tab + Tab) + CrLf + CrLf;
    }
    return text + CrLf;
}

QString monthlyHead(const RangeSelection &selection)
{
    QString head = QStringLiteral("月報") + Tab + selection.from + QStringLiteral("～") + selection.to + CrLf +
                   QStringLiteral("PJコード") + Tab + selection.codePattern.value_or(QStringLiteral("*")) + CrLf;
    if (selection.people.others())
        head += PersonHeading + Tab +
                (selection.people.kind == People::Kind::Everyone ? EveryoneName : selection.people.name) + CrLf;
    return head + CrLf;
}

QString monthlyTotals(const RangeTotals &totals, bool withPeople)
{
    const auto line = [withPeople](const QString &code, const QString &name, const ProjectTotal &total) {
        QString row = (withPeople ? total.person + Tab : QString()) + code + Tab + name + Tab +
                      QStringLiteral("%1日").arg(total.days) + Tab +
                      QStringLiteral("%1項目").arg(total.items) + Tab + FormatHours(total.minutes);
        if (total.untimedDays > 0)
            row += Tab + QStringLiteral("（時間のない日 %1日）").arg(total.untimedDays);
        return row + CrLf;
    };
    QString text = QStringLiteral("集計") + CrLf;
    for (const ProjectTotal &project : totals.projects)
        text += line(project.code, project.name, project);
    return text + line(QStringLiteral("合計"), QString(), totals.grand);
}

// A text file written as its days come: a head, a part per day and a tail, in UTF-8 or CP932.
struct TextLayout {
    QByteArray bom;
    QString head;
    std::function<QString(const StoredDay &)> part;
    std::function<QString()> tail; // asked for after the last day
    bool cp932 = false;
    std::optional<QString> codePattern; // the one typed text in the head, named when CP932 cannot hold it
};

// Writes the layout in chunks as the days come, so that the whole text is never held at once. In CP932 the
// first character the code page cannot hold ends the writing, and the failure names its place.
std::optional<QString> writeByDay(const FileTarget &target, const DaySource &days, const TextLayout &layout)
{
    return replaceFile(target, [&](PartFile &file, QString &why) {
        QByteArray chunk = layout.bom;
        // Appends text in the file's encoding; false when CP932 cannot hold one of its characters.
        const auto append = [&](const QString &text) {
            if (!layout.cp932) {
                chunk += text.toUtf8();
                return true;
            }
            bool ok = true;
            chunk += ToCp932(ToCp932Forms(text), &ok);
            return ok;
        };
        const auto refuse = [&why](const QString &place) {
            why = QStringLiteral("Shift-JIS で表せない文字があります: %1").arg(place);
            return false;
        };
        if (!append(layout.head))
            return refuse(
                namedPlace(QStringLiteral("PJコード"),
                           firstNonCp932(layout.codePattern.value_or(QString())).value_or(QString())));
        bool written = true;
        const Outcome read = days([&](const StoredDay &day) {
            if (!append(layout.part(day))) {
                refuse(placeOfNonCp932(day).value_or(day.summary.date + QLatin1Char(' ') + day.summary.code));
                return false;
            }
            if (chunk.size() >= (1 << 16)) {
                written = file.write(chunk);
                chunk.clear();
            }
            return written;
        });
        if (!read.ok())
            why = readFailure(read.error->text);
        if (!read.ok() || !why.isEmpty() || !written)
            return false;
        append(layout.tail()); // only codes and names, each already written once
        return file.write(chunk);
    });
}
} // namespace

DaySource RangeDays(Store &store, const RangeSelection &selection)
{
    return [&store, selection](const DaySink &take) { return store.forEachDay(selection, take); };
}

std::optional<QString> WriteCsv(const FileTarget &target, const DaySource &days, CsvEncoding encoding,
                                bool withPeople)
{
    const bool cp932 = encoding == CsvEncoding::Cp932;
    return writeByDay(target, days,
                      TextLayout{cp932 ? QByteArray() : QByteArray("\xEF\xBB\xBF"), csvHeader(withPeople),
                                 [withPeople](const StoredDay &day) { return csvRows(day, withPeople); },
                                 [] { return QString(); }, cp932, std::nullopt});
}

std::optional<QString> WriteMonthlyText(const FileTarget &target, const RangeSelection &selection,
                                        const DaySource &days)
{
    RangeTally tally; // the totals at the end, gathered as the days pass
    const bool withPeople = selection.people.others();
    return writeByDay(target, days,
                      TextLayout{QByteArray(), monthlyHead(selection),
                                 [&tally, withPeople](const StoredDay &day) {
                                     tally.add(day.summary);
                                     return monthlyDayBlock(day, withPeople);
                                 },
                                 [&tally, withPeople] { return monthlyTotals(tally.totals(), withPeople); }, true,
                                 selection.codePattern});
}

namespace
{
QByteArray columnName(int column)
{
    QByteArray name;
    for (++column; column > 0; column = (column - 1) / 26)
        name.prepend(char('A' + (column - 1) % 26));
    return name;
}

lxw_datetime dateOf(const QDate &date)
{
    return lxw_datetime{date.year(), date.month(), date.day(), 0, 0, 0.0};
}

constexpr double MinutesPerDay = 24 * 60;

// Why a workbook was not written: libxlsxwriter's error (a file it could not write, or fill), or the
// database's.
struct WorkbookError {
    QString text;
    bool written = false; // libxlsxwriter's writing failed

    // Whether the failure is the disk's being full: the system says so, or nothing is left in the folder.
    bool diskFull(int error, const QString &folder) const
    {
        if (!written)
            return false;
        if (error == ENOSPC || error == EDQUOT)
            return true;
        struct statvfs space {};
        if (::statvfs(QFile::encodeName(folder).constData(), &space) != 0)
            return false;
        return (::geteuid() == 0 ? space.f_bfree : space.f_bavail) < 16;
    }
};

// Writes the workbook to file with libxlsxwriter; the error, or nothing.
std::optional<WorkbookError> buildWorkbook(const QByteArray &file, const QByteArray &tmpdir,
                                     const RangeSelection &selection, const DaySource &days)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    lxw_workbook *book = workbook_new_opt(file.constData(), &options);
    if (!book)
        return WorkbookError{QStringLiteral("ブックを作れません"), true};
    lxw_worksheet *sheet = workbook_add_worksheet(book, "日報");
    lxw_worksheet *summary = workbook_add_worksheet(book, "集計");
    lxw_format *dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy/mm/dd");
    lxw_format *hoursFormat = workbook_add_format(book);
    format_set_num_format(hoursFormat, "[h]:mm");
    lxw_format *monthFormat = workbook_add_format(book);
    format_set_num_format(monthFormat, "yyyy/mm");
    lxw_format *wrapFormat = workbook_add_format(book);
    format_set_text_wrap(wrapFormat);

    lxw_error error = LXW_NO_ERROR;
    const auto keep = [&error](lxw_error result) {
        if (error == LXW_NO_ERROR)
            error = result;
    };
    const auto utf8 = [&](lxw_worksheet *on, lxw_row_t row, lxw_col_t column, const QByteArray &value,
                          lxw_format *format = nullptr) {
        if (!value.isEmpty())
            keep(worksheet_write_string(on, row, column, value.constData(), format));
    };
    const auto text = [&](lxw_worksheet *on, lxw_row_t row, lxw_col_t column, const QString &value,
                          lxw_format *format = nullptr) { utf8(on, row, column, value.toUtf8(), format); };
    // A saved time as a time value, or as the text saved when it is not one.
    const auto time = [&](lxw_row_t row, lxw_col_t column, const QString &value, std::optional<int> minutes) {
        if (minutes)
            keep(worksheet_write_number(sheet, row, column, *minutes / MinutesPerDay, hoursFormat));
        else
            text(sheet, row, column, value);
    };

    worksheet_set_column(sheet, 0, 0, 11, nullptr);
    worksheet_set_column(sheet, 2, 2, 24, nullptr);
    worksheet_set_column(sheet, 7, 8, 30, nullptr);
    for (int column = 0; column < ColumnNames.size(); ++column)
        text(sheet, 0, lxw_col_t(column), ColumnNames.at(column));
    text(sheet, 0, lxw_col_t(ColumnNames.size()), QStringLiteral("日計"));
    const lxw_col_t dayHoursColumn = lxw_col_t(ColumnNames.size());
    // Other people's days: each row's person after 日計, so that 日計 and 集計 tell people apart.
    const bool withPeople = selection.people.others();
    const lxw_col_t personColumn = dayHoursColumn + 1;
    if (withPeople)
        text(sheet, 0, personColumn, PersonHeading);

    // The totals of 集計, gathered as the days pass: the whole range, and each month ("YYYY/MM"); for the
    // chart of a range of up to two months, each day's too.
    RangeTally tally;
    std::map<QString, RangeTally> monthTallies;
    const QDate fromDate = QDate::fromString(selection.from, QStringLiteral("yyyy/MM/dd"));
    const QDate toDate = QDate::fromString(selection.to, QStringLiteral("yyyy/MM/dd"));
    const bool chartByDay = fromDate.isValid() && toDate.isValid() && fromDate.daysTo(toDate) < 62;
    std::map<QString, RangeTally> dayTallies;
    lxw_row_t row = 1;
    const Outcome read = days([&](const StoredDay &day) {
        const DaySummary &counted = day.summary;
        tally.add(counted);
        monthTallies[day.summary.date.left(7)].add(counted);
        if (chartByDay)
            dayTallies[day.summary.date].add(counted);
        const QDate date = QDate::fromString(day.summary.date, QStringLiteral("yyyy/MM/dd"));
        const auto minutes = DayMinutes(day.summary.startTime, day.summary.endTime);
        const auto start = DayMinutes(QStringLiteral("00:00"), day.summary.startTime);
        const auto end = DayMinutes(QStringLiteral("00:00"), day.summary.endTime);
        // The day's own cells, the same on each of its rows: converted once.
        const lxw_datetime when = date.isValid() ? dateOf(date) : lxw_datetime{};
        const QByteArray dateText = day.summary.date.toUtf8(), code = day.summary.code.toUtf8(), name = day.summary.name.toUtf8(),
                         person = day.summary.person.toUtf8();
        bool first = true;
        for (const WorkItem &item : rowsOf(day)) {
            if (date.isValid()) {
                lxw_datetime cell = when;
                keep(worksheet_write_datetime(sheet, row, 0, &cell, dateFormat));
            } else {
                utf8(sheet, row, 0, dateText);
            }
            utf8(sheet, row, 1, code);
            utf8(sheet, row, 2, name);
            time(row, 3, day.summary.startTime, start);
            time(row, 4, day.summary.endTime, end);
            if (minutes)
                keep(worksheet_write_number(sheet, row, 5, *minutes / MinutesPerDay, hoursFormat));
            text(sheet, row, 6, item.code);
            text(sheet, row, 7, item.head);
            text(sheet, row, 8, crLfBreaks(item.detail).replace(CrLf, QStringLiteral("\n")), wrapFormat);
            if (withPeople)
                utf8(sheet, row, personColumn, person);
            // A day's hours once, on its first row, so that sums over this column count each day once.
            const unsigned r = row + 1, above = row;
            char formula[160];
            if (withPeople)
                std::snprintf(formula, sizeof formula, "=IF(AND(A%u=A%u,B%u=B%u,K%u=K%u),0,F%u)", r, above, r,
                              above, r, above, r);
            else
                std::snprintf(formula, sizeof formula, "=IF(AND(A%u=A%u,B%u=B%u),0,F%u)", r, above, r, above, r);
            keep(worksheet_write_formula_num(sheet, row, dayHoursColumn, formula, hoursFormat,
                                             first && minutes ? *minutes / MinutesPerDay : 0.0));
            first = false;
            ++row;
        }
        return error == LXW_NO_ERROR;
    });
    if (!read.ok()) {
        workbook_close(book);
        return WorkbookError{readFailure(read.error->text)};
    }

    // 集計: a row per project, a column per month, and the totals; every cell a formula over 日報.
    const QStringList months = MonthsOf(selection.from, selection.to);
    const RangeTotals totals = tally.totals();
    QList<RangeTotals> monthTotals;
    for (const QString &month : months)
        monthTotals.append(monthTallies[month].totals());
    const auto minutesIn = [](const RangeTotals &of, const ProjectTotal &wanted) -> qint64 {
        for (const ProjectTotal &project : of.projects)
            if (project.person == wanted.person && project.code.compare(wanted.code, Qt::CaseInsensitive) == 0)
                return project.minutes;
        return 0;
    };
    // With people, a column of them comes first; then code, name, the months and the total.
    const int first = withPeople ? 1 : 0;
    const QByteArray codeColumn = columnName(first);
    const lxw_col_t totalColumn = lxw_col_t(first + 2 + months.size());
    const lxw_row_t totalRow = lxw_row_t(1 + totals.projects.size());
    const QByteArray firstMonth = columnName(first + 2), lastMonth = columnName(int(totalColumn) - 1);
    worksheet_set_column(summary, lxw_col_t(first + 1), lxw_col_t(first + 1), 24, nullptr);
    worksheet_set_column(summary, lxw_col_t(first + 2), totalColumn, 10, nullptr);
    if (withPeople)
        text(summary, 0, 0, PersonHeading);
    text(summary, 0, lxw_col_t(first), QStringLiteral("PJコード"));
    text(summary, 0, lxw_col_t(first + 1), QStringLiteral("PJ名称"));
    for (int m = 0; m < months.size(); ++m) {
        lxw_datetime when =
            dateOf(QDate::fromString(months.at(m) + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd")));
        keep(worksheet_write_datetime(summary, 0, lxw_col_t(first + 2 + m), &when, monthFormat));
    }
    text(summary, 0, totalColumn, QStringLiteral("合計"));
    for (int p = 0; p < totals.projects.size(); ++p) {
        const ProjectTotal &project = totals.projects.at(p);
        const lxw_row_t at = lxw_row_t(1 + p);
        const QByteArray r = QByteArray::number(at + 1);
        if (withPeople)
            text(summary, at, 0, project.person);
        text(summary, at, lxw_col_t(first), project.code);
        text(summary, at, lxw_col_t(first + 1), project.name);
        // SUMIFS reads a criterion as a pattern (* ? ~, a leading < > =): each code and person is compared
        // as it is, by "=" and its wildcards escaped.
        const auto literal = [](const QByteArray &cell) {
            return "\"=\"&SUBSTITUTE(SUBSTITUTE(SUBSTITUTE(" + cell + ",\"~\",\"~~\"),\"*\",\"~*\"),\"?\",\"~?\")";
        };
        const QByteArray ofPerson = withPeople ? ",'日報'!$K:$K," + literal("$A" + r) : QByteArray();
        for (int m = 0; m < months.size(); ++m) {
            const QByteArray c = columnName(first + 2 + m);
            const QByteArray formula = "=SUMIFS('日報'!$J:$J,'日報'!$B:$B," + literal("$" + codeColumn + r) + ofPerson +
                                       ",'日報'!$A:$A,\">=\"&" + c + "$1,'日報'!$A:$A,\"<\"&DATE(YEAR(" + c +
                                       "$1),MONTH(" + c + "$1)+1,1))";
            keep(worksheet_write_formula_num(summary, at, lxw_col_t(first + 2 + m), formula.constData(),
                                             hoursFormat, minutesIn(monthTotals.at(m), project) / MinutesPerDay));
        }
        const QByteArray sum = "=SUM(" + firstMonth + r + ":" + lastMonth + r + ")";
        keep(worksheet_write_formula_num(summary, at, totalColumn, sum.constData(), hoursFormat,
                                         project.minutes / MinutesPerDay));
    }
    text(summary, totalRow, lxw_col_t(first), QStringLiteral("合計"));
    for (int m = 0; m <= months.size(); ++m) {
        const QByteArray c = columnName(first + 2 + m);
        const QByteArray sum = "=SUM(" + c + "2:" + c + QByteArray::number(totalRow) + ")";
        const qint64 minutes = m < months.size() ? monthTotals.at(m).grand.minutes : totals.grand.minutes;
        keep(worksheet_write_formula_num(summary, totalRow, lxw_col_t(first + 2 + m), sum.constData(),
                                         hoursFormat, minutes / MinutesPerDay));
    }

    // グラフ: the hours per project by day (a range of up to two months) or by month, as a table the
    // stacked column chart under it reads.
    lxw_worksheet *graph = workbook_add_worksheet(book, "グラフ");
    QList<QPair<QString, const RangeTotals *>> buckets; // heading, totals
    QList<RangeTotals> dayTotals;
    if (chartByDay) {
        for (QDate d = fromDate; d <= toDate; d = d.addDays(1))
            dayTotals.append(dayTallies[d.toString(QStringLiteral("yyyy/MM/dd"))].totals());
        for (qsizetype i = 0; i < dayTotals.size(); ++i)
            buckets.append({fromDate.addDays(i).toString(QStringLiteral("M/d")), &dayTotals.at(i)});
    } else {
        for (qsizetype m = 0; m < months.size(); ++m)
            buckets.append({months.at(m), &monthTotals.at(m)});
    }
    worksheet_set_column(graph, 1, 1, 24, nullptr);
    text(graph, 0, 0, QStringLiteral("PJコード"));
    text(graph, 0, 1, QStringLiteral("PJ名称"));
    for (qsizetype b = 0; b < buckets.size(); ++b)
        text(graph, 0, lxw_col_t(2 + b), buckets.at(b).first);
    for (qsizetype p = 0; p < totals.projects.size(); ++p) {
        const ProjectTotal &project = totals.projects.at(p);
        text(graph, lxw_row_t(1 + p), 0, withPeople ? project.person + QLatin1Char(' ') + project.code : project.code);
        text(graph, lxw_row_t(1 + p), 1, project.name);
        for (qsizetype b = 0; b < buckets.size(); ++b)
            keep(worksheet_write_number(graph, lxw_row_t(1 + p), lxw_col_t(2 + b),
                                        minutesIn(*buckets.at(b).second, project) / MinutesPerDay, hoursFormat));
    }
    if (!totals.projects.isEmpty() && !buckets.isEmpty()) {
        lxw_chart *chart = workbook_add_chart(book, LXW_CHART_COLUMN_STACKED);
        const QByteArray lastColumn = columnName(int(2 + buckets.size() - 1));
        const QByteArray categories = "='グラフ'!$C$1:$" + lastColumn + "$1";
        // The projects in the window's colours: the same slot for a project as its charts there give.
        QList<qsizetype> order(totals.projects.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&totals](qsizetype a, qsizetype b) {
            return totals.projects.at(a).minutes > totals.projects.at(b).minutes;
        });
        QStringList codes;
        for (const qsizetype p : order)
            codes.append(totals.projects.at(p).code);
        const QList<int> chosen = ColourSlots(codes);
        QList<int> slotOf(totals.projects.size());
        for (qsizetype i = 0; i < order.size(); ++i)
            slotOf[order.at(i)] = chosen.at(i);
        for (qsizetype p = 0; p < totals.projects.size(); ++p) {
            const QByteArray r = QByteArray::number(2 + p);
            const QByteArray values = "='グラフ'!$C$" + r + ":$" + lastColumn + "$" + r;
            lxw_chart_series *series = chart_add_series(chart, categories.constData(), values.constData());
            chart_series_set_name(series, ("='グラフ'!$A$" + r).constData());
            lxw_chart_fill fill{};
            fill.color = SeriesColour(slotOf.at(p));
            chart_series_set_fill(series, &fill);
            if (slotOf.at(p) >= SeriesColours) { // a colour again: a pattern tells it apart
                static constexpr uint8_t patterns[] = {LXW_CHART_PATTERN_WIDE_UPWARD_DIAGONAL,
                                                       LXW_CHART_PATTERN_LARGE_GRID, LXW_CHART_PATTERN_WIDE_DOWNWARD_DIAGONAL,
                                                       LXW_CHART_PATTERN_SMALL_CONFETTI, LXW_CHART_PATTERN_DARK_HORIZONTAL,
                                                       LXW_CHART_PATTERN_DARK_VERTICAL};
                lxw_chart_pattern pattern{};
                pattern.type = patterns[(slotOf.at(p) / SeriesColours - 1) % std::size(patterns)];
                pattern.fg_color = 0x000000;
                pattern.bg_color = SeriesColour(slotOf.at(p));
                chart_series_set_pattern(series, &pattern);
            }
        }
        chart_title_set_name(chart, chartByDay ? "日別のプロジェクト時間" : "月別のプロジェクト時間");
        chart_axis_set_num_format(chart->y_axis, "[h]:mm");
        lxw_chart_options placed{};
        placed.x_scale = 2;
        placed.y_scale = 1.5;
        keep(worksheet_insert_chart_opt(graph, lxw_row_t(totals.projects.size() + 3), 0, chart, &placed));
    }

    keep(workbook_close(book));
    if (error != LXW_NO_ERROR)
        return WorkbookError{QString::fromUtf8(lxw_strerror(error)), true};
    return std::nullopt;
}
} // namespace

std::optional<QString> WriteXlsx(const FileTarget &target, const RangeSelection &selection, const DaySource &days)
{
    // libxlsxwriter writes the new file by its name, and its own temporary files in the target's folder,
    // where the workbook has to fit anyway.
    return replaceFile(target, [&](PartFile &part, QString &why) {
        errno = 0;
        const auto error = buildWorkbook(QFile::encodeName(part.path()), QFile::encodeName(part.folder()),
                                         selection, days);
        if (!error)
            return true;
        why = error->diskFull(errno, part.folder()) ? SystemFileProblem(ENOSPC).reason : error->text;
        return false;
    });
}

} // namespace worvane
