#pragma once

// Each action done the plainest possible way, straight on the SQLite C API or the system calls: the
// floor that the program's own action is measured against.
#include <string>
#include <utility>
#include <vector>

namespace bench
{

struct Item {
    std::string code, head, detail;
};

struct Day {
    std::string start, end;
    std::vector<Item> items;
};

// SELECT PJCODE, PJNAME of every project, in the program's order, into a vector; with a limit, the first
// that many.
bool FloorProjectSearch(const std::string &db, std::vector<std::pair<std::string, std::string>> &rows,
                        int limit = 0);

// How many projects the master holds; -1 on failure.
long FloorProjectCount(const std::string &db);

// The two SELECTs of a day's load: the working-time row, then the items.
bool FloorLoadDay(const std::string &db, const std::string &code, const std::string &date, Day &day);

// The program's save statements in one transaction (BEGIN IMMEDIATE ... COMMIT): the day read again (the
// check that it is still the one loaded), then its rows written, the insert prepared once.
bool FloorSaveDay(const std::string &db, const std::string &code, const std::string &date, const Day &day,
                  const std::string &timestamp);

// The save as the original program made it: one statement after another, each its own autocommit
// transaction, every statement text built and compiled anew.
bool OriginalSaveDay(const std::string &db, const std::string &code, const std::string &date, const Day &day,
                     const std::string &timestamp);

// VACUUM on the database file itself.
bool FloorCompact(const std::string &db);

// The bytes in one write to a new file beside the path, made durable (fdatasync) and renamed over it: the
// plainest write that leaves an earlier file whole when it fails, as the program's does.
bool FloorWriteFile(const std::string &path, const std::string &bytes);

// The month with the most work items, as "YYYY/MM"; empty on failure.
std::string BusiestMonth(const std::string &db);

// The month window's grid for a "YYYY/MM" month, row by row, from one SELECT of the month's working-time
// rows and names: per project its code, name, each day's hours ("h:mm", "※" without valid times, empty
// without a saved day) and its total; then 合計, an empty name, each day's hours over the projects (empty
// when none) and the whole month.
bool FloorMonthGrid(const std::string &db, const std::string &month,
                    std::vector<std::vector<std::string>> &grid);

// A month's working-time rows for its chart: each saved day's project (its code folded), day of the month
// and minutes (-1 without valid times), from one SELECT.
struct DayTime {
    std::string code;
    int day = 0;
    int minutes = -1;
};
bool FloorMonthTimes(const std::string &db, const std::string &month, std::vector<DayTime> &times);

// The month as the plainest PDF: its days and their items from the export's statements, drawn with QPainter
// into a QPdfWriter (A4 landscape, the same fonts): a line per project with its hours per day and bars of the
// days' hours on the first page, then a line per day and per item, page numbers at the foot.
bool FloorMonthPdf(const std::string &db, const std::string &month, const std::string &path);

// What a month's PDF says, read back with pdftotext: how many of the month's items have their title in its
// text (each title counted up to as many times as items hold it; compared after NFKC, without white space).
std::string PdfCheck(const std::string &db, const std::string &month, const std::string &pdf);

// worvane-report totals over two "YYYY/MM/DD" dates: a line "code TAB name TAB days TAB items TAB h:mm" per
// project, then 合計; the days with their item counts from one SELECT.
bool FloorTotals(const std::string &db, const std::string &from, const std::string &to, std::string &text);

// The range's CSV as worvane-report writes it (UTF-8 with BOM, CR LF, RFC 4180 quoting): the days, then
// each day's items, through the C API, the rows written with write() in 64 KiB pieces as they are made.
bool FloorCsv(const std::string &db, const std::string &from, const std::string &to, const std::string &path);

// The sheet 日報 of the range's workbook, the same cells written straight with libxlsxwriter (constant
// memory), from the same statements.
bool FloorXlsx(const std::string &db, const std::string &from, const std::string &to,
               const std::string &path);

// The search index built the plainest way: its two tables made, then in one transaction every saved
// day's items, day after day in (date, code) order, read with the store's statement and their search
// forms inserted with prepared statements (the index's keys as the program makes them).
bool FloorBuildIndex(const std::string &db);

// What a built index holds, for the checks: its entries' count and a digest of each one's key, day,
// item number and search form, in key order. Empty when it cannot be read.
std::string IndexCheck(const std::string &db);

struct Hit {
    std::string date, code, name, item, head;
    int place = 0; // the item's place in its day's order
};

// The bytes of the file the search index takes.
long long IndexBytes(const std::string &db);

// The first page of a one-word search on a built index, with the store's statements through the C API:
// the newest 100 hits and the rest of the last one's day, each hit's title and project name, in the
// order the window shows them. A word of three characters and more is looked up in the trigram index,
// a shorter one compared with instr() over every entry.
bool FloorSearchPage(const std::string &db, const std::string &word, std::vector<Hit> &hits);

// The same load and save on the team database's server, through libpq: a connection of their own each,
// the store's statements as the server is told them (the save reads the day locked first, as a save that
// checks for another PC's change does).
// The same page on the team database: the SELECTs through libpq, each day's hits in list order and
// compared in the search form.
bool TeamFloorSearchPage(const std::string &uri, const std::string &word, std::vector<Hit> &hits);
bool TeamFloorLoadDay(const std::string &uri, const std::string &code, const std::string &date, Day &day);
bool TeamFloorSaveDay(const std::string &uri, const std::string &code, const std::string &date, const Day &day,
                      const std::string &timestamp);
// 提出状況 of a "YYYY/MM" month as a lead reads it, row by row: each person (every login of worvane_user), each
// day's state (未入力 on a working day before today without one, nothing on a day off), the count of each
// state. Two SELECTs through libpq (the people, the month's states); the days off are the weekends and the
// national holidays shipped with the program.
bool TeamFloorSubmission(const std::string &uri, const std::string &month,
                         std::vector<std::vector<std::string>> &grid);

// 履歴 of a day the plainest way: one SELECT of its versions newest first (saved, start, end, the count of
// the items in its JSON), and the newest beside the screen's day, a line per time and item.
bool FloorHistory(const std::string &db, const std::string &code, const std::string &date, const Day &screen,
                  std::vector<std::vector<std::string>> &versions, std::vector<std::vector<std::string>> &lines);

// FNV-1a over a byte string: the checks compare what the two sides produced.
unsigned long long Digest(const std::string &bytes, unsigned long long seed = 1469598103934665603ULL);
unsigned long long DigestDay(const Day &day);

} // namespace bench
