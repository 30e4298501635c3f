#pragma once

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace worvane
{

class FlexGrid;
class LimitedTextEdit;

// The main window's controls and their fixed layout, each named as its objectName; setupUi builds
// them on the window. The window's behaviour is frmWorvane's.
struct frmWorvaneUi {
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
    // The second row: the keys that open the other windows and put a day on the screen.
    QLabel *lblF7;
    QPushButton *cmdMonth;
    QLabel *lblF8;
    QPushButton *cmdSearch;
    QLabel *lblF10;
    QPushButton *cmdHistory;
    QLabel *lblF11;
    QPushButton *cmdCopyLast;
    QLabel *lblF12;
    QPushButton *cmdSubmission;
    QLabel *lblStatus; // what a field refused, for a while

    void setupUi(QWidget *window);

private:
    void buildHeader(QWidget *window);
    void buildPanel(QWidget *window);
    void buildActionRow(QWidget *window);
    void setTabOrder();
};

} // namespace worvane
