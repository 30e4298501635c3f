#pragma once

#include <QString>
#include <QStringList>

// How text is compared in a search: in one normalised form, so that ASCII case and the full-width and
// half-width forms of a character do not matter (Ａ = A = a, ｱ = ア), matched by substring.

namespace worvane
{

// NFKC, then case-folded: the form in which both the stored text and the query are compared.
QString SearchForm(const QString &text);

// An item's title and detail in search form, as one text the words are looked for in (a word is never
// found across the two).
QString SearchBody(const QString &head, const QString &detail);

// Whether every word occurs in a search body.
bool MatchesAllWords(const QString &body, const QStringList &words);

// The short-word index of a search body: each pair of neighbouring characters (the last one paired with
// an end mark) as a token of ASCII hex digits, each pair once, blank-separated. Two-character words are
// found as a pair, one-character words as the pairs that begin with them; any tokenizer that splits at
// blanks takes the tokens as they are. What it gives for a body never changes: an index removes an
// entry by giving the same tokens again.
QString SearchGrams(const QString &body);

// A word of one or two characters as a query of those tokens (FTS5 syntax); empty for a longer word.
QString GramQuery(const QString &word);

// The words of a query in search form: split at blanks (full-width ones too), empty and repeated
// words left out. Every word must occur for an item to match.
QStringList SearchWords(const QString &query);

// A short piece of a text around the first place where one of the words occurs, for a result list:
// `before` + `hit` + `after` read as the text does, line breaks shown as blanks. Without a hit, the
// text's beginning, and `hit` empty.
struct Snippet {
    QString before;
    QString hit;
    QString after;
    bool operator==(const Snippet &) const = default;
};
Snippet SnippetOf(const QString &text, const QStringList &words, int context = 16);

} // namespace worvane
