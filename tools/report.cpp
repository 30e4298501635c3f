// worvane-report: the totals of a date range, or its export to a file, from the command line.
#include "app/startup.h"
#include "print/monthpdf.h"
#include "ranges/rangeexport.h"
#include "core/holidays.h"
#include "core/clock.h"
#include "store/open/openstore.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSet>
#include <QHash>
#include <QDate>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstring>
#include <memory>

using namespace worvane;

namespace
{
enum Exit { Success = 0, Failed = 1, BadArguments = 2 };

const char *const Usage =
    "使い方: worvane-report [--db PATH] totals --from YYYY-MM-DD --to YYYY-MM-DD [--project PATTERN]\n"
    "                       [--person all|NAME]\n"
    "        worvane-report [--db PATH] export --from YYYY-MM-DD --to YYYY-MM-DD [--project PATTERN]\n"
    "                       [--person all|NAME]\n"
    "                       --format csv|csv-cp932|xlsx|text|pdf --out FILE\n"
    "        worvane-report [--db PATH] search TEXT [--project PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
    "        worvane-report [--db PATH] status --from YYYY-MM-DD --to YYYY-MM-DD [--person all|NAME]\n"
    "        worvane-report [--db PATH] missing --from YYYY-MM-DD --to YYYY-MM-DD\n"
    "        worvane-report [--db PATH] history --code CODE --date YYYY-MM-DD\n"
    "        worvane-report [--db URI] approve --person NAME (--date YYYY-MM-DD | --month YYYY-MM) [--comment TEXT]\n"
    "        worvane-report [--db URI] return --person NAME --date YYYY-MM-DD [--comment TEXT]\n"
    "        worvane-report [--db URI] comment --person NAME --date YYYY-MM-DD --comment TEXT\n"
    "        worvane-report [--db URI] close --through YYYY-MM-DD\n"
    "        worvane-report [--db URI] reopen (--person NAME --date YYYY-MM-DD | --month YYYY-MM)\n"
    "  totals  プロジェクトごとにコード、名称、日数、作業項目数、時間（h:mm）をタブ区切りで、最後に合計を出力します。\n"
    "  export  期間の日報を CSV（BOM 付き UTF-8 または CP932）、Excel ブック、月報テキスト（CP932）、\n"
    "          月報 PDF（A4 横、一覧・グラフ・作業項目）に書き出します。書き出しに失敗したとき、FILE は元のままです。\n"
    "  search  TEXT の語をすべて作業項目または作業内容に含む作業項目の日付、コード、№、作業項目を\n"
    "          タブ区切りで新しい順に出力します。大文字と小文字、全角と半角は区別しません。\n"
    "  status  各人の稼働日と状態のある日を「担当者、日付、状態（未入力、提出済、承認済、差戻し）」のタブ区切りで出力します。\n"
    "  missing 自分の未入力の稼働日（今日より前）を1行に1日出力します。\n"
    "  history 自分の日報の保存された版を新しい順に「保存日時、保存した人、時間（開始-終了）、作業項目数」の\n"
    "          タブ区切りで出力します（ファイルでは保存した人は空）。\n"
    "  approve、return、comment、close、reopen  リーダーの操作（承認、差戻し、コメント、締め、再開）。\n"
    "  --db       データベースファイル。省略すると設定ファイルのもの。\n"
    "  --project  プロジェクトコードのパターン（* は任意の文字列、? は任意の1文字、大文字小文字を区別しない）。\n"
    "  --person   チームのデータベース（postgresql://）で worvane_lead のメンバーが指定します: all、または\n"
    "             一人のログイン名。totals と export は各日の担当者も出力します。\n"
    "  日付は YYYY-MM-DD または YYYY/MM/DD。検索語に引用符は要りません。\n"
    "  終了コード: 0 完了、1 失敗（理由は標準エラー出力）、2 引数の誤り。\n";

struct Arguments {
    QString command;
    QString text; // the words of a search
    QString db;
    QString from;
    QString to;
    std::optional<QString> project;
    QString person;
    QString format;
    QString out;
    QString code;    // history: the day's project
    QString date;    // a lead's action: the person's day; history: the day
    QString month;   // approve or reopen a month: YYYY-MM
    QString through; // close: the last day closed
    std::optional<QString> comment;
};

// The lead's actions, and the commands that read days rather than a range of reports.
bool isTeamAction(const QString &command)
{
    static const QStringList actions{QStringLiteral("approve"), QStringLiteral("return"), QStringLiteral("comment"),
                                     QStringLiteral("close"), QStringLiteral("reopen")};
    return actions.contains(command);
}

// The arguments, or the reason they are not usable.
std::optional<QString> parse(const QStringList &args, Arguments &parsed)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        QString *target = nullptr;
        if (arg == QLatin1String("--db"))
            target = &parsed.db;
        else if (arg == QLatin1String("--from"))
            target = &parsed.from;
        else if (arg == QLatin1String("--to"))
            target = &parsed.to;
        else if (arg == QLatin1String("--format"))
            target = &parsed.format;
        else if (arg == QLatin1String("--out"))
            target = &parsed.out;
        else if (arg == QLatin1String("--person"))
            target = &parsed.person;
        else if (arg == QLatin1String("--date"))
            target = &parsed.date;
        else if (arg == QLatin1String("--month"))
            target = &parsed.month;
        else if (arg == QLatin1String("--through"))
            target = &parsed.through;
        else if (arg == QLatin1String("--code"))
            target = &parsed.code;
        if (target || arg == QLatin1String("--project") || arg == QLatin1String("--comment")) {
            if (++i == args.size())
                return QStringLiteral("%1 には値が必要です").arg(arg);
            if (target)
                *target = args.at(i);
            else if (arg == QLatin1String("--comment"))
                parsed.comment = args.at(i);
            else
                parsed.project = args.at(i);
        } else if (!arg.startsWith(QLatin1String("--")) && parsed.command.isEmpty()) {
            parsed.command = arg;
        } else if (parsed.command == QLatin1String("search") && !arg.startsWith(QLatin1String("--"))) {
            // The words of a search, quoted together or not.
            parsed.text = parsed.text.isNull() ? arg : parsed.text + QLatin1Char(' ') + arg;
        } else {
            return QStringLiteral("不明な引数です: %1").arg(arg);
        }
    }
    const bool isExport = parsed.command == QLatin1String("export");
    const bool isSearch = parsed.command == QLatin1String("search");
    const QString &command = parsed.command;
    if (isTeamAction(command)) {
        if (!parsed.from.isEmpty() || !parsed.to.isEmpty() || parsed.project || !parsed.format.isEmpty() ||
            !parsed.out.isEmpty())
            return QStringLiteral("%1 には --person、--date、--month、--through、--comment だけを指定します").arg(command);
        const bool day = !parsed.person.isEmpty() && !parsed.date.isEmpty() && parsed.month.isEmpty();
        const bool personsMonth = !parsed.person.isEmpty() && parsed.date.isEmpty() && !parsed.month.isEmpty();
        const bool month = parsed.person.isEmpty() && parsed.date.isEmpty() && !parsed.month.isEmpty();
        const bool hasThrough = !parsed.through.isEmpty();
        const bool fits = command == QLatin1String("close")    ? hasThrough && parsed.person.isEmpty() &&
                                                                      parsed.date.isEmpty() && parsed.month.isEmpty() &&
                                                                      !parsed.comment
                          : command == QLatin1String("reopen")  ? !hasThrough && (day || month) && !parsed.comment
                          : command == QLatin1String("approve") ? !hasThrough && (day || (personsMonth && !parsed.comment))
                          : command == QLatin1String("return")  ? !hasThrough && day
                                                                : !hasThrough && day && parsed.comment &&
                                                                      !parsed.comment->trimmed().isEmpty();
        if (!fits)
            return QStringLiteral("%1 の引数が足りないか多すぎます（使い方を見てください）").arg(command);
        return std::nullopt;
    }
    if (command == QLatin1String("history")) {
        if (parsed.code.isEmpty() || parsed.date.isEmpty() || !parsed.from.isEmpty() || !parsed.to.isEmpty() ||
            parsed.project || !parsed.person.isEmpty() || !parsed.format.isEmpty() || !parsed.out.isEmpty() ||
            !parsed.month.isEmpty() || !parsed.through.isEmpty() || parsed.comment)
            return QStringLiteral("history には --code と --date だけを指定します");
        return std::nullopt;
    }
    if (!parsed.code.isEmpty())
        return QStringLiteral("--code は history で指定します");
    if (!parsed.date.isEmpty() || !parsed.month.isEmpty() || !parsed.through.isEmpty() || parsed.comment)
        return QStringLiteral("--date、--month、--through、--comment はリーダーの操作で指定します");
    if (command != QLatin1String("totals") && !isExport && !isSearch && command != QLatin1String("status") &&
        command != QLatin1String("missing"))
        return QStringLiteral("コマンド（totals、export、search、status、missing、history、approve、return、comment、"
                              "close、reopen）を指定してください");
    if (command == QLatin1String("missing") && !parsed.person.isEmpty())
        return QStringLiteral("missing は自分の日だけを出力します（--person は指定しません）");
    if (isSearch && parsed.text.trimmed().isEmpty())
        return QStringLiteral("search には検索語が必要です");
    if (!isSearch && (parsed.from.isEmpty() || parsed.to.isEmpty()))
        return QStringLiteral("--from と --to を指定してください");
    if (isExport != !parsed.format.isEmpty() || isExport != !parsed.out.isEmpty())
        return isExport ? QStringLiteral("export には --format と --out が必要です")
                        : QStringLiteral("--format と --out は export で指定します");
    static const QStringList formats{QStringLiteral("csv"), QStringLiteral("csv-cp932"), QStringLiteral("xlsx"),
                                     QStringLiteral("text"), QStringLiteral("pdf")};
    if (isExport && !formats.contains(parsed.format))
        return QStringLiteral("不明な形式です: %1（csv、csv-cp932、xlsx、text、pdf のどれか）").arg(parsed.format);
    if (isSearch && !parsed.person.isEmpty())
        return QStringLiteral("--person は totals、export、status で指定します");
    return std::nullopt;
}

