#include "core/searchtext.h"

#include "core/cp932.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace worvane
{

QString SearchForm(const QString &text)
{
    // The marks an input method types in another form than the window keeps (〜 for ～, − for －, …)
    // are taken in the window's form first, so that either finds the other.
    return ToCp932Forms(text).normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString SearchBody(const QString &head, const QString &detail)
{
    return SearchForm(head) + QLatin1Char('\n') + SearchForm(detail);
}

bool MatchesAllWords(const QString &body, const QStringList &words)
{
    return std::all_of(words.begin(), words.end(), [&body](const QString &word) { return body.contains(word); });
}

namespace
{
// A character as six hex digits: every code point fits, and a pair's first character is the first six.
void appendHex(QString &out, char32_t c)
{
    static constexpr char digits[] = "0123456789abcdef";
    for (int shift = 20; shift >= 0; shift -= 4)
        out += QLatin1Char(digits[(c >> shift) & 0xF]);
}
} // namespace

QString SearchGrams(const QString &body)
{
    const QList<uint> chars = body.toUcs4();
    std::vector<quint64> pairs;
    pairs.reserve(chars.size());
    for (qsizetype i = 0; i < chars.size(); ++i)
        pairs.push_back(quint64(chars[i]) << 32 | (i + 1 < chars.size() ? chars[i + 1] : 0));
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    QString grams;
    grams.reserve(qsizetype(pairs.size()) * 13);
    for (const quint64 pair : pairs) {
        if (!grams.isEmpty())
            grams += QLatin1Char(' ');
        appendHex(grams, char32_t(pair >> 32));
        appendHex(grams, char32_t(pair & 0xFFFFFFFF));
    }
    return grams;
}

QString GramQuery(const QString &word)
{
    const QList<uint> chars = word.toUcs4();
    if (chars.isEmpty() || chars.size() > 2)
        return {};
    QString token;
    for (const uint c : chars)
        appendHex(token, c);
    // One character: every pair it begins (the end mark makes its last place one too).
    return QLatin1Char('"') + token + (chars.size() == 1 ? QStringLiteral("\"*") : QStringLiteral("\""));
}

QStringList SearchWords(const QString &query)
{
    // NFKC turns the full-width blank into an ASCII one; simplified() every blank and tab into one.
    QStringList words;
    for (const QString &word : SearchForm(query).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!words.contains(word))
            words << word;
    return words;
}

Snippet SnippetOf(const QString &text, const QStringList &words, int context)
{
    // The search form of the text a character at a time, a character taken with the marks that follow it
    // (ﾊﾞ is バ only together), with where each piece came from, so that a hit found in that form can be
    // shown in the text as written, and a snippet never starts or ends between a character and its mark.
    const auto joinsBefore = [](QChar c) { return c.unicode() == 0xFF9E || c.unicode() == 0xFF9F || c.isMark(); };
    QString folded;
    QList<qsizetype> origin; // for each character of `folded`, the index in `text` its character starts at
    QList<qsizetype> starts; // where each character of `text` starts
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i + (text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1);
        while (end < text.size() && joinsBefore(text.at(end)))
            ++end;
        const QString piece = SearchForm(text.mid(i, end - i));
        folded += piece;
        origin.insert(origin.size(), piece.size(), i);
        starts << i;
        i = end;
    }
    // The start of the character that holds index at (at itself when one starts there).
    const auto characterAt = [&starts](qsizetype at) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), at);
        return next == starts.begin() ? qsizetype(0) : *(next - 1);
    };
    qsizetype hitAt = -1, hitEnd = -1;
    for (const QString &word : words) {
        const qsizetype at = folded.indexOf(word);
        if (at >= 0 && (hitAt < 0 || at < hitAt)) {
            hitAt = at;
            hitEnd = at + word.size();
        }
    }
    const auto shown = [](QString piece) {
        piece.replace(QLatin1String("\r\n"), QLatin1String(" "));
        piece.replace(QLatin1Char('\n'), QLatin1Char(' '));
        piece.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return piece;
    };
    if (hitAt < 0)
        return Snippet{{}, {}, shown(text.left(2 * context))};

    const qsizetype from = origin.at(hitAt);
    const qsizetype to = hitEnd < origin.size() ? origin.at(hitEnd) : text.size();
    const qsizetype start = characterAt(std::max<qsizetype>(0, from - context));
    qsizetype stop = std::min<qsizetype>(text.size(), to + context);
    if (characterAt(stop) != stop) { // inside a character: to its end
        const auto next = std::upper_bound(starts.begin(), starts.end(), stop);
        stop = next == starts.end() ? text.size() : *next;
    }
    Snippet s{shown(text.mid(start, from - start)), shown(text.mid(from, to - from)), shown(text.mid(to, stop - to))};
    if (start > 0)
        s.before.prepend(QStringLiteral("…"));
    if (stop < text.size())
        s.after.append(QStringLiteral("…"));
    return s;
}

} // namespace worvane
