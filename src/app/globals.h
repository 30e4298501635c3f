#pragma once

#include <QString>

// The program-wide values. Everything else belongs to one window or one operation.
namespace worvane::globals
{

inline QString IniPath;       // the settings file (SettingsFilePath): beside the executable, or per user
inline QString MdbPath;       // the database file, from the settings file
inline QString DefaultPJCode; // the project code offered at start and after Cancel
inline QString CalendarDate;  // the date picked in the calendar, "YYYY/MM/DD", or empty

inline void clear()
{
    IniPath.clear();
    MdbPath.clear();
    DefaultPJCode.clear();
    CalendarDate.clear();
}

} // namespace worvane::globals
