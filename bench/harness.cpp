#include "harness.h"

#include "dataset.h"
#include "shown.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace bench
{

namespace
{
std::string selfPath;
} // namespace

const std::string &SelfPath()
{
    return selfPath;
}

void SetSelfPath(const std::string &path)
{
    selfPath = path;
}

// ---- What a child reports ------------------------------------------------------------------------------

namespace
{
void timeLine(const char *kind, Clock::duration d)
{
    std::printf("%s %lld\n", kind,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()));
}

} // namespace

void sample(Clock::duration d)
{
    timeLine("sample", d);
}

void check(const std::string &text)
{
    std::printf("check %s\n", text.c_str());
}

// The same work without showing it (the engine alone), for information beside a floor that shows it.
void bare(Clock::duration d)
{
    timeLine("bare", d);
}

// A list that comes in pages: the time until every row is in, and the longest turn of the event loop
// meanwhile (how long a key pressed then would have waited).
void listed(Clock::duration d)
{
    timeLine("listed", d);
}

void stalled(Clock::duration d)
{
    timeLine("stalled", d);
}

// A line the driver prints below the table.
void note(const std::string &text)
{
    std::printf("note %s\n", text.c_str());
}

[[noreturn]] void fail(const std::string &text)
{
    std::printf("fail %s\n", text.c_str());
    std::fflush(stdout);
    std::_Exit(1);
}

std::string hex(unsigned long long v)
{
    char s[32];
    std::snprintf(s, sizeof s, "%016llx", v);
    return s;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string timestampNow()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toStdString();
}

// The copy of the database that the index row leaves built, for the full-text search rows.
std::string indexedCopy(const std::string &work)
{
    return work + "/indexed.db";
}

std::string hitsCheck(const std::vector<Hit> &hits)
{
    unsigned long long h = bench::Digest("");
    for (const Hit &hit : hits)
        h = bench::Digest(
            hit.date + '\t' + hit.code + '\t' + hit.name + '\t' + hit.item + '\t' + hit.head + '\n', h);
    return std::to_string(hits.size()) + " hits " + hex(h);
}

std::string typedDate(const char *stored)
{
    std::string date = stored;
    std::replace(date.begin(), date.end(), '/', '-');
    return date;
}

// Every cell's text of a grid, row by row, as the month window shows it.
std::string gridCheck(const std::vector<std::vector<std::string>> &grid)
{
    unsigned long long h = bench::Digest("");
    for (const auto &row : grid) {
        for (const std::string &cell : row)
            h = bench::Digest(cell + '\t', h);
        h = bench::Digest("\n", h);
    }
    return std::to_string(grid.size()) + " rows " + std::to_string(grid.empty() ? 0 : grid[0].size()) +
           " columns " + hex(h);
}

// The sheet 日報 of a workbook as stored in it (the rest holds the time the book was made).
std::string sheetCheck(const std::string &path)
{
    const std::string command = "unzip -p '" + path + "' xl/worksheets/sheet1.xml";
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        fail("cannot run unzip");
    unsigned long long h = bench::Digest("");
    size_t size = 0;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        h = bench::Digest(std::string(buffer, n), h);
        size += n;
    }
    if (::pclose(pipe) != 0 || size == 0)
        fail("cannot read the sheet of " + path);
    return "sheet 日報 " + std::to_string(size) + " bytes " + hex(h);
}

// A file's size and digest, read in pieces (an export's file is large).
std::string fileCheck(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned long long h = bench::Digest("");
    size_t size = 0;
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0) {
        h = bench::Digest(std::string(buffer.data(), size_t(in.gcount())), h);
        size += size_t(in.gcount());
    }
    return std::to_string(size) + " bytes " + hex(h);
}

bool isServer(const std::string &db)
{
    return db.rfind("postgresql://", 0) == 0;
}

std::string dayCheck(const std::string &db)
{
    Day day;
    const auto load = isServer(db) ? TeamFloorLoadDay : FloorLoadDay;
    if (!load(db, Dataset::BigDayCode, Dataset::BigDayDate, day))
        fail("cannot read the day back");
    return std::to_string(day.items.size()) + " items " + hex(DigestDay(day));
}

// Both sides of the compaction row must leave the same file: its size and the stored day.
void checkCompacted(const std::string &db)
{
    struct stat st {
    };
    ::stat(db.c_str(), &st);
    check(std::to_string(st.st_size) + " bytes, day " + dayCheck(db));
}

// The last line of every side: its peak memory.
int reportPeak()
{
    std::printf("peak %ld\n", PeakKb());
    std::fflush(stdout);
    return 0;
}

std::string workingCopy(const Child &c, const std::string &name)
{
    const std::string path = c.work + "/" + name;
    if (!CopyFile(c.dataset, path))
        fail("cannot copy the database to " + path);
    return path;
}

bool spawnChild(const std::vector<std::string> &args, const std::vector<std::string> &extraEnv,
                const std::function<void(const std::string &, Clock::time_point)> &onLine, long &peakKb,
                Clock::time_point *started)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string &x) {
            return entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        });
        if (!replaced)
            envStore.push_back(entry);
    }
    envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char *> envp;
    for (const std::string &e : envStore)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = 0;
    if (started)
        *started = Clock::now();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        std::fprintf(stderr, "cannot start %s\n", args[0].c_str());
        return false;
    }
    std::string pending;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        const auto at = Clock::now();
        pending.append(buffer, size_t(n));
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            onLine(pending.substr(0, end), at);
            pending.erase(0, end + 1);
        }
    }
    ::close(fds[0]);
    int status = 0;
    struct rusage usage {
    };
    ::wait4(pid, &status, 0, &usage);
    peakKb = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace bench
