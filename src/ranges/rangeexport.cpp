#include "ranges/rangeexport.h"

#include "common/cp932.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <functional>
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

QString csvField(const QString &value)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return special.contains(c); }))
        return value;
    return QLatin1Char('"') +
           crLfBreaks(QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\""))) +
           QLatin1Char('"');
}

QString hoursOf(const StoredDay &day)
{
    const auto minutes = DayMinutes(day.startTime, day.endTime);
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

QString systemReason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空き容量が足りません");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("書き込みが許可されていません");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("フォルダが見つかりません");
    default:
        return QStringLiteral("ファイルに書き込めません");
    }
}

// Replaces the file at path with what fill writes into it, or leaves it as it was: the new content goes
// to a file beside the target, pushed to the disk before it takes the target's place.
std::optional<QString> replaceFile(const QString &path, const std::function<bool(QSaveFile &)> &fill)
{
    const QFileInfo info(path);
    if (info.isDir())
        return failure(path, QStringLiteral("フォルダと同じ名前です"));
    if (!info.dir().exists())
        return failure(path, QStringLiteral("フォルダが見つかりません"));
    if (info.exists() && !info.isFile())
        return failure(path, QStringLiteral("通常のファイルではありません"));

    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, systemReason(errno));
    errno = 0;
    if (!fill(file) || !file.flush() || ::fdatasync(file.handle()) != 0) {
        const int error = file.error() == QFileDevice::ResourceError ? ENOSPC : errno;
        file.cancelWriting();
        return failure(path, systemReason(error));
    }
    errno = 0;
    if (!file.commit())
        return failure(path, systemReason(errno));
    return std::nullopt;
}

std::optional<QString> firstNonCp932(const QString &text)
{
    if (IsCp932Representable(text))
        return std::nullopt;
    const QString kept = DropNonCp932(text);
    qsizetype at = 0;
    while (at < kept.size() && kept.at(at) == text.at(at))
        ++at;
    const bool pair = text.at(at).isHighSurrogate() && at + 1 < text.size();
    return text.mid(at, pair ? 2 : 1);
}

QString csvHeader()
{
    return ColumnNames.join(QLatin1Char(',')) + CrLf;
}

// The rows of one day: one per item, or one with empty item columns.
QString csvRows(const StoredDay &day)
{
    const QString head = QStringList{csvField(day.date),      csvField(day.code),    csvField(day.name),
                                     csvField(day.startTime), csvField(day.endTime), hoursOf(day)}
                             .join(QLatin1Char(','));
    QString rows;
    for (const WorkItem &item : rowsOf(day))
        rows += head + QLatin1Char(',') + csvField(item.code) + QLatin1Char(',') + csvField(item.head) +
                QLatin1Char(',') + csvField(item.detail) + CrLf;
    return rows;
}

// The monthly report's block of one day, under its project: the layout of a day's report file.
QString monthlyDayBlock(const StoredDay &day)
{
    QString text = QStringLiteral("■") + day.code + Tab + day.name + CrLf;
    text += day.date + Tab + day.startTime + QStringLiteral("～") + day.endTime + CrLf + CrLf;
    for (const WorkItem &item : day.items) {
        text += item.code + QStringLiteral(".") + Tab + item.head + CrLf;
        text += Tab + Tab + crLfBreaks(item.detail).replace(CrLf, CrLf + Tab + Tab) + CrLf + CrLf;
    }
    return text + CrLf;
}

QString monthlyHead(const RangeSelection &selection)
{
    return QStringLiteral("月報") + Tab + selection.from + QStringLiteral("～") + selection.to + CrLf +
           QStringLiteral("PJコード") + Tab + selection.codePattern.value_or(QStringLiteral("*")) + CrLf +
           CrLf;
}

