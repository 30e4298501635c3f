#pragma once

#include "core/holidays.h"
#include "core/values.h"
#include "store/store.h"

#include <QDate>
#include <QDialog>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace worvane
{

class MonthModel;
class StackedBarChart;

// The month window (月報): the saved hours of a month, one row per project and one column per day, with
// the totals; PageUp and PageDown step a month; Enter or a double-click on a day opens it in the main
// window; F5, F6, F7 and F10 export the range typed under the grid (the month shown, unless changed) to
// CSV, Excel, a 月報 text file or a 月報 PDF. F8 shows the month as a chart instead of the grid (a stacked bar a day), F9 the
// year (a bar a month; PageUp and PageDown then step a year); both follow the code filter and the person.
// On the team database a lead picks whose days: their own, everyone's (全員) or one person's.
class frmMonthView : public QDialog
{
    Q_OBJECT
public:
    // What the window hands back: the project and the date of the day opened.
    struct Pick {
        QString code;
        QString date;
    };

    // The store is the settings' database's; an export never writes over it or over the settings file.
    frmMonthView(Store &store, Settings settings, const QDate &month, QWidget *parent = nullptr);

    // Shows the window modally on the month of `month`; the day opened, or nothing.
    static std::optional<Pick> open(Store &store, const Settings &settings, const QDate &month, QWidget *parent);
    const std::optional<Pick> &picked() const { return m_picked; }

private:
    void showMonth(const QDate &month);
    // What the window shows: the grid, the month's chart, or the year's.
    enum class View { Grid, MonthChart, YearChart };
    void showView(View view);
    void showYear(int year);
    // The range's saved days, or none after saying why they could not be read.
    QList<DaySummary> readDays(const RangeSelection &selection);
    void openDay(const QModelIndex &index);
    enum class Format { Csv, Xlsx, Text, Pdf };
    void exportRange(Format format);
    People people() const;

    Store &m_store;
    Settings m_settings;
    MonthModel *m_model;
    QLabel *lblMonth;
    QLineEdit *txtPJCODE;
    QComboBox *cmbPERSON; // a lead's only
    QString m_self;       // the reader's login role on the team database
    std::optional<QString> m_shownPattern; // the code filter the grid was read with
    QTableView *fgdMONTH;
    QLineEdit *txtFROM;
    QLineEdit *txtTO;
    QPushButton *cmdCsv;
    QPushButton *cmdXlsx;
    QPushButton *cmdText;
    QPushButton *cmdPdf;
    QPushButton *cmdChart;
    QPushButton *cmdYear;
    QPushButton *cmdClose;
    StackedBarChart *chtMONTH;
    QPushButton *m_previous;
    QPushButton *m_next;
    View m_view = View::Grid;
    DaysOff m_daysOff;
    QList<DaySummary> m_monthDays; // the days of the month shown, for its chart
    std::optional<Pick> m_picked;
};

} // namespace worvane
