#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

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

// Controls of a fixed layout, each with its objectName (the name tests, screen readers and automation
// find it by) and its place in twips.
template <class W> W *Make(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, QRect twips);
// The accessible name is the caption of the label beside the field.
QLineEdit *MakeLineEdit(QWidget *parent, const char *name, const QString &accessible, QRect twips);
// Bold; Enter on the focused button presses it when autoDefault (the main window), or the dialog's
// own key rule does (the dialogs).
QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, QRect twips,
                        qreal points = 9, bool autoDefault = true);

// A control of a window by its objectName, as tests, screen readers and automation find it; null when
// there is none of that name and kind.
template <class T> T *ControlOf(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

// A control inside a disabled panel keeps its colours: unusable, but not greyed.
void KeepColoursWhenDisabled(QWidget *w);

} // namespace worvane
