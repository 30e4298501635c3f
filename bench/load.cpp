// worvane-load: a team database under a whole department's saves. N simulated people, each a real store of
// the program on a connection of its own, save days (10 to 99 items with details of a few lines, as the
// benchmark's days) one after another for a bounded time; then every day each one saved last is read back
// through that person's store and compared. Prints the saves per second, the save's latency percentiles,
// the failures, what was checked, and where the time went: this process's CPU beside the machine's, and
// the server's statements by their total time (pg_stat_statements, when the server has it loaded).
//
//   worvane-load --uri postgresql://HOST:PORT/DB --admin postgresql://postgres@HOST:PORT/DB
//                [--people N] [--seconds S] [--pause MS] [--same-day] [--prefix NAME]
// Without --pause each person saves again as soon as a save returns (a stress: every person at once, all
// the time); with it, each waits a random time of 0 to twice MS between saves, as people who type do.
// The people are login roles PREFIX0001 ... (password "secret", members of worvane_user), made through the
// admin URI when missing; the password is found the way libpq finds it (~/.pgpass, PGPASSFILE).
#include "store/open/openstore.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QUrl>

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace worvane;
using Clock = std::chrono::steady_clock;

namespace
{

struct Options {
    QString uri, admin, prefix = QStringLiteral("load");
    int people = 50;
    int seconds = 20;
    int pauseMs = 0;
    bool sameDay = false;
};

// One statement as the superuser; its rows' first column, or an error on stderr.
std::vector<std::string> admin(const QString &uri, const std::string &sql)
{
    std::vector<std::string> rows;
    PGconn *conn = PQconnectdb(uri.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "admin: %s", PQerrorMessage(conn));
        PQfinish(conn);
        return rows;
    }
    PGresult *result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        std::fprintf(stderr, "admin: %s", PQresultErrorMessage(result));
    else
        for (int r = 0; r < PQntuples(result); ++r)
            rows.emplace_back(PQgetvalue(result, r, 0));
    PQclear(result);
    PQfinish(conn);
    return rows;
}

