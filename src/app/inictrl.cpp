#include "app/inictrl.h"

#include "core/cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace worvane
{

namespace
{
struct IniText {
    QStringList lines;
    QString lineEnd = QStringLiteral("\r\n");
    bool utf8 = false;
    bool bom = false;
    QByteArray bytes; // the file as it was read
};

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes); // decoding happens on conversion
    return !decoder.hasError();
}

bool hasHighByte(const QByteArray &bytes)
{
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

IniText readIni(const QString &path, bool *readable = nullptr)
{
    IniText ini;
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (readable)
        *readable = opened || !file.exists();
    if (!opened)
        return ini;
    QByteArray bytes = file.readAll();
    ini.bytes = bytes;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.bom = true;
        ini.utf8 = true;
        bytes.remove(0, 3);
    } else {
        ini.utf8 = hasHighByte(bytes) && isUtf8(bytes);
    }
    const QString text = ini.utf8 ? QString::fromUtf8(bytes) : FromCp932(bytes);
    if (!text.contains(QStringLiteral("\r\n")) && text.contains(QLatin1Char('\n')))
        ini.lineEnd = QStringLiteral("\n");
    ini.lines = text.split(QLatin1Char('\n'));
    for (QString &line : ini.lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!ini.lines.isEmpty() && ini.lines.last().isEmpty())
        ini.lines.removeLast();
    return ini;
}

// "[name]" gives name; anything else gives a null string.
QString sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return QString();
}

bool isComment(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// The key of a "key=value" line, or a null string.
QString keyOf(const QString &line)
{
    if (isComment(line))
        return QString();
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

QString valueOf(const QString &line)
{
    QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (value.size() >= 2 && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
                              (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
        value = value.mid(1, value.size() - 2);
    return value;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The lines of section [first, end): first is the line after the header; -1 when there is none.
std::pair<int, int> findSection(const QStringList &lines, const QString &section)
{
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = sectionName(lines.at(i));
        if (!name.isNull() && sameName(name, section)) {
            int end = i + 1;
            while (end < lines.size() && sectionName(lines.at(end)).isNull())
                ++end;
            return {i + 1, end};
        }
    }
    return {-1, -1};
}

int findKey(const QStringList &lines, std::pair<int, int> range, const QString &key)
{
    for (int i = range.first; i < range.second; ++i) {
        const QString k = keyOf(lines.at(i));
        if (!k.isNull() && sameName(k, key))
            return i;
    }
    return -1;
}

// A file or folder without any write permission bit is never written, even by a user whom the system
// would let write (root), as with the database file.
bool writeForbidden(const QString &path)
{
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const QFileInfo file(path);
    return (file.exists() && !(file.permissions() & anyWrite)) ||
           !(QFileInfo(file.absolutePath()).permissions() & anyWrite);
}

// The longest head of value whose encoding has at most maxBytes bytes.
QString cutToBytes(const QString &value, bool utf8, int maxBytes)
{
    int bytes = 0;
    int i = 0;
    while (i < value.size()) {
        const int width = value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        const QString ch = value.mid(i, width);
        const int size = utf8 ? int(ch.toUtf8().size()) : Cp932Length(ch);
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += width;
    }
    return value.left(i);
}
} // namespace

QString GetIniString(const QString &section, const QString &key, const QString &path)
{
    const IniText ini = readIni(path);
    const auto range = findSection(ini.lines, section);
    if (range.first < 0)
        return QString();
    const int line = findKey(ini.lines, range, key);
    if (line < 0)
        return QString();
    return cutToBytes(valueOf(ini.lines.at(line)), ini.utf8, IniValueMaxBytes);
}

bool WriteIniString(const QString &section, const QString &key, const QString &value, const QString &path)
{
    bool readable = true;
    IniText ini = readIni(path, &readable);
    if (!readable)
        return false; // an unreadable file is never replaced by one that lost its other lines

    const QString entry = key + QLatin1Char('=') + value;
    auto range = findSection(ini.lines, section);
    if (range.first < 0) {
        if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
            ini.lines.append(QString());
        ini.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        ini.lines.append(entry);
    } else if (const int line = findKey(ini.lines, range, key); line >= 0) {
        ini.lines[line] = ini.lines.at(line).left(ini.lines.at(line).indexOf(QLatin1Char('=')) + 1) + value;
    } else {
        int at = range.second; // after the section's last non-blank line
        while (at > range.first && ini.lines.at(at - 1).trimmed().isEmpty())
            --at;
        ini.lines.insert(at, entry);
    }

    const QString text = ini.lines.join(ini.lineEnd) + ini.lineEnd;
    QByteArray bytes;
    if (ini.utf8) {
        bytes = (ini.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
    } else {
        bool representable = false;
        bytes = ToCp932(text, &representable);
        if (!representable)
            return false; // a character the file's code page cannot hold
    }
    if (bytes == ini.bytes && QFileInfo::exists(path))
        return true; // already so: the file is left alone, no write and no flush
    if (writeForbidden(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

} // namespace worvane
