#include "calendar/frmcalendar.h"
#include "core/clock.h"
#include "widgets/screen.h"
#include "core/dayrules.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextCharFormat>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace worvane;

namespace
{
// Friday 6 March 2026: month and day both below ten.
const QDate Today(2026, 3, 6);
const QString Untouched; // nothing picked

QCalendarWidget *calendarOf(frmCalendar &window)
{
    return window.findChild<QCalendarWidget *>(QStringLiteral("Calendar"));
}

QPushButton *closeOf(frmCalendar &window)
{
    return window.findChild<QPushButton *>(QStringLiteral("cmdClose"));
}

QTableView *daysOf(frmCalendar &calendar)
{
    return calendar.findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview"));
}

// The centre of the first cell on the page that shows the given day of the month. Days of the
// previous month, shown before the 1st, are all above 20, so for a day up to 20 the first match is in
// the month on the page.
QPoint dayCell(QTableView *view, int day)
{
    const QAbstractItemModel *model = view->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c) {
            const QModelIndex index = model->index(r, c);
            if (index.data().toString() == QString::number(day))
                return view->visualRect(index).center();
        }
    }
    return QPoint(-1, -1);
}
} // namespace

class TestCalendar : public QObject
{
    Q_OBJECT

    std::unique_ptr<frmCalendar> m_calendar;

    // The picked day as the main window shows it; empty when nothing was picked.
    QString pickedText() const
    {
        return m_calendar && m_calendar->picked() ? ymdText(*m_calendar->picked()) : QString();
    }

    bool open()
    {
        m_calendar = std::make_unique<frmCalendar>();
        m_calendar->show();
        return QTest::qWaitForWindowActive(m_calendar.get());
    }

private slots:
    void init() { Clock::setFixed(QDateTime(Today, QTime(23, 59, 59))); }

    void cleanup()
    {
        m_calendar.reset();
        Clock::clearFixed();
    }

    void opensOnTodayWithItsLayout()
    {
        QVERIFY(open());
        frmCalendar &w = *m_calendar;
        QCOMPARE(w.windowTitle(), QStringLiteral("カレンダー"));
        QCOMPARE(w.size(), QSize(312, 254));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(closeOf(w)->font().bold());
        QVERIFY(!calendarOf(w)->accessibleName().isEmpty());
        QVERIFY(!closeOf(w)->accessibleName().isEmpty());
        QCOMPARE(calendarOf(w)->locale().language(), QLocale::Japanese);
        QCOMPARE(calendarOf(w)->selectedDate(), Today);
        QCOMPARE(calendarOf(w)->monthShown(), 3);
        // The heading in the Japanese order, year first; Saturdays blue, Sundays red.
        const auto *year = w.findChild<QWidget *>(QStringLiteral("qt_calendar_yearbutton"));
        const auto *month = w.findChild<QWidget *>(QStringLiteral("qt_calendar_monthbutton"));
        QVERIFY(year->x() < month->x());
        QCOMPARE(static_cast<const QToolButton *>(year)->text(), QStringLiteral("2026年"));
        QCOMPARE(calendarOf(w)->weekdayTextFormat(Qt::Saturday).foreground().color(), QColor(0, 0, 255));
        QCOMPARE(calendarOf(w)->weekdayTextFormat(Qt::Sunday).foreground().color(), QColor(255, 0, 0));
        QVERIFY(calendarOf(w)->hasFocus());
        QCOMPARE(QApplication::focusWidget(), daysOf(w));
    }

    void enterAtOncePicksToday()
    {
        QVERIFY(open());
        QTest::keyClick(daysOf(*m_calendar), Qt::Key_Return);
        QCOMPARE(pickedText(), QStringLiteral("2026/03/06"));
        QCOMPARE(m_calendar->result(), int(QDialog::Accepted));
        QVERIFY(!m_calendar->isVisible());
    }

    // As the main window opens it: modal, and exec returns once a day is clicked.
    void clickOnADayPicksIt()
    {
        m_calendar = std::make_unique<frmCalendar>();
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            modal = QApplication::activeModalWidget() == m_calendar.get();
            QTableView *view = daysOf(*m_calendar);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, dayCell(view, 17));
            if (m_calendar->isVisible())
                m_calendar->reject(); // the click did not close it: let the test fail, not hang
        });
        QCOMPARE(m_calendar->exec(), int(QDialog::Accepted));
        QVERIFY(modal);
        QCOMPARE(pickedText(), QStringLiteral("2026/03/17"));
    }

    // Paging with the month buttons picks nothing; a click on a day of the page reached then does.
    void dayInAnotherMonthAfterPaging()
    {
        QVERIFY(open());
        auto *previous =
            calendarOf(*m_calendar)->findChild<QToolButton *>(QStringLiteral("qt_calendar_prevmonth"));
        QVERIFY(previous);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(previous, Qt::LeftButton);
        QCOMPARE(calendarOf(*m_calendar)->yearShown(), 2025);
        QCOMPARE(calendarOf(*m_calendar)->monthShown(), 12);
        QVERIFY(m_calendar->isVisible());
        QCOMPARE(pickedText(), Untouched);

        QTableView *view = daysOf(*m_calendar);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, dayCell(view, 9));
        QCOMPARE(pickedText(), QStringLiteral("2025/12/09"));
        QVERIFY(!m_calendar->isVisible());
    }

    // Moving the day with the keys picks nothing until Enter; the pick is the day then selected.
    void keysMoveTheDayAndEnterPicksIt()
    {
        QVERIFY(open());
        QWidget *days = daysOf(*m_calendar);
        QTest::keyClick(days, Qt::Key_Right);
        QTest::keyClick(days, Qt::Key_Down);
        QCOMPARE(pickedText(), Untouched);
        QTest::keyClick(days, Qt::Key_Enter);
        QCOMPARE(pickedText(), QStringLiteral("2026/03/14"));
    }

    void closingLeavesTheDateUnwritten()
    {
        QVERIFY(open());
        QTest::mouseClick(closeOf(*m_calendar), Qt::LeftButton);
        QCOMPARE(m_calendar->result(), int(QDialog::Rejected));
        QVERIFY(!m_calendar->isVisible());
        QVERIFY(open());
        QTest::keyClick(daysOf(*m_calendar), Qt::Key_Escape); // as 閉じる
        QCOMPARE(m_calendar->result(), int(QDialog::Rejected));
        QVERIFY(!m_calendar->isVisible());

        QVERIFY(open());
        QTest::keyClick(daysOf(*m_calendar), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), closeOf(*m_calendar));
        QTest::keyClick(closeOf(*m_calendar), Qt::Key_Return); // Enter on the focused button closes
        QVERIFY(!m_calendar->isVisible());

        QVERIFY(open());
        m_calendar->close(); // the close box
        QVERIFY(!m_calendar->isVisible());
        QCOMPARE(pickedText(), Untouched);
    }

    void reopensOnTodayAfterAPick()
    {
        QVERIFY(open());
        QTest::keyClick(daysOf(*m_calendar), Qt::Key_PageDown);
        QTest::keyClick(daysOf(*m_calendar), Qt::Key_Return);
        QVERIFY(pickedText().startsWith(QStringLiteral("2026/04/")));
        QVERIFY(open());
        QCOMPARE(calendarOf(*m_calendar)->selectedDate(), Today);
    }
};

QTEST_MAIN(TestCalendar)
#include "test_calendar.moc"
