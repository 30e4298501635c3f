#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text in the Japanese ANSI code page (CP932, "Windows-31J"): byte counting for the typing limits
// and the conversion used for files.

namespace worvane
{

// Bytes one character takes in CP932: 1 for ASCII and half-width katakana, 2 for any other character
// the code page holds, 0 for a character it cannot hold.
int Cp932ByteLength(char32_t c);
inline int Cp932ByteLength(QChar c)
{
    return Cp932ByteLength(char32_t(c.unicode()));
}
bool IsCp932Representable(char32_t c);

// Bytes of the whole text. With lineBreakCountsTwo a line break (CR LF, a lone LF or a lone CR)
// counts 2, as it does in a multi-line field that holds CR LF. Characters CP932 cannot hold count 0.
int Cp932Length(QStringView s, bool lineBreakCountsTwo = false);

// True when every character of the text is in CP932.
bool IsCp932Representable(QStringView s);

// The text with the characters that input methods on Linux produce where Windows produces CP932 ones
// replaced by those: U+301C WAVE DASH by U+FF5E, U+2212 MINUS SIGN by U+FF0D, U+2016 DOUBLE VERTICAL LINE
// by U+2225, U+00A2 by U+FFE0, U+00A3 by U+FFE1 and U+00AC by U+FFE2 (the same marks, as a Japanese
// Windows keyboard gives them).
QString ToCp932Forms(QString s);

// The text without the characters CP932 cannot hold.
QString DropNonCp932(QStringView s);

// The longest leading part of s that fits into maxBytes, cut between characters (a surrogate pair and
// a CR LF pair are never split). Counted as Cp932Length counts.
QString LeftCp932Bytes(QStringView s, int maxBytes, bool lineBreakCountsTwo = false);

// The text in CP932. ok (when given) becomes false when some character cannot be represented;
// such a character is written as "?".
QByteArray ToCp932(QStringView s, bool *ok = nullptr);

// CP932 bytes as text. ok becomes false when a byte sequence is not valid CP932; such a sequence
// becomes U+FFFD.
QString FromCp932(const QByteArray &bytes, bool *ok = nullptr);

} // namespace worvane
