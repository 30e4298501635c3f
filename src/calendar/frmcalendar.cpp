#include "calendar/frmcalendar.h"

#include "app/messagepresenter.h"
#include "core/clock.h"
#include "widgets/fieldrules.h"
#include "widgets/screen.h"

#include <QBoxLayout>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCharFormat>
#include <QToolButton>

namespace worvane
{

namespace
{
// The month heading in the Japanese order, "2026年12月": the year (with 年) before the month. The
// calendar's own year and month buttons are kept, menus and all, and put in that order.
void showJapaneseHeading(QCalendarWidget *calendar)
{
    auto *bar = calendar->findChild<QWidget *>(QStringLiteral("qt_calendar_navigationbar"));
    auto *month = calendar->findChild<QToolButton *>(QStringLiteral("qt_calendar_monthbutton"));
    auto *year = calendar->findChild<QToolButton *>(QStringLiteral("qt_calendar_yearbutton"));
    auto *yearEdit = calendar->findChild<QSpinBox *>(QStringLiteral("qt_calendar_yearedit"));
    auto *layout = bar ? qobject_cast<QBoxLayout *>(bar->layout()) : nullptr;
    if (!layout || !month || !year || !yearEdit || layout->indexOf(year) < 0)
        return;                                // another build of the calendar: its own heading stays
    yearEdit->setSuffix(QStringLiteral("年")); // the year button shows the edit's text
    year->setText(yearEdit->text());
    layout->removeWidget(month);
    layout->insertWidget(layout->indexOf(year) + 1, month);
}
} // namespace

frmCalendar::frmCalendar(const DaysOff &daysOff, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCalendar"));
    setWindowTitle(caption::Calendar);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(ScreenFont(9.75));
    setFixedSize(TwipsRect(0, 0, 4680, 3810).size());

    Calendar = new QCalendarWidget(this);
    Calendar->setObjectName(QStringLiteral("Calendar"));
    Calendar->setAccessibleName(caption::Calendar);
    Calendar->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    Calendar->setFirstDayOfWeek(Qt::Sunday);
    Calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    Calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    PlaceTwips(Calendar, 173, 210, 4335, 2820);
    showJapaneseHeading(Calendar);
    QTextCharFormat saturday = Calendar->weekdayTextFormat(Qt::Saturday);
    saturday.setForeground(QColor(0, 0, 255));
    Calendar->setWeekdayTextFormat(Qt::Saturday, saturday);
    QTextCharFormat sunday = Calendar->weekdayTextFormat(Qt::Sunday);
    sunday.setForeground(QColor(255, 0, 0));
    Calendar->setWeekdayTextFormat(Qt::Sunday, sunday);
    // The days off of the month shown (and of the days of the months beside it that it shows).
    const auto markDaysOff = [this, daysOff, sunday](int year, int month) {
        const QDate first(year, month, 1);
        for (QDate day = first.addDays(-7); day < first.addMonths(1).addDays(14); day = day.addDays(1))
            if (const QString name = daysOff.holidayName(day); !name.isEmpty()) {
                QTextCharFormat holiday = sunday;
                holiday.setToolTip(name);
                Calendar->setDateTextFormat(day, holiday);
            }
    };
    connect(Calendar, &QCalendarWidget::currentPageChanged, this, markDaysOff);

    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAccessibleName(cmdClose->text());
    cmdClose->setFont(ScreenFont(9.75, true));
    cmdClose->setAutoDefault(false);
    PlaceTwips(cmdClose, 1665, 3150, 1350, 500);

    setTabOrder(Calendar, cmdClose);

    // The window always opens on today, whatever was picked before.
    Calendar->setSelectedDate(Clock::today());
    markDaysOff(Clock::today().year(), Clock::today().month());

    // A click on a day picks it; paging with the month and year selectors does not. Enter in the
    // calendar (and a date typed into the calendar and confirmed with Enter) arrives as activated.
    connect(Calendar, &QCalendarWidget::clicked, this, &frmCalendar::pickDate);
    connect(Calendar, &QCalendarWidget::activated, this, &frmCalendar::pickDate);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    Calendar->setFocus();
}

std::optional<QDate> frmCalendar::pick(QWidget *parent, const DaysOff &daysOff)
{
    frmCalendar calendar(daysOff, parent);
    calendar.exec();
    ReturnFocusTo(parent);
    return calendar.picked();
}

void frmCalendar::pickDate()
{
    const QDate date = Calendar->selectedDate();
    if (!date.isValid())
        return;
    m_picked = date;
    accept();
}

void frmCalendar::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the focused button (the list and the calendar take their own Enter first); Escape
    // closes the window as 閉じる does.
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

} // namespace worvane
