#pragma once

#include "store/reportstore.h"

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace worvane
{

class FlexGrid;
class LimitedTextEdit;
class WorkItemModel;

// The main window: one project's report of one day. The header (project code and date) picks the day;
// the entry panel holds the working hours, the work-item list and the item editor; the action row saves
// the day, writes the report file, cancels and closes.
class frmWorvane : public QWidget
{
    Q_OBJECT
public:
    explicit frmWorvane(QWidget *parent = nullptr);

    // The window's load: start-up, then the typing limits and the start state. False when the program
    // must end at once (another copy runs); the window is then not shown.
    bool load();

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
    bool SaveReport();

    // Header.
    QLabel *lblPJCode;
    QLineEdit *txtPJCODE;
    QPushButton *cmdCallPJViewer;
    QLabel *lblPJNAME;
    QFrame *Line1;
    QLabel *lblDate;
    QLineEdit *txtWKYMD;
    QPushButton *cmdCallCalendar;
    QPushButton *cmdSerch;
    // Entry panel.
    QFrame *fraPanel;
    QLabel *lblWorkTime;
    QLineEdit *txtWSTIME;
    QLabel *lblTo;
    QLineEdit *txtWETIME;
    FlexGrid *fgdWKCONT;
    QLabel *lblWorkCode;
    QLineEdit *txtWKCODE;
    QPushButton *cmdAddWork;
    QPushButton *cmdUpdWork;
    QPushButton *cmdDelWork;
    QLabel *lblWorkHeader;
    QLineEdit *txtWKHEAD;
    QLabel *lblDetail;
    LimitedTextEdit *txtDETAIL;
    // Action row.
    QLabel *lblF1;
    QPushButton *cmdUpdate;
    QLabel *lblF2;
    QPushButton *cmdOutput;
    QLabel *lblF3;
    QPushButton *cmdCancel;
    QLabel *lblF4;
    QPushButton *cmdClose;
    QLabel *lblStatus; // what a field refused, for a while

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Lookup { Found, NotFound, Failed };
    struct FunctionKey {
        int key;
        bool needsPanel; // F1, F2, F5, F6, F9 act only in the editing state
        void (frmWorvane::*click)();
    };
    static const FunctionKey FunctionKeys[];

    void buildHeader();
    void buildPanel();
    void buildActionRow();
    void setTabOrder();
    void connectFields();

    // Event handlers.
    void txtPJCODE_LostFocus();
    void txtWKYMD_KeyDown(int key);
    void txtWKYMD_LostFocus();
    void txtWETIME_KeyPress(int &keyCode);
    void txtWETIME_LostFocus();
    void cmdCallPJViewer_Click();
    void cmdCallCalendar_Click();
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
    ReportStore store() const;
    QList<WorkItem> listItems() const;
    WorkItem editedItem() const;
    void focusField(QWidget *field);
    void warn(const QString &text);
    void inform(const QString &text);
    void fail(const QString &text);

    WorkItemModel *m_items;
    bool m_unloaded = false;
    bool m_movingFocus = false; // the program moves the focus to a field at fault
};

} // namespace worvane
