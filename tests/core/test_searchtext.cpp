#include "core/searchtext.h"

#include <QTest>

using namespace worvane;

class TestSearchText : public QObject
{
    Q_OBJECT

private slots:
    void wordsAreComparedInOneForm()
    {
        QCOMPARE(SearchWords(QStringLiteral(" Ａｂｃ　ｶﾞｯﾂ abc\tＡＢＣ ")),
                 (QStringList{QStringLiteral("abc"), QStringLiteral("ガッツ")}));
        QCOMPARE(SearchForm(QStringLiteral("ｱﾞ①ﬁ")), QStringLiteral("ア\u30991fi"));
    }

    // The hit is shown in the text as written, whatever form it was found in.
    void snippetShowsTheTextAroundItsFirstHit()
    {
        const QString text = QStringLiteral("一二三四五六七八九十\r\nＩｎｖｏｉｃｅ batch 修正");
        QCOMPARE(SnippetOf(text, {QStringLiteral("batch"), QStringLiteral("invoice")}, 3),
                 (Snippet{QStringLiteral("…十 "), QStringLiteral("Ｉｎｖｏｉｃｅ"), QStringLiteral(" ba…")}));
        QCOMPARE(SnippetOf(text, {QStringLiteral("修正")}, 40),
                 (Snippet{QStringLiteral("一二三四五六七八九十 Ｉｎｖｏｉｃｅ batch "), QStringLiteral("修正"), {}}));
        QCOMPARE(SnippetOf(QStringLiteral("abc"), {QStringLiteral("x")}), (Snippet{{}, {}, QStringLiteral("abc")}));
        // Half-width kana with their voiced marks: found and marked whole, never cut from their marks.
        QCOMPARE(SnippetOf(QStringLiteral("請求ﾊﾞｯﾁ修正"), SearchWords(QStringLiteral("バッチ")), 2),
                 (Snippet{QStringLiteral("請求"), QStringLiteral("ﾊﾞｯﾁ"), QStringLiteral("修正")}));
        QCOMPARE(SnippetOf(QStringLiteral("ｶﾞｷﾞ確認ｸﾞｹﾞ"), {QStringLiteral("確認")}, 1),
                 (Snippet{QStringLiteral("…ｷﾞ"), QStringLiteral("確認"), QStringLiteral("ｸﾞ…")}));
    }
};

QTEST_GUILESS_MAIN(TestSearchText)
#include "test_searchtext.moc"
