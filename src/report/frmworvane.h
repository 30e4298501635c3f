#pragma once

#include "report/frmworvane_ui.h"
#include "core/dayrules.h"
#include "core/holidays.h"
#include "store/store.h"

#include <QWidget>

namespace worvane
{

class WorkItemModel;

// The main window: one project's report of one day. The header (project code and date) picks the day;
// the entry panel holds the working hours, the work-item list and the item editor; the action row saves
// the day, writes the report file, cancels and closes, and a second row shows the other function keys
// (月報, 全文検索, 履歴, 前回の写し, 提出状況) as buttons. The controls (frmWorvaneUi) are its own: tests,
// screen readers and automation find them by their objectNames.
class frmWorvane : public QWidget, private frmWorvaneUi
{
    Q_OBJECT
public:
    // Opens in the start state, with the settings' default code, on the store of the settings' database,
    // which the caller owns and which outlives the window.
    frmWorvane(Settings settings, Store &store, QWidget *parent = nullptr);

    const Settings &settings() const { return m_settings; }
    // A standing notice in the status line, beside the day's state and the days not entered.
    void setNotice(const QString &text)
    {
        m_notice = text;
        showStanding();
    }

    // Window routines.
    void ApplyInputLimits();
    void ResetScreen();
    void InitWorkGrid();
    void SetPanelEnabled(bool enabled);
    void DispatchFunctionKey(int key);
    bool LookupProjectName();
    bool LoadDayReport(const DayLoad &day);
    bool CheckWorkItem();
    bool CheckReportHeader();
    Outcome SaveReport();
    DaySave screenDay() const;

private:
    enum class Lookup { Found, NotFound, Failed };
    struct FunctionKey {
        int key;
        bool needsPanel; // F1, F2, F5, F6, F9, F10, F11 act only in the editing state
        bool changesDay; // refused on a day approved or closed (F2 writes it out, F10 shows its versions)
        void (frmWorvane::*click)();
        QPushButton *frmWorvaneUi::*button; // the key's button, enabled exactly when the key acts
    };
    static const FunctionKey FunctionKeys[];
    static const FunctionKey *functionKey(int key);
    // A function key or its button in the second row: the key's action, when the window's state allows it.
    bool pressFunctionKey(int key);
    bool keyActs(const FunctionKey &f) const;
    void showKeyButtons();

    void connectFields();
    // The status line names the working days of the month so far that have no saved day (未入力).
    void showMissingDays();
    void daySaved(const QString &date); // the days not entered, after a save of that date
    // The day loaded as the team sees it: its state and latest comment in the status line; a day approved
    // or closed is read-only (its fields read-only, its changes refused with the reason).
    DayReview readDayReview(const QString &date);
    void showDayReview(const DayReview &review);
    void showStanding();
    QString m_notice; // what the last exit could not do (its backup), in the status line

    // Event handlers.
    void txtPJCODE_LostFocus();
    void txtWKYMD_KeyDown(int key);
    void txtWKYMD_LostFocus();
    void txtWETIME_KeyPress(int &keyCode);
    void txtWETIME_LostFocus();
    void cmdCallPJViewer_Click();
    void cmdCallCalendar_Click();
    void openMonthView(); // F7: the month window (月報)
    void openSubmission(); // F12: the team's month (提出状況)
    void openSearch();    // F8: the full-text search window (全文検索)
    // A day picked in another window, opened as if typed and searched; asks first when it would replace
    // input not saved yet (false: the user keeps the screen).
    bool openDay(const QString &code, const QString &date);
    bool holdsUnsavedInput() const;
    void copyLastDay();   // F11: the hours and items of the project's last earlier day
    void showHistory();   // F10: the day's saved versions (履歴), one of them put back on the screen
    // Times and items put on the screen (not saved: F1 saves them), the status line saying so.
    void putOnScreen(const QString &startTime, const QString &endTime, const QList<WorkItem> &items,
                     const QString &said);
    void cmdSerch_Click();
    void fgdWKCONT_Pick();
    void cmdAddWork_Click();
    void cmdUpdWork_Click();
    void cmdDelWork_Click();
    void cmdUpdate_Click();
    void cmdOutput_Click();
    void cmdCancel_Click();
    void cmdClose_Click();

    Lookup lookupProject();
    DayHeader header() const;
    WorkItem editorItem() const;
    // A check's fault: its message, then the focus on its field (text selected).
    void showFault(const Fault &fault);
    // Every box of this window: the message under the window's caption; true when a question got Yes.
    bool say(const Message &message);
    // The message of a failed load or save: the server out of reach, the day changed elsewhere, the file
    // held by another program or its disk full, or the one given.
    QList<WorkItem> listItems() const;
    void focusField(QWidget *field);
    Settings m_settings;
    Store &m_store;
    DaysOff m_daysOff; // weekends, holidays and the company's days off
    bool m_dayLocked = false;
    QString m_dayText;     // the day's state, in the status line
    QString m_missingText; // the days not entered, in the status line
    QList<QDate> m_missingDays; // those days, as of m_missingAsOf
    QDate m_missingAsOf;
    WorkItemModel *m_items;
    bool m_movingFocus = false; // the program moves the focus to a field at fault
    // The day the search loaded (or the save stored), and what it was then.
    struct LoadedDay {
        QString code;
        QString date;
        QString stamp;
    };
    std::optional<LoadedDay> m_loaded;
};

} // namespace worvane