QString monthlyTotals(const QList<StoredDay> &days)
{
    const RangeTotals totals = TotalRange(days);
    const auto line = [](const QString &code, const QString &name, const ProjectTotal &total) {
        QString row = code + Tab + name + Tab + QStringLiteral("%1日").arg(total.days) + Tab +
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

// Writes the head, every day's part and the tail in turn, so that the whole text is never held at once.
std::optional<QString> writeByDay(const QString &path, const QList<StoredDay> &days, const QByteArray &bom,
                                  const QString &head, const std::function<QString(const StoredDay &)> &part,
                                  const QString &tail, bool cp932)
{
    const auto encoded = [cp932](const QString &text) { return cp932 ? ToCp932(text) : text.toUtf8(); };
    return replaceFile(path, [&](QSaveFile &file) {
        QByteArray chunk = bom + encoded(head);
        for (const StoredDay &day : days) {
            chunk += encoded(part(day));
            if (chunk.size() >= (1 << 16)) {
                if (file.write(chunk) != chunk.size())
                    return false;
                chunk.clear();
            }
        }
        chunk += encoded(tail);
        return file.write(chunk) == chunk.size();
    });
}

std::optional<QString> cp932Refusal(const QString &path, const RangeSelection &selection,
                                    const QList<StoredDay> &days)
{
    if (const auto where = FindNonCp932(selection, days))
        return failure(path, QStringLiteral("Shift-JIS で表せない文字があります: %1").arg(*where));
    return std::nullopt;
}
} // namespace

QString BuildCsvText(const QList<StoredDay> &days)
{
    QString text = csvHeader();
    for (const StoredDay &day : days)
        text += csvRows(day);
    return text;
}

QString BuildMonthlyText(const RangeSelection &selection, const QList<StoredDay> &days)
{
    QString text = monthlyHead(selection);
    for (const StoredDay &day : days)
        text += monthlyDayBlock(day);
    return text + monthlyTotals(days);
}

std::optional<QString> FindNonCp932(const RangeSelection &selection, const QList<StoredDay> &days)
{
    const auto named = [](const QString &where, const QString &c) {
        return QStringLiteral("%1「%2」").arg(where, c);
    };
    if (const auto c = firstNonCp932(selection.codePattern.value_or(QString())))
        return named(QStringLiteral("PJコード"), *c);
    for (const StoredDay &day : days) {
        const QString place = day.date + QLatin1Char(' ') + day.code + QLatin1Char(' ');
        const std::pair<QString, QString> fields[] = {{QStringLiteral("PJコード"), day.code},
                                                      {QStringLiteral("PJ名称"), day.name},
                                                      {QStringLiteral("日付"), day.date},
                                                      {QStringLiteral("開始"), day.startTime},
                                                      {QStringLiteral("終了"), day.endTime}};
        for (const auto &[what, value] : fields)
            if (const auto c = firstNonCp932(value))
                return named(place + what, *c);
        for (const WorkItem &item : day.items) {
            const std::pair<QString, QString> itemFields[] = {{QStringLiteral("作業項目№"), item.code},
                                                              {QStringLiteral("作業項目"), item.head},
                                                              {QStringLiteral("作業内容"), item.detail}};
            for (const auto &[what, value] : itemFields)
                if (const auto c = firstNonCp932(value))
                    return named(place + QStringLiteral("作業項目№") + item.code + QLatin1Char(' ') + what,
                                 *c);
        }
    }
    return std::nullopt;
}

std::optional<QString> WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    return replaceFile(path, [&](QSaveFile &file) { return file.write(bytes) == bytes.size(); });
}

std::optional<QString> WriteCsv(const QString &path, const QList<StoredDay> &days, CsvEncoding encoding)
{
    const bool cp932 = encoding == CsvEncoding::Cp932;
    if (cp932)
        if (const auto refused = cp932Refusal(path, RangeSelection{}, days))
            return refused;
    return writeByDay(path, days, cp932 ? QByteArray() : QByteArray("\xEF\xBB\xBF"), csvHeader(), csvRows,
                      QString(), cp932);
}

