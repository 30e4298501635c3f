#pragma once

#include "core/messages.h"
#include "core/values.h"

#include <QDate>
#include <QString>
#include <optional>

// The rules of a day's report over plain values: which check fails first (its message and the field
// to put the focus on), and how the date and time fields tidy what was typed. The windows turn a fault
// into a box and a focus move; nothing here knows a widget.

namespace worvane
{

enum class Field { Code, Date, StartTime, EndTime, ItemNumber, ItemTitle, ItemDetail };

struct Fault {
    Message message;
    Field field;
    bool operator==(const Fault &) const = default;
};

// Before a day is looked up: code, then date, present; the date a valid calendar date.
std::optional<Fault> checkSearch(const DayHeader &header);

// Before a day is saved or written to a file: checkSearch, then both times present and the start
// before the end (compared as text: "HH:MM" texts compare as times; equal times are refused).
std::optional<Fault> checkHeader(const DayHeader &header);

// Before an item goes into the list: number present and not 0 or 00, title present, detail present
// (a detail of a line break alone is content).
std::optional<Fault> checkItem(const WorkItem &item);

// The start-end order the end time's leave rule checks: the start text before the end text.
bool timesInOrder(const QString &start, const QString &end);

// A time field when it is left: without its ":" and in the "00:00" pattern (930 gives 09:30, 0 gives
// 00:00, 2500 gives 25:00); an empty text stays empty, a text that is not a number stays as it is.
QString formatTime(const QString &typed);

// The date field when it is left: without its "/", then the first four characters, "/", characters 5
// and 6, "/", the last two. Nothing is checked or padded (2024 gives 2024//24); empty stays empty.
QString formatYmd(const QString &typed);

// The date field's arrow keys: the next (step 1) or previous (step -1) day as eight digits, across
// month and year ends; nothing when the text is not eight digits once its "/" are gone.
std::optional<QString> stepYmd(const QString &text, int step);

// "YYYY/MM/DD", the form of a date on the screen and in the database: the year as its plain number,
// month and day with two digits each.
QString ymdText(const QDate &date);

} // namespace worvane
