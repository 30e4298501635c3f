#pragma once

#include "core/holidays.h"

#include <QDate>
#include <QDialog>
#include <optional>

class QCalendarWidget;
class QPushButton;

namespace worvane
{

// The calendar window: opens on today; a click on a day or Enter picks that day and closes. Closing with
// 閉じる, Escape or the close box picks nothing.
class frmCalendar : public QDialog
{
    Q_OBJECT
public:
    // Holidays and the company's days off show as Sundays do, named in their tooltips.
    explicit frmCalendar(const DaysOff &daysOff = {}, QWidget *parent = nullptr);

    // Shows the window modally; the day picked, or nothing.
    static std::optional<QDate> pick(QWidget *parent, const DaysOff &daysOff = {});

    // The day picked once the window has closed, or nothing.
    std::optional<QDate> picked() const { return m_picked; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void pickDate();

    QCalendarWidget *Calendar;
    QPushButton *cmdClose;
    std::optional<QDate> m_picked;
};

} // namespace worvane
