#pragma once

#include <QString>
#include <QStringView>

// The field rules every window applies to its text fields: key filtering, trimming and the checks and
// steps of a compact date "YYYYMMDD". Pure rules: no widget is touched here (see fieldrules.h for the
// widget side).

namespace worvane
{

// Character code of a key press, as the key-press handlers of the windows receive it.
enum KeyCode : int {
    KeyNone = 0,
    KeyBackspace = 8,
    KeyEnter = 13,
};

// Keeps Enter (13), Backspace (8) and the digits "0".."9" (48..57); any other code becomes 0, so the
// field ignores the key: letters, signs, blanks, "/", ":" and every full-width character.
void DigitKeyFilter(int &keyCode);

// The text without leading and trailing blanks. Blanks are the half-width space U+0020 and the
// full-width space U+3000, everywhere in the program; line breaks and tabs are content.
QString TrimBlanks(const QString &s);
bool IsBlank(QChar c);

// Leap years are the years divisible by 4 (so 1800 and 1900 are leap years here; dates run from
// 1800 to 2099, where this is the calendar the users know except for those two Februaries).
bool IsLeapYear(int year);
// 31, 30, or 29/28 for February; 0 for a month outside 1..12.
int MonthLength(int year, int month);

// The number the leading characters of a text spell: blanks (space, tab, line feed) are skipped
// anywhere, digits are read up to the first other character, a decimal point with digits after it
// is taken along and the value rounded to a whole number (halves to even). A text that does not
// begin with a digit reads as 0.
int ReadLeadingNumber(QStringView text);

// A compact date "YYYYMMDD": its trimmed text has 8 characters and the year (characters 1-4 of the
// untrimmed text), month (5-6) and day (the last two), read as ReadLeadingNumber does, form a date
// from 1800/01/01 to 2099/12/31.
bool IsValidYmd(const QString &text);

// A day past its month's end becomes the first of the next month (December goes to January of the
// next year); a day within the month comes back as it is. The result is the year's digits, the
// month and the day as two digits each. A text that is not 8 characters long when trimmed, or
// whose year is outside 1800..2099 or whose month is outside 1..12, is returned unchanged.
QString RollForwardYmd(const QString &text);

// A day before the first of its month (or past its end) becomes the last day of the previous month
// (January goes to December 31 of the previous year). Same guard and result form as RollForwardYmd.
QString RollBackYmd(const QString &text);

} // namespace worvane
