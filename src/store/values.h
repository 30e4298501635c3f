#pragma once

#include <QString>
#include <QVariant>

namespace worvane
{

// The two conversions at the database boundary: windows only ever see strings.

// A database Null reads back as the empty string.
inline QString NullToEmpty(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

// The empty string is written as Null.
inline QVariant EmptyToNull(const QString &value)
{
    return value.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(value);
}

} // namespace worvane
