#include "core/dayrules.h"

#include "core/modcommon.h"

#include <algorithm>

namespace worvane
{

namespace
{
bool blank(const QString &text)
{
    return TrimBlanks(text).isEmpty();
}

QString without(QString text, QChar c)
{
    return text.remove(c);
}
} // namespace

std::optional<Fault> checkSearch(const DayHeader &header)
{
    if (blank(header.code))
        return Fault{msg::CodeRequired, Field::Code};
    if (blank(header.date))
        return Fault{msg::DateRequired, Field::Date};
    if (!IsValidYmd(without(header.date, u'/')))
        return Fault{msg::DateInvalid, Field::Date};
    return std::nullopt;
}

std::optional<Fault> checkHeader(const DayHeader &header)
{
    if (auto fault = checkSearch(header))
        return fault;
    if (blank(header.startTime))
        return Fault{msg::HoursRequired, Field::StartTime};
    if (blank(header.endTime))
        return Fault{msg::HoursRequired, Field::EndTime};
    if (!timesInOrder(header.startTime, header.endTime))
        return Fault{msg::HoursOutOfOrder, Field::StartTime};
    return std::nullopt;
}

std::optional<Fault> checkItem(const WorkItem &item)
{
    const QString number = TrimBlanks(item.code);
    if (number.isEmpty())
        return Fault{msg::ItemNumberRequired, Field::ItemNumber};
    if (number == u"0" || number == u"00")
        return Fault{msg::ItemNumberRange, Field::ItemNumber};
    if (blank(item.head))
        return Fault{msg::ItemTitleRequired, Field::ItemTitle};
    if (blank(item.detail))
        return Fault{msg::ItemDetailRequired, Field::ItemDetail};
    return std::nullopt;
}

bool timesInOrder(const QString &start, const QString &end)
{
    return start < end;
}

QString formatTime(const QString &typed)
{
    const QString text = without(typed, u':');
    const QString digits = TrimBlanks(text);
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return text;
    QString number = digits;
    while (number.size() > 1 && number.startsWith(u'0'))
        number.remove(0, 1);
    number = number.rightJustified(4, u'0');
    return number.left(number.size() - 2) + u':' + number.right(2);
}

QString formatYmd(const QString &typed)
{
    const QString digits = without(typed, u'/');
    if (digits.isEmpty())
        return digits;
    return digits.left(4) + u'/' + digits.mid(4, 2) + u'/' + digits.right(2);
}

std::optional<QString> stepYmd(const QString &text, int step)
{
    const QString digits = without(text, u'/');
    if (blank(text) || digits.size() != 8)
        return std::nullopt;
    bool isNumber = false;
    const qlonglong number = digits.toLongLong(&isNumber);
    if (!isNumber)
        return std::nullopt; // pasted text that is not a date: nothing to step
    const QString stepped = QString::number(number + step);
    return step < 0 ? RollBackYmd(stepped) : RollForwardYmd(stepped);
}

QString ymdText(const QDate &date)
{
    return QStringLiteral("%1/%2/%3")
        .arg(date.year())
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

} // namespace worvane