// "2026-01-31" or "2026/01/31" as the stored "2026/01/31", or nothing for a date that does not exist.
std::optional<QString> storedDate(const QString &typed)
{
    QDate date = QDate::fromString(typed, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        date = QDate::fromString(typed, QStringLiteral("yyyy/MM/dd"));
    if (!date.isValid())
        return std::nullopt;
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}
// "2026-01" or "2026/01" as "2026/01", or nothing for what is not a month.
std::optional<QString> storedMonth(const QString &typed)
{
    const std::optional<QString> first = storedDate(typed + QStringLiteral("-01"));
    const std::optional<QString> firstSlashed = storedDate(typed + QStringLiteral("/01"));
    const std::optional<QString> date = first ? first : firstSlashed;
    return date ? std::optional(date->left(7)) : std::nullopt;
}

// A store failure said once, in the user's words where there are some; the exit status that goes with it.
int failure(const Store &store, const StoreError &error, QTextStream &err)
{
    err << "worvane-report: ";
    switch (error.rule) {
    case StoreError::Rule::LeadOnly:
        err << "リーダー（worvane_lead のメンバー）だけができる操作です\n";
        return BadArguments;
    case StoreError::Rule::TeamOnly:
        err << "チームのデータベース（postgresql://）でだけできる操作です\n";
        return BadArguments;
    case StoreError::Rule::NoSavedDay:
        err << "保存されていない日報です\n";
        return Failed;
    default:
        err << store.name() << ": " << error.text << "\n";
        return Failed;
    }
}

// approve, return, comment, close, reopen: each prints what it did.
int runTeamAction(Store &store, const Arguments &a, QTextStream &out, QTextStream &err)
{
    const std::optional<QString> date = a.date.isEmpty() ? std::optional(QString()) : storedDate(a.date);
    const std::optional<QString> through = a.through.isEmpty() ? std::optional(QString()) : storedDate(a.through);
    const std::optional<QString> month = a.month.isEmpty() ? std::optional(QString()) : storedMonth(a.month);
    if (!date || !through || !month) {
        err << "worvane-report: 日付が不正です: " << (!date ? a.date : !through ? a.through : a.month)
            << "（YYYY-MM-DD または YYYY/MM/DD、月は YYYY-MM で指定してください）\n";
        return BadArguments;
    }
    const QString comment = a.comment.value_or(QString());
    const QString day = a.person + QLatin1Char(' ') + *date;
    if (a.command == QLatin1String("approve") && !month->isEmpty()) {
        const Result<int> approved = store.approveMonth(a.person, *month);
        if (!approved.ok())
            return failure(store, *approved.error, err);
        out << "承認しました: " << a.person << ' ' << *month << " の " << approved.value << " 日\n";
    } else if (a.command == QLatin1String("approve") || a.command == QLatin1String("return")) {
        const Result<QString> state = store.reviewDay(
            a.person, *date, a.command == QLatin1String("approve") ? Store::Verdict::Approve : Store::Verdict::Return,
            comment);
        if (!state.ok())
            return failure(store, *state.error, err);
        out << state.value << ": " << day << '\n';
    } else if (a.command == QLatin1String("comment")) {
        if (const Outcome done = store.commentDay(a.person, *date, comment); !done.ok())
            return failure(store, *done.error, err);
        out << "コメントしました: " << day << '\n';
    } else if (a.command == QLatin1String("close")) {
        if (const Outcome done = store.closeThrough(*through); !done.ok())
            return failure(store, *done.error, err);
        out << "締めました: " << *through << " まで\n";
    } else {
        const QString period = month->isEmpty() ? *date : *month;
        if (const Outcome done = store.reopen(a.person, period); !done.ok())
            return failure(store, *done.error, err);
        out << "再開しました: " << (a.person.isEmpty() ? period : day) << '\n';
    }
    return Success;
}

// missing: the reader's working days of the range before today without a saved day.
int printMissing(Store &store, const QString &from, const QString &to, const DaysOff &off, QTextStream &out,
                 QTextStream &err)
{
    const Result<QList<DaySummary>> days =
        store.summarizeRange({from, to, std::nullopt, {}}, Store::ItemCounts::NotCounted);
    if (!days.ok())
        return failure(store, *days.error, err);
    QSet<QString> saved; // the reader's own days only, whatever person they are named with
    for (const DaySummary &day : days.value)
        saved.insert(day.date);
    const QDate today = Clock::today();
    for (QDate day = QDate::fromString(from, QStringLiteral("yyyy/MM/dd"));
         day <= QDate::fromString(to, QStringLiteral("yyyy/MM/dd")) && day < today; day = day.addDays(1))
        if (off.isWorkingDay(day) && !saved.contains(day.toString(QStringLiteral("yyyy/MM/dd"))))
            out << day.toString(QStringLiteral("yyyy/MM/dd")) << '\n';
    return Success;
}

// status: person, date and state of each working day and each day with a state: 未入力 for a working day
// before today without a saved day. A file has no states and its person's name is empty.
int printStatus(Store &store, const RangeSelection &range, const DaysOff &off, QTextStream &out, QTextStream &err)
{
    const Result<QList<DayState>> states = store.dayStates(range);
    const Result<TeamPeople> team = store.teamPeople();
    for (const std::optional<StoreError> &error : {states.error, team.error})
        if (error)
            return failure(store, *error, err);
    QStringList people;
    switch (range.people.kind) {
    case People::Kind::Own:
        people << team.value.self;
        break;
    case People::Kind::One:
        people << range.people.name;
        break;
    case People::Kind::Everyone:
        people = team.value.names;
        break;
    }
    QHash<std::pair<QString, QString>, QString> stateOf; // a saved day's state, empty where it has none
    for (const DayState &state : states.value)
        stateOf.insert({state.person, state.date}, state.state);
    const QDate today = Clock::today();
    for (QDate day = QDate::fromString(range.from, QStringLiteral("yyyy/MM/dd"));
         day <= QDate::fromString(range.to, QStringLiteral("yyyy/MM/dd")); day = day.addDays(1)) {
        const QString date = day.toString(QStringLiteral("yyyy/MM/dd"));
        for (const QString &person : people) {
            const auto found = stateOf.constFind({person, date});
            const QString state =
                DayStatus(off, day, today, found == stateOf.cend() ? QString() : *found, found != stateOf.cend());
            if (!state.isEmpty())
                out << person << '\t' << date << '\t' << state << '\n';
        }
    }
    return Success;
}

// history: the day's versions, newest first.
int printHistory(Store &store, const Arguments &arguments, QTextStream &out, QTextStream &err)
{
    const std::optional<QString> date = storedDate(arguments.date);
    if (!date) {
        err << "worvane-report: 日付が不正です: " << arguments.date << "（YYYY-MM-DD または YYYY/MM/DD で指定してください）\n";
        return BadArguments;
    }
    const Result<QList<DayVersion>> versions = store.dayHistory(arguments.code, *date);
    if (!versions.ok())
        return failure(store, *versions.error, err);
    for (const DayVersion &version : versions.value)
        out << version.savedAt << '\t' << version.person << '\t' << version.startTime << '-' << version.endTime << '\t'
            << version.items.size() << '\n';
    return Success;
}

// Every hit, page after page; the index is built first when the file has none and may take one.
int printSearch(Store &store, const SearchRequest &request, QTextStream &out, QTextStream &err)
{
    if (const Result<IndexStatus> status = store.indexStatus();
        status.ok() && !status.value.ready && status.value.writable) {
        if (const Outcome built = store.buildIndex({}); !built.ok())
            err << "worvane-report: 全文検索の索引を作成できませんでした（索引なしで検索します）: " << built.error->text
                << "\n";
    }
    std::optional<QString> before = QString();
    while (before) {
        const Result<SearchPage> found = store.search(request, *before, 100);
        if (!found.ok()) {
            err << "worvane-report: " << store.name() << " を検索できませんでした: " << found.error->text << "\n";
            return Failed;
        }
        const SearchPage &page = found.value;
        for (const SearchHit &hit : page.hits)
            out << hit.date << '\t' << hit.code << '\t' << hit.itemCode << '\t'
                << QString(hit.head).replace(QLatin1Char('\t'), QLatin1Char(' ')) << '\n';
        before = page.nextBefore;
    }
    return Success;
}
} // namespace

