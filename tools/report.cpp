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
    "usage: worvane-report [--db PATH] totals --from YYYY-MM-DD --to YYYY-MM-DD [--project PATTERN]\n"
    "                      [--person all|NAME]\n"
    "       worvane-report [--db PATH] export --from YYYY-MM-DD --to YYYY-MM-DD [--project PATTERN]\n"
    "                      [--person all|NAME]\n"
    "                      --format csv|csv-cp932|xlsx|text --out FILE\n"
    "       worvane-report [--db PATH] search TEXT [--project PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
    "  totals  prints code, name, days, items and hours (h:mm) per project, TAB-separated, then 合計.\n"
    "  export  writes the range's days as CSV (UTF-8 with BOM, or CP932), an Excel workbook or a\n"
    "          monthly report text (CP932); a failed export leaves FILE as it was.\n"
    "  search  prints date, code, item number and title of every item whose title or detail holds\n"
    "          all the words of TEXT, TAB-separated, newest first. Letter case and full-width or\n"
    "          half-width forms do not matter.\n"
    "  --db       the database file; otherwise the one the settings file names.\n"
    "  --project  a project code pattern: * any characters, ? one character, letter case ignored.\n"
    "  --person   on a team database (postgresql://), for a member of worvane_lead: all, or one\n"
    "             person's login name; totals and exports then name each day's person.\n"
    "  Dates are YYYY-MM-DD or YYYY/MM/DD. The words of a search need no quotes.\n"
    "  Exit status: 0 done, 1 failed (the reason on standard error), 2 bad arguments.\n";

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
                return QStringLiteral("%1 needs a value").arg(arg);
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
            return QStringLiteral("unexpected argument: %1").arg(arg);
        }
    }
    const bool isExport = parsed.command == QLatin1String("export");
    const bool isSearch = parsed.command == QLatin1String("search");
    if (parsed.command != QLatin1String("totals") && !isExport && !isSearch)
        return QStringLiteral("name a command: totals, export or search");
    if (isSearch && parsed.text.trimmed().isEmpty())
        return QStringLiteral("search needs the words to find");
    if (!isSearch && (parsed.from.isEmpty() || parsed.to.isEmpty()))
        return QStringLiteral("--from and --to are needed");
    if (isExport != !parsed.format.isEmpty() || isExport != !parsed.out.isEmpty())
        return isExport ? QStringLiteral("export needs --format and --out")
                        : QStringLiteral("--format and --out belong to export");
    static const QStringList formats{QStringLiteral("csv"), QStringLiteral("csv-cp932"),
                                     QStringLiteral("xlsx"), QStringLiteral("text")};
    if (isExport && !formats.contains(parsed.format))
        return QStringLiteral("unknown format: %1").arg(parsed.format);
    if (isSearch && !parsed.person.isEmpty())
        return QStringLiteral("--person belongs to totals and export");
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
            err << "worvane-report: the search index could not be built (searching without it): "
                << built.error->text << "\n";
    }
    std::optional<QString> before = QString();
    while (before) {
        const Result<SearchPage> found = store.search(request, *before, 100);
        if (!found.ok()) {
            err << "worvane-report: cannot search " << store.name() << ": " << found.error->text << "\n";
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
        err << "worvane-report: not a date: " << (!from ? arguments.from : arguments.to)
            << " (give dates as YYYY-MM-DD or YYYY/MM/DD)\n";
        return BadArguments;
    }
    if (!to->isEmpty() && *to < *from) {
        err << "worvane-report: --from " << arguments.from << " is after --to " << arguments.to << "\n";
        return BadArguments;
    }

    const Settings settings = LoadSettings(QCoreApplication::applicationDirPath(), UserConfigFolder());
    QString db = arguments.db;
    if (db.isEmpty()) {
        db = settings.databasePath;
        if (db.isEmpty()) {
            err << "worvane-report: no database is named in " << settings.iniPath << "; give one with --db\n";
            return Failed;
        }
    }
    const std::unique_ptr<Store> store = OpenStore(db);
    if (const auto missing = store->missingAtStart()) {
        err << "worvane-report: " << missing->text << "\n";
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
            err << "worvane-report: cannot read " << store->name() << ": " << team.error->text << "\n";
            return Failed;
        }
        if (team.value.self.isEmpty()) {
            err << "worvane-report: --person belongs to a team database (postgresql://); a file holds one "
                   "person's days\n";
            return BadArguments;
        }
        if (!team.value.lead && !(people.kind == People::Kind::One && people.name == team.value.self)) {
            err << "worvane-report: --person " << arguments.person
                << ": only a lead (a member of worvane_lead) reads other people's days\n";
            return BadArguments;
        }
    }
    const RangeSelection selection{*from, *to, arguments.project, people};
    if (arguments.command == QLatin1String("totals")) {
        const Result<QList<DaySummary>> range = store->summarizeRange(selection, Store::ItemCounts::Counted);
        if (!range.ok()) {
            err << "worvane-report: cannot read " << store->name() << ": " << range.error->text << "\n";
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
