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

// SELECT PJCODE, PJNAME of every project, in the program's order, into a vector.
bool FloorProjectSearch(const std::string &db, std::vector<std::pair<std::string, std::string>> &rows);

// The two SELECTs of a day's load: the working-time row, then the items.
bool FloorLoadDay(const std::string &db, const std::string &code, const std::string &date, Day &day);

// The program's save statements in one transaction (BEGIN IMMEDIATE ... COMMIT), the insert prepared once.
bool FloorSaveDay(const std::string &db, const std::string &code, const std::string &date, const Day &day,
                  const std::string &timestamp);

// The save as the original program made it: one statement after another, each its own autocommit
// transaction, every statement text built and compiled anew.
bool OriginalSaveDay(const std::string &db, const std::string &code, const std::string &date, const Day &day,
                     const std::string &timestamp);

// VACUUM on the database file itself.
bool FloorCompact(const std::string &db);

// The bytes in one write to a new or emptied file.
bool FloorWriteFile(const std::string &path, const std::string &bytes);

// FNV-1a over a byte string: the checks compare what the two sides produced.
unsigned long long Digest(const std::string &bytes, unsigned long long seed = 1469598103934665603ULL);
unsigned long long DigestDay(const Day &day);

} // namespace bench
