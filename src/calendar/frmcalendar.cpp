#include "calendar/frmcalendar.h"

#include "app/globals.h"
#include "common/clock.h"
#include "common/fieldrules.h"
#include "common/screen.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>

namespace worvane
{

const QString frmCalendar::Caption = QStringLiteral("カレンダー");

frmCalendar::frmCalendar(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCalendar"));
    setWindowTitle(Caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(ScreenFont(9.75));
    setFixedSize(TwipsRect(0, 0, 4680, 3810).size());

    Calendar = new QCalendarWidget(this);
    Calendar->setObjectName(QStringLiteral("Calendar"));
    Calendar->setAccessibleName(Caption);
    Calendar->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    Calendar->setFirstDayOfWeek(Qt::Sunday);
    Calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    Calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    PlaceTwips(Calendar, 173, 210, 4335, 2820);

    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAccessibleName(cmdClose->text());
    cmdClose->setFont(ScreenFont(9.75, true));
    cmdClose->setAutoDefault(false);
    PlaceTwips(cmdClose, 1665, 3150, 1350, 500);

    setTabOrder(Calendar, cmdClose);

    // The window always opens on today, whatever was picked before.
    Calendar->setSelectedDate(Clock::today());

    // A click on a day picks it; paging with the month and year selectors does not. Enter in the
    // calendar (and a date typed into the calendar and confirmed with Enter) arrives as activated.
    connect(Calendar, &QCalendarWidget::clicked, this, &frmCalendar::pickDate);
    connect(Calendar, &QCalendarWidget::activated, this, &frmCalendar::pickDate);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    Calendar->setFocus();
}

QString frmCalendar::DateText(int year, int month, int day)
{
    return QStringLiteral("%1/%2/%3")
        .arg(year)
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

void frmCalendar::pickDate()
{
    const QDate date = Calendar->selectedDate();
    if (!date.isValid())
        return;
    globals::CalendarDate = DateText(date.year(), date.month(), date.day());
    accept();
}

void frmCalendar::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the focused button (the list and the calendar take their own Enter first); the
    // window has no cancel button, so Escape does not close it.
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

} // namespace worvane
