#include "core/clock.h"

namespace worvane
{

namespace
{
QDateTime &fixedTime()
{
    static QDateTime fixed;
    return fixed;
}
} // namespace

QDateTime Clock::now()
{
    return fixedTime().isValid() ? fixedTime() : QDateTime::currentDateTime();
}

QString Clock::timestampOf(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

void Clock::setFixed(const QDateTime &at)
{
    fixedTime() = at;
}

void Clock::clearFixed()
{
    fixedTime() = QDateTime();
}

} // namespace worvane
