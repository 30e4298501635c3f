#include "widgets/screen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace worvane
{

namespace
{
void place(QWidget *w, QRect twips)
{
    PlaceTwips(w, twips.x(), twips.y(), twips.width(), twips.height());
}
} // namespace

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, QRect twips)
{
    auto *label = Make<QLabel>(parent, name);
    label->setText(caption);
    label->setFocusPolicy(Qt::NoFocus);
    place(label, twips);
    return label;
}

QLineEdit *MakeLineEdit(QWidget *parent, const char *name, const QString &accessible, QRect twips)
{
    auto *field = Make<QLineEdit>(parent, name);
    field->setAccessibleName(accessible);
    place(field, twips);
    return field;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, QRect twips, qreal points,
                        bool autoDefault)
{
    auto *button = Make<QPushButton>(parent, name);
    button->setText(caption);
    button->setAccessibleName(caption);
    button->setFont(ScreenFont(points, true));
    button->setAutoDefault(autoDefault);
    place(button, twips);
    return button;
}

void KeepColoursWhenDisabled(QWidget *w)
{
    QPalette palette = w->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = QPalette::ColorRole(role);
        palette.setColor(QPalette::Disabled, r, palette.color(QPalette::Active, r));
    }
    w->setPalette(palette);
}

} // namespace worvane