// The machine's busy and total CPU time (clock ticks over every core).
std::pair<long long, long long> machineCpu()
{
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0;
    if (std::FILE *f = std::fopen("/proc/stat", "r")) {
        if (std::fscanf(f, "cpu %lld %lld %lld %lld %lld %lld %lld", &user, &nice, &system, &idle, &iowait, &irq,
                        &softirq) != 7)
            user = 0;
        std::fclose(f);
    }
    const long long busy = user + nice + system + irq + softirq;
    return {busy, busy + idle + iowait};
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A day of a person: 10 to 99 items, each a title and a detail of one to three lines.
DaySave dayOf(std::mt19937 &random, const QString &code, const QString &date, int save)
{
    DaySave day{code, date, QStringLiteral("09:00"), QStringLiteral("%1:%2").arg(17 + int(random() % 4)).arg(int(random() % 6) * 10, 2, 10, QLatin1Char('0')), {}};
    const int items = 10 + int(random() % 90);
    for (int i = 1; i <= items; ++i) {
        QString detail = QStringLiteral("第%1版の作業内容：仕様の確認と実装、テストの実施").arg(save);
        for (int line = int(random() % 3); line > 0; --line)
            detail += QStringLiteral("\r\n・会議の議事録を整理し、関係者へ共有した（%1）").arg(random() % 1000);
        day.items.append(WorkItem{QString::number(i), QStringLiteral("作業項目%1").arg(i), detail});
    }
    return day;
}

struct Person {
    QString uri;
    std::vector<double> latenciesMs;
    std::map<std::pair<QString, QString>, DaySave> saved; // the last save of each day
    int failures = 0;
    QString firstFailure;
};

double percentile(std::vector<double> sorted, double p)
{
    if (sorted.empty())
        return 0;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (arg == QLatin1String("--uri"))
            options.uri = value, ++i;
        else if (arg == QLatin1String("--admin"))
            options.admin = value, ++i;
        else if (arg == QLatin1String("--people"))
            options.people = value.toInt(), ++i;
        else if (arg == QLatin1String("--seconds"))
            options.seconds = value.toInt(), ++i;
        else if (arg == QLatin1String("--pause"))
            options.pauseMs = value.toInt(), ++i;
        else if (arg == QLatin1String("--prefix"))
            options.prefix = value, ++i;
        else if (arg == QLatin1String("--same-day"))
            options.sameDay = true;
        else {
            std::fprintf(stderr, "usage: worvane-load --uri URI --admin URI [--people N] [--seconds S] [--pause MS] [--same-day] [--prefix NAME]\n");
            return 2;
        }
    }
    if (options.uri.isEmpty() || options.admin.isEmpty() || options.people < 1) {
        std::fprintf(stderr, "worvane-load: --uri and --admin are needed\n");
        return 2;
    }

    // The people, and the projects they save under.
    admin(options.admin, QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP BEGIN "
                                        "EXECUTE format('CREATE ROLE %I LOGIN PASSWORD ''secret'' IN ROLE worvane_user', "
                                        "'%2' || lpad(i::text, 4, '0')); "
                                        "EXCEPTION WHEN duplicate_object THEN NULL; END; END LOOP; END $$")
                             .arg(options.people)
                             .arg(options.prefix)
                             .toStdString());
    const QStringList codes{QStringLiteral("L0000001"), QStringLiteral("L0000002"), QStringLiteral("L0000003")};
    for (const QString &code : codes)
        admin(options.admin, QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME) SELECT '%1', '負荷試験 %1' "
                                            "WHERE NOT EXISTS (SELECT 1 FROM DM_PRJMST WHERE PJCODE = '%1')")
                                 .arg(code)
                                 .toStdString());
    const bool statements = !admin(options.admin, "SELECT 1 FROM pg_extension WHERE extname = 'pg_stat_statements'").empty() ||
                            !admin(options.admin, "CREATE EXTENSION IF NOT EXISTS pg_stat_statements; SELECT 1").empty();
    if (statements) // the statements of the triggers too
        for (const char *statement : {"ALTER SYSTEM SET pg_stat_statements.track = 'all'", "SELECT pg_reload_conf()",
                                      "SELECT pg_stat_statements_reset()"})
            admin(options.admin, statement);

    std::vector<Person> people(size_t(options.people));
    for (int p = 0; p < options.people; ++p) {
        QUrl url(options.uri);
        url.setUserName(options.prefix + QStringLiteral("%1").arg(p + 1, 4, 10, QLatin1Char('0')));
        people[size_t(p)].uri = url.toString();
    }
    // Each person's days start from a date of their own run, so that a run saves new days (a day of
    // an earlier run would be an update: both are saves).
    const QDate first = QDate(2027, 1, 4).addDays(qint64(QDateTime::currentSecsSinceEpoch() % 150));
    std::atomic<bool> go{false}, stop{false};
    std::vector<std::thread> threads;
    for (int p = 0; p < options.people; ++p)
        threads.emplace_back([&, p] {
            Person &person = people[size_t(p)];
            std::mt19937 random(unsigned(p) * 7919u + 1u);
            const std::unique_ptr<Store> store = OpenStore(person.uri, 30000);
            store->loadDay(codes[0], first.toString(QStringLiteral("yyyy/MM/dd"))); // connected before the start
            while (!go)
                std::this_thread::yield();
            for (int save = 0; !stop; ++save) {
                const QString code = options.sameDay ? codes[0] : codes[save % codes.size()];
                const QString date = (options.sameDay ? first : first.addDays(save / codes.size())).toString(QStringLiteral("yyyy/MM/dd"));
                const DaySave day = dayOf(random, code, date, save);
                const auto t0 = Clock::now();
                const Result<QString> saved = store->saveDay(day);
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                if (saved.ok()) {
                    person.latenciesMs.push_back(ms);
                    person.saved[{code, date}] = day;
                } else if (person.failures++ == 0) {
                    person.firstFailure = saved.error->text;
                }
                if (options.pauseMs > 0)
                    for (int left = int(random() % unsigned(2 * options.pauseMs)); left > 0 && !stop; left -= 50)
                        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 50)));
            }
        });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto cpuBefore = machineCpu();
    const double ownBefore = processCpuSeconds();
    const auto t0 = Clock::now();
    go = true;
    std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
    stop = true;
    for (std::thread &t : threads)
        t.join();
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const auto cpuAfter = machineCpu();
    const double own = processCpuSeconds() - ownBefore;

    // Every day as it was saved last, read back by its person.
    std::atomic<long long> checked{0}, wrong{0};
    threads.clear();
    for (int p = 0; p < options.people; ++p)
        threads.emplace_back([&, p] {
            const Person &person = people[size_t(p)];
            const std::unique_ptr<Store> store = OpenStore(person.uri, 60000);
            for (const auto &[key, day] : person.saved) {
                const Result<DayLoad> read = store->loadDay(key.first, key.second);
                const bool same = read.ok() && read.value.startTime == day.startTime && read.value.endTime == day.endTime &&
                                  read.value.items.size() == day.items.size() &&
                                  std::equal(day.items.begin(), day.items.end(), read.value.items.begin(),
                                             [](const WorkItem &a, const WorkItem &b) {
                                                 return a.code == b.code && a.head == b.head && a.detail == b.detail;
                                             });
                ++checked;
                if (!same)
                    ++wrong;
            }
        });
    for (std::thread &t : threads)
        t.join();

    std::vector<double> all;
    long long failures = 0;
    QString firstFailure;
    for (const Person &person : people) {
        all.insert(all.end(), person.latenciesMs.begin(), person.latenciesMs.end());
        failures += person.failures;
        if (firstFailure.isEmpty())
            firstFailure = person.firstFailure;
    }
    const double ticks = double(cpuAfter.second - cpuBefore.second);
    const double machineBusy = ticks > 0 ? double(cpuAfter.first - cpuBefore.first) / ticks : 0;
    const double cores = double(std::thread::hardware_concurrency());
    std::printf("people %d%s%s, %.1f s: %zu saves, %.0f saves/s\n", options.people, options.sameDay ? " (one project and date)" : "",
                options.pauseMs > 0 ? qPrintable(QStringLiteral(" (pausing 0 to %1 s between saves)").arg(2 * options.pauseMs / 1000.0)) : "",
                wall, all.size(), double(all.size()) / wall);
    std::printf("save latency ms: p50 %.1f, p95 %.1f, p99 %.1f, max %.1f\n", percentile(all, 0.50), percentile(all, 0.95),
                percentile(all, 0.99), all.empty() ? 0 : *std::max_element(all.begin(), all.end()));
    std::printf("failed saves %lld%s%s\n", failures, firstFailure.isEmpty() ? "" : ": ", qPrintable(firstFailure));
    std::printf("read back %lld days, %lld not as saved\n", checked.load(), wrong.load());
    std::printf("cpu: machine %.0f %% of %.0f cores busy; this process (the clients) %.2f cores, the rest (server, "
                "bouncer) %.2f cores\n",
                machineBusy * 100, cores, own / wall, std::max(0.0, machineBusy * cores - own / wall));
    if (statements)
        std::printf("  server: calls / mean ms / total ms / statement (the same beginning summed; a trigger's inside its statement's time too)\n");
    if (statements)
        for (const std::string &line :
             admin(options.admin, "SELECT rpad(sum(calls)::text, 8) || rpad(round((sum(total_exec_time) / sum(calls))::numeric, 2)::text, 8) || "
                                  "rpad(round(sum(total_exec_time)::numeric)::text, 8) || s FROM (SELECT calls, total_exec_time, "
                                  "left(regexp_replace(query, '\\s+', ' ', 'g'), 70) s FROM pg_stat_statements "
                                  "WHERE query NOT LIKE '%pg_stat_statements%') q GROUP BY s ORDER BY sum(total_exec_time) DESC LIMIT 8"))
            std::printf("  server: %s\n", line.c_str());
    return wrong == 0 && failures == 0 ? 0 : 1;
}
