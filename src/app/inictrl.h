#pragma once

#include <QString>

namespace worvane
{

// The settings file: INI form, sections and keys matched without regard to case. The text is CP932, or
// UTF-8 where the file is valid UTF-8 with a byte above ASCII (or a byte-order mark).

// The value of key in section, cut to its first 199 bytes (never inside a character). A missing file,
// section or key gives "".
QString GetIniString(const QString &section, const QString &key, const QString &path);

// Sets key in section to value, adding the file, the section or the key when absent and keeping every
// other line as it was. The file is replaced whole or not at all; false when it could not be written.
bool WriteIniString(const QString &section, const QString &key, const QString &value, const QString &path);

inline constexpr int IniValueMaxBytes = 199;

} // namespace worvane
