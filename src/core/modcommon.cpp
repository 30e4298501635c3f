#include "core/modcommon.h"

#include <algorithm>
#include <cmath>

namespace worvane
{

namespace
{

constexpr int FirstYear = 1800;
constexpr int LastYear = 2099;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isNumberBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

struct Ymd {
    int year = 0;
    int month = 0;
    int day = 0;
};

// The three parts of a compact date, or nothing when the text fails the length test.
bool readYmd(const QString &text, Ymd &ymd)
{
    if (TrimBlanks(text).size() != 8)
        return false;
    const QStringView view(text);
    ymd.year = ReadLeadingNumber(view.left(4));
    ymd.month = ReadLeadingNumber(view.mid(4, 2));
    ymd.day = ReadLeadingNumber(view.right(2));
    return true;
}

bool passesStepGuard(const QString &text, Ymd &ymd)
{
    return readYmd(text, ymd) && ymd.year >= FirstYear && ymd.year <= LastYear && ymd.month >= 1 &&
           ymd.month <= 12;
}

QString compact(const Ymd &ymd)
{
    return QStringLiteral("%1%2%3")
        .arg(ymd.year)
        .arg(ymd.month, 2, 10, QLatin1Char('0'))
        .arg(ymd.day, 2, 10, QLatin1Char('0'));
}

} // namespace

void DigitKeyFilter(int &keyCode)
{
    if (keyCode == KeyEnter || keyCode == KeyBackspace || (keyCode >= '0' && keyCode <= '9'))
        return;
    keyCode = KeyNone;
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == QChar(0x3000);
}

QString TrimBlanks(const QString &s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && IsBlank(s.at(begin)))
        ++begin;
    while (end > begin && IsBlank(s.at(end - 1)))
        --end;
    return (begin == 0 && end == s.size()) ? s : s.mid(begin, end - begin);
}

bool IsLeapYear(int year)
{
    return year % 4 == 0;
}

int MonthLength(int year, int month)
{
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return IsLeapYear(year) ? 29 : 28;
    default:
        return 0;
    }
}

int ReadLeadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && isNumberBlank(text.at(i)))
            ++i;
    };
    skipBlanks();
    if (i >= n || !isDigit(text.at(i)))
        return 0;
    double value = 0;
    for (; i < n; skipBlanks()) {
        if (!isDigit(text.at(i)))
            break;
        value = value * 10 + (text.at(i).unicode() - u'0');
        ++i;
    }
    if (i < n && text.at(i) == u'.') {
        ++i;
        double scale = 0.1;
        for (skipBlanks(); i < n && isDigit(text.at(i)); skipBlanks()) {
            value += scale * (text.at(i).unicode() - u'0');
            scale /= 10;
            ++i;
        }
    }
    // Only short parts are read here; the clamp keeps a long run of digits from overflowing.
    return int(std::nearbyint(std::min(value, 2147483647.0)));
}

bool IsValidYmd(const QString &text)
{
    Ymd ymd;
    if (!readYmd(text, ymd))
        return false;
    return ymd.year >= FirstYear && ymd.year <= LastYear && ymd.month >= 1 && ymd.month <= 12 &&
           ymd.day >= 1 && ymd.day <= MonthLength(ymd.year, ymd.month);
}

QString RollForwardYmd(const QString &text)
{
    Ymd ymd;
    if (!passesStepGuard(text, ymd))
        return text;
    if (ymd.day < 1 || ymd.day > MonthLength(ymd.year, ymd.month)) {
        ymd.day = 1;
        if (++ymd.month > 12) {
            ymd.month = 1;
            ++ymd.year;
        }
    }
    return compact(ymd);
}

QString RollBackYmd(const QString &text)
{
    Ymd ymd;
    if (!passesStepGuard(text, ymd))
        return text;
    if (ymd.day < 1 || ymd.day > MonthLength(ymd.year, ymd.month)) {
        if (--ymd.month < 1) {
            ymd.month = 12;
            --ymd.year;
        }
        ymd.day = MonthLength(ymd.year, ymd.month);
    }
    return compact(ymd);
}

} // namespace worvane