int main(int argc, char **argv)
{
    // A PDF is drawn with fonts, which take a QGuiApplication (on no screen: offscreen); the rest need
    // only the core.
    bool drawn = false;
    for (int i = 1; i + 1 < argc; ++i)
        drawn = drawn || (std::strcmp(argv[i], "--format") == 0 && std::strcmp(argv[i + 1], "pdf") == 0);
    if (drawn && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        drawn ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    // Each failure is told once, by this tool, on standard error: the program's own log lines would
    // repeat it.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("worvane.*=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        out << Usage;
        return Success;
    }
    if (args.contains(QLatin1String("--version"))) {
        out << "worvane-report " << WORVANE_VERSION << "\n";
        return Success;
    }

    Arguments arguments;
    if (const auto problem = parse(args, arguments)) {
        err << "worvane-report: " << *problem << "\n" << Usage;
        return BadArguments;
    }
    const bool isSearch = arguments.command == QLatin1String("search");
    const bool isAction = isTeamAction(arguments.command);
    const bool isHistory = arguments.command == QLatin1String("history");
    // A search may leave either end of its range open; a lead's action and a day's history have none.
    const bool rangeless = isSearch || isAction || isHistory;
    const auto from = rangeless && arguments.from.isEmpty() ? QString() : storedDate(arguments.from);
    const auto to = rangeless && arguments.to.isEmpty() ? QString() : storedDate(arguments.to);
    if (!from || !to) {
        err << "worvane-report: 日付が不正です: " << (!from ? arguments.from : arguments.to)
            << "（YYYY-MM-DD または YYYY/MM/DD で指定してください）\n";
        return BadArguments;
    }
    if (!to->isEmpty() && *to < *from) {
        err << "worvane-report: 期間が不正です: --from " << arguments.from << " が --to " << arguments.to
            << " より後です\n";
        return BadArguments;
    }

    const Settings settings = LoadSettings(QCoreApplication::applicationDirPath(), UserConfigFolder());
    QString db = arguments.db;
    if (db.isEmpty()) {
        db = settings.databasePath;
        if (db.isEmpty()) {
            err << "worvane-report: " << settings.iniPath << " にデータベースの指定がありません。--db で指定してください\n";
            return Failed;
        }
    }
    const std::unique_ptr<Store> store = OpenStore(db);
    if (const auto missing = store->missingAtStart()) {
        err << "worvane-report: データベースを開けません: " << missing->text << "\n";
        return Failed;
    }

    if (isSearch)
        return printSearch(*store, SearchRequest{arguments.text, arguments.project, *from, *to}, out, err);
    if (isAction)
        return runTeamAction(*store, arguments, out, err);
    if (isHistory)
        return printHistory(*store, arguments, out, err);
    if (arguments.command == QLatin1String("missing"))
        return printMissing(*store, *from, *to, DaysOff::load(settings.companyHolidays), out, err);

    const People people = arguments.person.isEmpty()            ? People{}
                          : arguments.person == QLatin1String("all") ? People::everyone()
                                                                     : People::one(arguments.person);
    // Other people's days are a lead's to read: a member asking for them is told so, rather than given
    // an empty answer (the server would show them nothing).
    if (people.others()) {
        const Result<TeamPeople> team = store->teamPeople();
        if (!team.ok()) {
            err << "worvane-report: " << store->name() << " を読めませんでした: " << team.error->text << "\n";
            return Failed;
        }
        if (team.value.self.isEmpty()) {
            err << "worvane-report: --person はチームのデータベース（postgresql://）で指定します。ファイルには一人分の"
                   "日報しかありません\n";
            return BadArguments;
        }
        if (!team.value.lead && !(people.kind == People::Kind::One && people.name == team.value.self)) {
            err << "worvane-report: --person " << arguments.person
                << ": 他の人の日報を読めるのはリーダー（worvane_lead のメンバー）だけです\n";
            return BadArguments;
        }
    }
    const RangeSelection selection{*from, *to, arguments.project, people};
    if (arguments.command == QLatin1String("status"))
        return printStatus(*store, selection, DaysOff::load(settings.companyHolidays), out, err);
    if (arguments.command == QLatin1String("totals")) {
        const Result<QList<DaySummary>> range = store->summarizeRange(selection, Store::ItemCounts::Counted);
        if (!range.ok()) {
            err << "worvane-report: " << store->name() << " を読めませんでした: " << range.error->text << "\n";
            return Failed;
        }
        const RangeTotals totals = TotalRange(range.value);
        const auto line = [&out, &people](const QString &code, const QString &name, const ProjectTotal &total) {
            if (people.others())
                out << total.person << '\t';
            out << code << '\t' << name << '\t' << total.days << '\t' << total.items << '\t'
                << FormatHours(total.minutes) << '\n';
        };
        for (const ProjectTotal &project : totals.projects)
            line(project.code, project.name, project);
        line(QStringLiteral("合計"), QString(), totals.grand);
        return Success;
    }

    const DaySource days = RangeDays(*store, selection);
    // Never over the database read from, nor over the settings file.
    const FileTarget target{arguments.out, FilesInUse(db, settings.iniPath)};
    std::optional<QString> failure;
    if (arguments.format == QLatin1String("csv"))
        failure = WriteCsv(target, days, CsvEncoding::Utf8WithBom, people.others());
    else if (arguments.format == QLatin1String("csv-cp932"))
        failure = WriteCsv(target, days, CsvEncoding::Cp932, people.others());
    else if (arguments.format == QLatin1String("xlsx"))
        failure = WriteXlsx(target, selection, days);
    else if (arguments.format == QLatin1String("pdf"))
        failure = WriteMonthPdf(target, selection, days, DaysOff::load(settings.companyHolidays));
    else
        failure = WriteMonthlyText(target, selection, days);
    if (failure) {
        err << "worvane-report: " << *failure << "\n";
        return Failed;
    }
    return Success;
}
