#include "core/cp932.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <memory>
#include <optional>

// The codec comes from ICU through Qt. Its CP932 table agrees with Windows for every printable
// character (U+FF5E <-> 81 60, U+FF3C <-> 81 5F, U+FF0D <-> 81 7C, ...), but it swaps the control codes
// 0x1A, 0x1C and 0x7F the IBM way. ASCII is therefore converted here, byte for byte, and only the
// other characters go through the codec.

namespace worvane
{

namespace
{

const char *const CodecName = "Windows-31J";

bool isHalfWidthKatakana(char32_t c)
{
    return c >= 0xFF61 && c <= 0xFF9F;
}

// The CP932 code of each character, asked of the codec once per character and thread: 0 when the code
// page has none, a byte value below 0x100, or two bytes (lead byte high). A code that reads back as
// another character (the converter's one-way fallbacks, such as private-use characters written as a
// symbol's code) does not count: the text must come back from the file as it was written. Characters of
// the Basic Multilingual Plane are kept in a flat table, so that a long text costs one array read per
// character.
class Codes
{
public:
    static Codes &ofThisThread()
    {
        thread_local Codes codes;
        return codes;
    }

    // A character from U+0080 on.
    quint16 of(char32_t c)
    {
        if (c >= 0xD800 && c <= 0xDFFF)
            return 0; // a lone surrogate
        if (c > 0xFFFF) {
            const auto found = m_beyond.constFind(c);
            return found != m_beyond.constEnd() ? *found : *m_beyond.insert(c, convert(c));
        }
        if (!m_plane) {
            m_plane = std::make_unique<quint16[]>(0x10000);
            std::fill_n(m_plane.get(), 0x10000, Unknown);
        }
        quint16 &code = m_plane[c];
        if (code == Unknown)
            code = convert(c);
        return code;
    }

private:
    static constexpr quint16 Unknown = 0xFFFF; // no CP932 code has the lead byte 0xFF

    // The error flag of Qt's ICU converter survives resetState(), and the converter must not be moved (ICU
    // keeps the address of its state), so after an error a new one is built in place.
    quint16 convert(char32_t c)
    {
        if (!m_encoder)
            m_encoder.emplace(CodecName);
        const QString character = QString::fromUcs4(&c, 1);
        const QByteArray bytes = m_encoder->encode(QStringView(character));
        if (m_encoder->hasError()) {
            m_encoder.reset();
            return 0;
        }
        if (bytes.isEmpty() || bytes.size() > 2)
            return 0;
        if (!m_decoder)
            m_decoder.emplace(CodecName);
        const QString back = m_decoder->decode(bytes);
        if (m_decoder->hasError()) {
            m_decoder.reset();
            return 0;
        }
        if (back != character)
            return 0;
        return bytes.size() == 1 ? quint16(uchar(bytes[0])) : quint16(uchar(bytes[0]) << 8 | uchar(bytes[1]));
    }

    std::unique_ptr<quint16[]> m_plane;
    QHash<char32_t, quint16> m_beyond;
    std::optional<QStringEncoder> m_encoder;
    std::optional<QStringDecoder> m_decoder;
};

int byteLength(char32_t c)
{
    if (c < 0x80 || isHalfWidthKatakana(c))
        return 1;
    const quint16 code = Codes::ofThisThread().of(c);
    return code == 0 ? 0 : code < 0x100 ? 1 : 2;
}

bool isLeadByte(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(uchar b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

template <typename F> void forEachCodePoint(QStringView s, F f)
{
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, s.at(i + 1)), i, qsizetype(2));
            i += 2;
        } else {
            f(char32_t(c.unicode()), i, qsizetype(1));
            ++i;
        }
    }
}

} // namespace

int Cp932ByteLength(char32_t c)
{
    return byteLength(c);
}

