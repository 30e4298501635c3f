#pragma once

#include <QList>
#include <QString>

// The values the program works with, from the store up to the windows: plain structs, no behaviour.

namespace worvane
{

// One numbered work item of a day.
struct WorkItem {
    QString code;   // WKCODE, the digits as typed ("5" and "05" are two items)
    QString head;   // WKHEAD, the title
    QString detail; // DETAIL, line breaks as CR LF
    bool operator==(const WorkItem &) const = default;
};

// A project of the project master.
struct ProjectRow {
    QString code;
    QString name;
    bool operator==(const ProjectRow &) const = default;
};

// The header of the main window as the checks see it: the texts of the four fields, as they stand.
struct DayHeader {
    QString code;
    QString date;      // "YYYY/MM/DD" once the date field has been left
    QString startTime; // "HH:MM" once the time field has been left
    QString endTime;
};

// What the settings file says, and where it is.
struct Settings {
    QString iniPath;      // the settings file itself
    QString databasePath; // [MDB Path] Path=, cut to 199 bytes
    QString defaultCode;  // [Default Value] PJCode=, offered at start and after Cancel
};

} // namespace worvane