std::optional<QString> WriteMonthlyText(const QString &path, const RangeSelection &selection,
                                        const QList<StoredDay> &days)
{
    if (const auto refused = cp932Refusal(path, selection, days))
        return refused;
    return writeByDay(path, days, QByteArray(), monthlyHead(selection), monthlyDayBlock, monthlyTotals(days),
                      true);
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

// Writes the workbook to file with libxlsxwriter; the error text, or nothing.
std::optional<QString> buildWorkbook(const QByteArray &file, const QByteArray &tmpdir,
                                     const RangeSelection &selection, const QList<StoredDay> &days)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    lxw_workbook *book = workbook_new_opt(file.constData(), &options);
    if (!book)
        return QStringLiteral("ブックを作れません");
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
    const auto text = [&](lxw_worksheet *on, lxw_row_t row, lxw_col_t column, const QString &value,
                          lxw_format *format = nullptr) {
        if (!value.isEmpty())
            keep(worksheet_write_string(on, row, column, value.toUtf8().constData(), format));
    };
    const auto time = [&](lxw_row_t row, lxw_col_t column, const QString &value) {
        if (const auto minutes = DayMinutes(QStringLiteral("00:00"), value))
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

    lxw_row_t row = 1;
    for (const StoredDay &day : days) {
        const QDate date = QDate::fromString(day.date, QStringLiteral("yyyy/MM/dd"));
        const auto minutes = DayMinutes(day.startTime, day.endTime);
        bool first = true;
        for (const WorkItem &item : rowsOf(day)) {
            if (date.isValid()) {
                lxw_datetime when = dateOf(date);
                keep(worksheet_write_datetime(sheet, row, 0, &when, dateFormat));
            } else {
                text(sheet, row, 0, day.date);
            }
            text(sheet, row, 1, day.code);
            text(sheet, row, 2, day.name);
            time(row, 3, day.startTime);
            time(row, 4, day.endTime);
            if (minutes)
                keep(worksheet_write_number(sheet, row, 5, *minutes / MinutesPerDay, hoursFormat));
            text(sheet, row, 6, item.code);
            text(sheet, row, 7, item.head);
            text(sheet, row, 8, crLfBreaks(item.detail).replace(CrLf, QStringLiteral("\n")), wrapFormat);
            // A day's hours once, on its first row, so that sums over this column count each day once.
            const QByteArray r = QByteArray::number(row + 1), above = QByteArray::number(row);
            const QByteArray formula =
                "=IF(AND(A" + r + "=A" + above + ",B" + r + "=B" + above + "),0,F" + r + ")";
            keep(worksheet_write_formula_num(sheet, row, dayHoursColumn, formula.constData(), hoursFormat,
                                             first && minutes ? *minutes / MinutesPerDay : 0.0));
            first = false;
            ++row;
        }
    }

    // 集計: a row per project, a column per month, and the totals; every cell a formula over 日報.
    const QStringList months = MonthsOf(selection.from, selection.to);
    const RangeTotals totals = TotalRange(days);
    QList<RangeTotals> monthTotals;
    for (const QString &month : months) {
        QList<StoredDay> ofMonth;
        for (const StoredDay &day : days)
            if (day.date.startsWith(month))
                ofMonth.append(day);
        monthTotals.append(TotalRange(ofMonth));
    }
    const auto minutesIn = [](const RangeTotals &of, const QString &code) -> qint64 {
        for (const ProjectTotal &project : of.projects)
            if (project.code.compare(code, Qt::CaseInsensitive) == 0)
                return project.minutes;
        return 0;
    };
    const lxw_col_t totalColumn = lxw_col_t(2 + months.size());
    const lxw_row_t totalRow = lxw_row_t(1 + totals.projects.size());
    const QByteArray firstMonth = columnName(2), lastMonth = columnName(int(totalColumn) - 1);
    worksheet_set_column(summary, 1, 1, 24, nullptr);
    worksheet_set_column(summary, 2, totalColumn, 10, nullptr);
    text(summary, 0, 0, QStringLiteral("PJコード"));
    text(summary, 0, 1, QStringLiteral("PJ名称"));
    for (int m = 0; m < months.size(); ++m) {
        lxw_datetime when =
            dateOf(QDate::fromString(months.at(m) + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd")));
        keep(worksheet_write_datetime(summary, 0, lxw_col_t(2 + m), &when, monthFormat));
    }
    text(summary, 0, totalColumn, QStringLiteral("合計"));
    for (int p = 0; p < totals.projects.size(); ++p) {
        const ProjectTotal &project = totals.projects.at(p);
        const lxw_row_t at = lxw_row_t(1 + p);
        const QByteArray r = QByteArray::number(at + 1);
        text(summary, at, 0, project.code);
        text(summary, at, 1, project.name);
        for (int m = 0; m < months.size(); ++m) {
            const QByteArray c = columnName(2 + m);
            const QByteArray formula = "=SUMIFS('日報'!$J:$J,'日報'!$B:$B,$A" + r + ",'日報'!$A:$A,\">=\"&" +
                                       c + "$1,'日報'!$A:$A,\"<\"&DATE(YEAR(" + c + "$1),MONTH(" + c +
                                       "$1)+1,1))";
            keep(worksheet_write_formula_num(summary, at, lxw_col_t(2 + m), formula.constData(), hoursFormat,
                                             minutesIn(monthTotals.at(m), project.code) / MinutesPerDay));
        }
        const QByteArray sum = "=SUM(" + firstMonth + r + ":" + lastMonth + r + ")";
        keep(worksheet_write_formula_num(summary, at, totalColumn, sum.constData(), hoursFormat,
                                         project.minutes / MinutesPerDay));
    }
    text(summary, totalRow, 0, QStringLiteral("合計"));
    for (int m = 0; m <= months.size(); ++m) {
        const QByteArray c = columnName(2 + m);
        const QByteArray sum = "=SUM(" + c + "2:" + c + QByteArray::number(totalRow) + ")";
        const qint64 minutes = m < months.size() ? monthTotals.at(m).grand.minutes : totals.grand.minutes;
        keep(worksheet_write_formula_num(summary, totalRow, lxw_col_t(2 + m), sum.constData(), hoursFormat,
                                         minutes / MinutesPerDay));
    }

    keep(workbook_close(book));
    if (error != LXW_NO_ERROR)
        return QString::fromUtf8(lxw_strerror(error));
    return std::nullopt;
}
} // namespace

std::optional<QString> WriteXlsx(const QString &path, const RangeSelection &selection,
                                 const QList<StoredDay> &days)
{
    // libxlsxwriter writes a file of its own; it is made in a private folder and copied into place whole.
    QTemporaryDir work;
    if (!work.isValid())
        return failure(path, QStringLiteral("一時フォルダを作れません"));
    const QString built = work.filePath(QStringLiteral("book.xlsx"));
    if (const auto error =
            buildWorkbook(QFile::encodeName(built), QFile::encodeName(work.path()), selection, days))
        return failure(path, *error);
    QFile source(built);
    if (!source.open(QIODevice::ReadOnly))
        return failure(path, source.errorString());
    return replaceFile(path, [&](QSaveFile &file) {
        QByteArray chunk;
        while (!(chunk = source.read(1 << 20)).isEmpty())
            if (file.write(chunk) != chunk.size())
                return false;
        return source.error() == QFileDevice::NoError;
    });
}

} // namespace worvane
