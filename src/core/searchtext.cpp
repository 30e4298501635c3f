#include "core/searchtext.h"

#include "core/cp932.h"

#include <QList>

#include <algorithm>

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
    // The search form of the text one character at a time, with where each piece came from, so that a
    // hit found in that form can be shown in the text as written.
    QString folded;
    QList<qsizetype> origin; // for each character of `folded`, the index in `text` it came from
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = SearchForm(text.mid(i, width));
        folded += piece;
        origin.insert(origin.size(), piece.size(), i);
        i += width;
    }
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
    const qsizetype start = std::max<qsizetype>(0, from - context);
    const qsizetype stop = std::min<qsizetype>(text.size(), to + context);
    Snippet s{shown(text.mid(start, from - start)), shown(text.mid(from, to - from)), shown(text.mid(to, stop - to))};
    if (start > 0)
        s.before.prepend(QStringLiteral("…"));
    if (stop < text.size())
        s.after.append(QStringLiteral("…"));
    return s;
}

} // namespace worvane