QString ToCp932Forms(QString s)
{
    static constexpr std::pair<char16_t, char16_t> forms[] = {
        {u'\u301C', u'\uFF5E'}, {u'\u2212', u'\uFF0D'}, {u'\u2016', u'\u2225'},
        {u'\u00A2', u'\uFFE0'}, {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'},
    };
    for (QChar &c : s) {
        for (const auto &[from, to] : forms) {
            if (c.unicode() == from)
                c = QChar(to);
        }
    }
    return s;
}

bool IsCp932Representable(char32_t c)
{
    return Cp932ByteLength(c) > 0;
}

int Cp932Length(QStringView s, bool lineBreakCountsTwo)
{
    int bytes = 0;
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (lineBreakCountsTwo && (c == u'\r' || c == u'\n')) {
            bytes += 2;
            i += (c == u'\r' && i + 1 < s.size() && s.at(i + 1) == u'\n') ? 2 : 1;
        } else if (c.unicode() < 0x80 || isHalfWidthKatakana(c.unicode())) {
            ++bytes;
            ++i;
        } else {
            const bool pair = c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate();
            bytes += byteLength(pair ? QChar::surrogateToUcs4(c, s.at(i + 1)) : char32_t(c.unicode()));
            i += pair ? 2 : 1;
        }
    }
    return bytes;
}

bool IsCp932Representable(QStringView s)
{
    bool ok = true;
    ToCp932(s, &ok);
    return ok;
}

QString DropNonCp932(QStringView s)
{
    QString kept;
    kept.reserve(s.size());
    forEachCodePoint(s, [&](char32_t c, qsizetype at, qsizetype width) {
        if (byteLength(c) > 0)
            kept.append(s.mid(at, width));
    });
    return kept;
}

QString LeftCp932Bytes(QStringView s, int maxBytes, bool lineBreakCountsTwo)
{
    int used = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        qsizetype width = 1;
        if (s.at(i) == u'\r' && i + 1 < s.size() && s.at(i + 1) == u'\n')
            width = 2;
        else if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            width = 2;
        const int bytes = Cp932Length(s.mid(i, width), lineBreakCountsTwo);
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        i += width;
    }
    return s.left(i).toString();
}

QByteArray ToCp932(QStringView s, bool *ok)
{
    // At most two bytes for each UTF-16 unit: a surrogate pair becomes one "?".
    QByteArray out(s.size() * 2, Qt::Uninitialized);
    char *to = out.data();
    bool allKnown = true;
    Codes &codes = Codes::ofThisThread();
    const char16_t *from = s.utf16();
    const char16_t *const end = from + s.size();
    while (from < end) {
        char32_t c = *from++;
        if (c < 0x80) {
            *to++ = char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && from < end && QChar::isLowSurrogate(*from))
            c = QChar::surrogateToUcs4(char16_t(c), *from++);
        const quint16 code = codes.of(c);
        if (code == 0) {
            allKnown = false;
            *to++ = '?';
        } else if (code < 0x100) {
            *to++ = char(code);
        } else {
            *to++ = char(code >> 8);
            *to++ = char(code & 0xFF);
        }
    }
    out.truncate(to - out.data());
    if (ok)
        *ok = allKnown;
    return out;
}

QString FromCp932(const QByteArray &bytes, bool *ok)
{
    QString out;
    out.reserve(bytes.size());
    bool valid = true;
    std::optional<QStringDecoder> decoder;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar b = uchar(bytes.at(i));
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        const qsizetype width =
            (isLeadByte(b) && i + 1 < bytes.size() && isTrailByte(uchar(bytes.at(i + 1)))) ? 2 : 1;
        if (!decoder)
            decoder.emplace(CodecName);
        const QString decoded = decoder->decode(QByteArrayView(bytes.constData() + i, width));
        if (decoder->hasError() || decoded.isEmpty()) {
            decoder.reset();
            valid = false;
            out.append(QChar::ReplacementCharacter);
        } else {
            out.append(decoded);
        }
        i += width;
    }
    if (ok)
        *ok = valid;
    return out;
}

} // namespace worvane
