#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

namespace worvane
{

// Window layouts are given in twips: 15 to a pixel at 96 dots per inch (Qt scales for other densities).
constexpr int Twips(int twips)
{
    return (twips + 7) / 15;
}

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

inline void PlaceTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsRect(left, top, width, height));
}

// The program's font: a Japanese monospace Gothic, in the given size.
inline QFont ScreenFont(qreal pointSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ ゴシック"),
                      QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("IPAGothic"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace worvane
