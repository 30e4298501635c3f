// worvane-report: the totals of a date range, or its export to a file, from the command line.
#include "app/startup.h"
#include "ranges/rangeexport.h"
#include "store/open/openstore.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>

using namespace worvane;

namespace
{
enum Exit { Success = 0, Failed = 1, BadArguments = 2 };

const char *const Usage =
    "使い方: worvane-report [--db PATH] totals --from YYYY-MM-DD --to YYYY-MM-DD [--project PATTERN]\n"
    "                       [--person all|NAME]\n"
    "        worvane-report [--db PATH] export --from YYYY-MM-DD --to YYYY-MM-DD [--project PATTERN]\n"
    "                       [--person all|NAME]\n"
    "                       --format csv|csv-cp932|xlsx|text --out FILE\n"
    "        worvane-report [--db PATH] search TEXT [--project PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
    "  totals  プロジェクトごとにコード、名称、日数、作業項目数、時間（h:mm）をタブ区切りで、最後に合計を出力します。\n"
    "  export  期間の日報を CSV（BOM 付き UTF-8 または CP932）、Excel ブック、月報テキスト（CP932）に\n"
    "          書き出します。書き出しに失敗したとき、FILE は元のままです。\n"
    "  search  TEXT の語をすべて作業項目または作業内容に含む作業項目の日付、コード、№、作業項目を\n"
    "          タブ区切りで新しい順に出力します。大文字と小文字、全角と半角は区別しません。\n"
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
};

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
        if (target || arg == QLatin1String("--project")) {
            if (++i == args.size())
                return QStringLiteral("%1 には値が必要です").arg(arg);
            if (target)
                *target = args.at(i);
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
    if (parsed.command != QLatin1String("totals") && !isExport && !isSearch)
        return QStringLiteral("コマンド（totals、export、search）を指定してください");
    if (isSearch && parsed.text.trimmed().isEmpty())
        return QStringLiteral("search には検索語が必要です");
    if (!isSearch && (parsed.from.isEmpty() || parsed.to.isEmpty()))
        return QStringLiteral("--from と --to を指定してください");
    if (isExport != !parsed.format.isEmpty() || isExport != !parsed.out.isEmpty())
        return isExport ? QStringLiteral("export には --format と --out が必要です")
                        : QStringLiteral("--format と --out は export で指定します");
    static const QStringList formats{QStringLiteral("csv"), QStringLiteral("csv-cp932"),
                                     QStringLiteral("xlsx"), QStringLiteral("text")};
    if (isExport && !formats.contains(parsed.format))
        return QStringLiteral("不明な形式です: %1（csv、csv-cp932、xlsx、text のどれか）").arg(parsed.format);
    if (isSearch && !parsed.person.isEmpty())
        return QStringLiteral("--person は totals と export で指定します");
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
    QCoreApplication app(argc, argv);
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
    // A search may leave either end of its range open.
    const auto from = isSearch && arguments.from.isEmpty() ? QString() : storedDate(arguments.from);
    const auto to = isSearch && arguments.to.isEmpty() ? QString() : storedDate(arguments.to);
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
    else
        failure = WriteMonthlyText(target, selection, days);
    if (failure) {
        err << "worvane-report: " << *failure << "\n";
        return Failed;
    }
    return Success;
}
