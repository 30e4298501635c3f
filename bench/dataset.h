#pragma once

#include <string>

namespace bench
{

// The generated database every row of the table runs against: 32,766 projects in the project master,
// and for 20 of them a working-time row and 10 to 99 work items (multi-line details) on every weekday
// of five years, up to the end of 2025. The scale curve's files hold more or fewer projects, or more or
// fewer years ending in the same year; a day holds the same items in every file. The same seed gives the
// same file.
struct Dataset {
    static constexpr int ProjectCount = 32766;
    static constexpr int ReportProjects = 20;
    static constexpr int LastYear = 2025;
    static constexpr int Years = 5;

    // The day the rows load, save and write: the first reporting project, with 99 items.
    static const char *const BigDayCode;
    static const char *const BigDayDate;
    // On the team database only: a copy of the big day, beside another person's 300,000 items of that
    // project and date (scripts/bench.sh puts them there).
    static const char *const CrowdedDayDate;
    // The month of the team's days (bench/teamday.sql): 200 people and a lead, as "YYYY/MM".
    static const char *const TeamMonth;
    static constexpr int BigDayItems = 99;
};

// The cached database for this generator, made on first use (in one transaction, prepared statements).
// Returns its path; an empty string (and a message on stderr) when it cannot be made.
std::string EnsureDataset(const std::string &folder, int years = Dataset::Years,
                          int projects = Dataset::ProjectCount);

// Copies a file (for the working copies that saves and compactions change). False on any failure.
bool CopyFile(const std::string &from, const std::string &to);

} // namespace bench
