#pragma once

// What every side of a benchmark row shares: how a child process reports to the driver, what a row's
// child is told, the checks both sides of a row must agree on, and starting processes.
#include "floors.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench
{

using Clock = std::chrono::steady_clock;

// ---- What a child reports: lines on stdout --------------------------------------------------------------
// "sample NANOSECONDS", "check TEXT" (must equal the other side's), "fail TEXT", and the rest below.
void sample(Clock::duration d);
void check(const std::string &text);
// The same work without showing it (the engine alone), for information beside a floor that shows it.
void bare(Clock::duration d);
// A list that comes in pages: the time until every row is in, and the longest turn of the event loop
// meanwhile (how long a key pressed then would have waited).
void listed(Clock::duration d);
void stalled(Clock::duration d);
// A line the driver prints below the table.
void note(const std::string &text);
[[noreturn]] void fail(const std::string &text);
// The last line of every side: its peak memory.
int reportPeak();

template <class F> void timed(F &&action)
{
    const auto t0 = Clock::now();
    action();
    sample(Clock::now() - t0);
}

// ---- A row's child ----------------------------------------------------------------------------------------
struct Child {
    std::string row, side, dataset, work;
    int runs;
    std::string param; // the month of the month row, "YYYY/MM"; the word of a full-text search row
};

// This program's own path (the children are this program again, and the tools lie beside it).
const std::string &SelfPath();
void SetSelfPath(const std::string &path);

// ---- Checks
// ------------------------------------------------------------------------------------------------
std::string hex(unsigned long long v);
std::string readFile(const std::string &path);
std::string timestampNow();
bool isServer(const std::string &db);
// The copy of the database that the index row leaves built, for the full-text search rows.
std::string indexedCopy(const std::string &work);
// A copy of the row's database in its work folder.
std::string workingCopy(const Child &c, const std::string &name);
std::string hitsCheck(const std::vector<Hit> &hits);
// Every cell's text of a grid, row by row, as the month window shows it.
std::string gridCheck(const std::vector<std::vector<std::string>> &grid);
// The sheet 日報 of a workbook as stored in it (the rest holds the time the book was made).
std::string sheetCheck(const std::string &path);
// A file's size and digest, read in pieces (an export's file is large).
std::string fileCheck(const std::string &path);
// The big day as stored.
std::string dayCheck(const std::string &db);
// Both sides of the compaction row must leave the same file: its size and the stored day.
void checkCompacted(const std::string &db);

// The ranges of the worvane-report rows, as stored and as typed on its command line.
inline const char *const FiveYearsFrom = "2021/01/01";
inline const char *const FiveYearsTo = "2025/12/31";
inline const char *const OneYearFrom = "2025/01/01";
inline const char *const OneYearTo = "2025/12/31";
std::string typedDate(const char *stored);

// ---- Processes
// ---------------------------------------------------------------------------------------------- Starts a
// program with its stdout on a pipe; each line goes to onLine with the time it arrived. Returns false when
// the child failed; peakKb is its rusage peak, which counts this process's size too (the children therefore
// report their own VmHWM on a "peak" line).
bool spawnChild(const std::vector<std::string> &args, const std::vector<std::string> &extraEnv,
                const std::function<void(const std::string &, Clock::time_point)> &onLine, long &peakKb,
                Clock::time_point *started = nullptr);

} // namespace bench
