#pragma once

#include <QDateTime>
#include <QString>

namespace worvane
{

// The one source of the current date and time: today's date on the screen, the calendar and every
// timestamp written to the database. Tests can stand the clock still.
class Clock
{
public:
    static QDateTime now();
    static QDate today() { return now().date(); }

    // "YYYY/MM/DD HH:MM:SS", the form of ENTYMD and UPDYMD.
    static QString timestamp() { return timestampOf(now()); }
    static QString timestampOf(const QDateTime &at);

    static void setFixed(const QDateTime &at);
    static void clearFixed();
};

} // namespace worvane
