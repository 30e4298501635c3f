#include "common/cp932.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

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

// Encodes characters one at a time. The error flag of Qt's ICU converter survives resetState(), and
// the converter must not be moved (ICU keeps the address of its state), so after an error a new one is
// built in place.
class Encoder
{
public:
    // Empty when CP932 has no code for the character. A code that reads back as another character (the
    // converter's one-way fallbacks, such as private-use characters written as a symbol's code) does not
    // count: the text must come back from the file as it was written.
    QByteArray encode(char32_t c)
    {
        // The table never changes: each character is looked up in ICU once per thread.
        thread_local QHash<char32_t, QByteArray> known;
        const auto found = known.constFind(c);
        if (found != known.constEnd())
            return *found;
        const QByteArray bytes = convert(c);
        known.insert(c, bytes);
        return bytes;
    }

private:
    QByteArray convert(char32_t c)
    {
        if (!m_encoder)
            m_encoder.emplace(CodecName);
        const QString character = QString::fromUcs4(&c, 1);
        const QByteArray bytes = m_encoder->encode(QStringView(character));
        if (m_encoder->hasError()) {
            m_encoder.reset();
            return QByteArray();
        }
        if (!m_decoder)
            m_decoder.emplace(CodecName);
        const QString back = m_decoder->decode(bytes);
        if (m_decoder->hasError()) {
            m_decoder.reset();
            return QByteArray();
        }
        return back == character ? bytes : QByteArray();
    }

    std::optional<QStringEncoder> m_encoder;
    std::optional<QStringDecoder> m_decoder;
};

int byteLength(Encoder &encoder, char32_t c)
{
    if (c < 0x80 || isHalfWidthKatakana(c))
        return 1;
    if (c >= 0xD800 && c <= 0xDFFF)
        return 0; // a lone surrogate
    return int(encoder.encode(c).size());
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
    Encoder encoder;
    return byteLength(encoder, c);
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
    Encoder encoder;
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
            bytes +=
                byteLength(encoder, pair ? QChar::surrogateToUcs4(c, s.at(i + 1)) : char32_t(c.unicode()));
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
    Encoder encoder;
    forEachCodePoint(s, [&](char32_t c, qsizetype at, qsizetype width) {
        if (byteLength(encoder, c) > 0)
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
    QByteArray out;
    out.reserve(s.size() * 2);
    bool allKnown = true;
    Encoder encoder;
    forEachCodePoint(s, [&](char32_t c, qsizetype, qsizetype) {
        if (c < 0x80) {
            out.append(char(c));
            return;
        }
        const QByteArray bytes = byteLength(encoder, c) > 0 ? encoder.encode(c) : QByteArray();
        if (bytes.isEmpty()) {
            allKnown = false;
            out.append('?');
        } else {
            out.append(bytes);
        }
    });
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
