#pragma once

#include <QDialog>

class QCalendarWidget;
class QPushButton;

namespace worvane
{

// The calendar window: opens on today; a click on a day or Enter puts that day into
// globals::CalendarDate as "YYYY/MM/DD" and closes. Closing without a pick leaves CalendarDate alone.
class frmCalendar : public QDialog
{
    Q_OBJECT
public:
    explicit frmCalendar(QWidget *parent = nullptr);

    static const QString Caption;

    // "YYYY/MM/DD": the year as its plain number, month and day with two digits each.
    static QString DateText(int year, int month, int day);

    QCalendarWidget *Calendar;
    QPushButton *cmdClose;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void pickDate();
};

} // namespace worvane
