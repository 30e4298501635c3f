#include "report/frmworvane.h"

#include "app/messagepresenter.h"
#include "app/savefiledialog.h"
#include "app/startup.h"
#include "calendar/frmcalendar.h"
#include "common/bytelimit.h"
#include "common/clock.h"
#include "common/fieldrules.h"
#include "common/flexgrid.h"
#include "common/modcommon.h"
#include "rules/dayrules.h"
#include "common/screen.h"
#include "common/waitcursor.h"
#include "models/workitemmodel.h"
#include "project/frmpjviewer.h"
#include "report/reportfile.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace worvane
{

namespace
{
const QColor FunctionKeyColour(192, 255, 255);
constexpr int StatusLineTwips = 255;
// The entry panel's labels stand a little inside its border, not on it.
constexpr int PanelLabelLeft = 75;

} // namespace

// The function-key map: the key, whether it needs the entry panel, and the button it presses.
const frmWorvane::FunctionKey frmWorvane::FunctionKeys[] = {
    {Qt::Key_F1, true, &frmWorvane::cmdUpdate_Click},  {Qt::Key_F2, true, &frmWorvane::cmdOutput_Click},
    {Qt::Key_F3, false, &frmWorvane::cmdCancel_Click}, {Qt::Key_F4, false, &frmWorvane::cmdClose_Click},
    {Qt::Key_F5, true, &frmWorvane::cmdAddWork_Click}, {Qt::Key_F6, true, &frmWorvane::cmdUpdWork_Click},
    {Qt::Key_F9, true, &frmWorvane::cmdDelWork_Click},
};

frmWorvane::frmWorvane(Settings settings, QWidget *parent) : QWidget(parent), m_settings(std::move(settings))
{
    setObjectName(QStringLiteral("frmWorvane"));
    setWindowTitle(caption::Main);
    setFont(ScreenFont(9.75));
    // The screen's 6030 twips, and a status line below the action row.
    setFixedSize(Twips(9495), Twips(6030 + StatusLineTwips));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    buildHeader();
    buildPanel();
    buildActionRow();
    setTabOrder();
    connectFields();

    // Key preview: F3 and F4 act in any state, the others through DispatchFunctionKey.
    InstallFunctionKeys(this, [this](int key) {
        for (const FunctionKey &f : FunctionKeys) {
            if (f.key == key) {
                f.needsPanel ? DispatchFunctionKey(key) : (this->*f.click)();
                return true;
            }
        }
        return false;
    });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ApplyInputLimits();
    ResetScreen();
    txtPJCODE->setFocus(Qt::OtherFocusReason);
}

void frmWorvane::buildHeader()
{
    lblPJCode = MakeLabel(this, "lblPJCode", QStringLiteral("PJコード"), {105, 135, 795, 195});
    txtPJCODE = MakeLineEdit(this, "txtPJCODE", QStringLiteral("PJコード"), {1050, 100, 950, 285});
    cmdCallPJViewer = MakeButton(this, "cmdCallPJViewer", QStringLiteral("…"), {2085, 105, 285, 285});
    cmdCallPJViewer->setAccessibleName(QStringLiteral("プロジェクト検索"));
    // The name runs the length of its underline, so that a long name is not cut at a quarter of it.
    lblPJNAME = MakeLabel(this, "lblPJNAME", QString(), {2715, 135, 6495 - 2715, 195});
    Line1 = Make<QFrame>(this, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setGeometry(Twips(2715), Twips(375) - 1, Twips(6495 - 2715), 1);
    lblDate = MakeLabel(this, "lblDate", QStringLiteral("日付"), {105, 510, 390, 195});
    txtWKYMD = MakeLineEdit(this, "txtWKYMD", QStringLiteral("日付"), {1050, 480, 1150, 285});
    cmdCallCalendar = MakeButton(this, "cmdCallCalendar", QStringLiteral("…"), {2295, 480, 285, 285});
    cmdCallCalendar->setAccessibleName(QStringLiteral("カレンダー"));
    cmdSerch = MakeButton(this, "cmdSerch", QStringLiteral("検索"), {2850, 465, 705, 315});
}

void frmWorvane::buildPanel()
{
    fraPanel = Make<QFrame>(this, "fraPanel");
    fraPanel->setFrameShape(QFrame::StyledPanel);
    PlaceTwips(fraPanel, 105, 780, 9255, 4410);
    QWidget *p = fraPanel;

    lblWorkTime = MakeLabel(p, "lblWorkTime", QStringLiteral("就労時間"), {PanelLabelLeft, 120, 780, 195});
    txtWSTIME = MakeLineEdit(p, "txtWSTIME", QStringLiteral("就労時間 開始"), {945, 90, 630, 285});
    lblTo = MakeLabel(p, "lblTo", QStringLiteral("～"), {1650, 120, 195, 195});
    txtWETIME = MakeLineEdit(p, "txtWETIME", QStringLiteral("就労時間 終了"), {1920, 90, 630, 285});
    fgdWKCONT = Make<FlexGrid>(p, "fgdWKCONT");
    fgdWKCONT->setAccessibleName(QStringLiteral("作業項目一覧"));
    m_items = new WorkItemModel(this);
    fgdWKCONT->setModel(m_items);
    fgdWKCONT->setMode(FlexGrid::Mode::Empty); // until items come in
    PlaceTwips(fgdWKCONT, 0, 435, 9210, 2010);
    lblWorkCode = MakeLabel(p, "lblWorkCode", QStringLiteral("作業項目№"), {PanelLabelLeft, 2550, 975, 195});
    txtWKCODE = MakeLineEdit(p, "txtWKCODE", QStringLiteral("作業項目№"), {1080, 2505, 315, 285});
    cmdAddWork = MakeButton(p, "cmdAddWork", QStringLiteral("行追加[F5]"), {1590, 2490, 1200, 315});
    cmdUpdWork = MakeButton(p, "cmdUpdWork", QStringLiteral("行変更[F6]"), {2940, 2490, 1200, 315});
    cmdDelWork = MakeButton(p, "cmdDelWork", QStringLiteral("行削除[F9]"), {4290, 2490, 1200, 315});
    lblWorkHeader = MakeLabel(p, "lblWorkHeader", QStringLiteral("作業項目"), {PanelLabelLeft, 2910, 780, 195});
    // 80 bytes are 40 full-width characters: the field runs as far as the detail field so that the 40th
    // is not cut off.
    txtWKHEAD = MakeLineEdit(p, "txtWKHEAD", QStringLiteral("作業項目"), {1080, 2880, 8150, 285});
    lblDetail = MakeLabel(p, "lblDetail", QStringLiteral("作業内容"), {PanelLabelLeft, 3270, 780, 195});
    txtDETAIL = Make<LimitedTextEdit>(p, "txtDETAIL");
    txtDETAIL->setAccessibleName(QStringLiteral("作業内容"));
    txtDETAIL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDETAIL->setTabChangesFocus(true);
    PlaceTwips(txtDETAIL, 1080, 3270, 8150, 1065);

    for (QWidget *w :
         std::initializer_list<QWidget *>{lblWorkTime, txtWSTIME, lblTo, txtWETIME, fgdWKCONT, lblWorkCode,
                                          txtWKCODE, lblWorkHeader, txtWKHEAD, lblDetail, txtDETAIL})
        KeepColoursWhenDisabled(w);
    KeepColoursWhenDisabled(fgdWKCONT->viewport());
    KeepColoursWhenDisabled(fgdWKCONT->horizontalHeader());
}

void frmWorvane::buildActionRow()
{
    auto functionLabel = [this](const char *name, const QString &caption, int left) {
        QLabel *lbl = MakeLabel(this, name, caption, {left, 5235, 1350, 180});
        lbl->setAlignment(Qt::AlignCenter);
        lbl->setFont(ScreenFont(9, true));
        lbl->setAutoFillBackground(true);
        QPalette palette = lbl->palette();
        palette.setColor(QPalette::Window, FunctionKeyColour);
        lbl->setPalette(palette);
        return lbl;
    };
    lblF1 = functionLabel("lblF1", QStringLiteral("Ｆ１"), 900);
    cmdUpdate = MakeButton(this, "cmdUpdate", QStringLiteral("更　新"), {907, 5430, 1350, 500});
    lblF2 = functionLabel("lblF2", QStringLiteral("Ｆ２"), 3015);
    cmdOutput = MakeButton(this, "cmdOutput", QStringLiteral("レポート出力"), {3022, 5430, 1350, 500});
    lblF3 = functionLabel("lblF3", QStringLiteral("Ｆ３"), 5115);
    cmdCancel = MakeButton(this, "cmdCancel", QStringLiteral("キャンセル"), {5122, 5430, 1350, 500});
    lblF4 = functionLabel("lblF4", QStringLiteral("Ｆ４"), 7230);
    cmdClose = MakeButton(this, "cmdClose", QStringLiteral("閉じる"), {7237, 5430, 1350, 500});

    lblStatus = MakeLabel(this, "lblStatus", QString(), {105, 6000, 9285, StatusLineTwips});
    InstallStatusLine(this, lblStatus);
}

void frmWorvane::setTabOrder()
{
    const QList<QWidget *> order{txtPJCODE,  cmdCallPJViewer, txtWKYMD,  cmdCallCalendar, cmdSerch,
                                 txtWSTIME,  txtWETIME,       fgdWKCONT, txtWKCODE,       cmdAddWork,
                                 cmdUpdWork, cmdDelWork,      txtWKHEAD, txtDETAIL,       cmdUpdate,
                                 cmdOutput,  cmdCancel,       cmdClose};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void frmWorvane::connectFields()
{
    for (QLineEdit *field : {txtPJCODE, txtWKYMD, txtWSTIME, txtWETIME, txtWKCODE, txtWKHEAD})
        connect(events(field), &FieldEvents::gotFocus, this, [field] { SelectAllOnFocus(field); });
    for (QLineEdit *field : {txtPJCODE, txtWKYMD, txtWSTIME, txtWETIME, txtWKCODE})
        SetInputMethodEnabled(field, false);

    // Enter in these fields is swallowed and the focus goes straight to the control named.
    const auto enterGoesTo = [this](QLineEdit *field, QWidget *next, bool digitsOnly) {
        connect(events(field), &FieldEvents::keyPress, this, [next, digitsOnly](int &code) {
            if (digitsOnly)
                DigitKeyFilter(code);
            if (code == KeyEnter) {
                code = KeyNone;
                MoveFocus(next);
            }
        });
    };
    enterGoesTo(txtPJCODE, txtWKYMD, false);
    enterGoesTo(txtWKYMD, cmdSerch, true);
    enterGoesTo(txtWKCODE, txtWKHEAD, true); // past the three buttons

    connect(events(txtPJCODE), &FieldEvents::lostFocus, this, &frmWorvane::txtPJCODE_LostFocus);
    connect(events(txtWKYMD), &FieldEvents::keyDown, this,
            [this](int key, Qt::KeyboardModifiers) { txtWKYMD_KeyDown(key); });
    connect(events(txtWKYMD), &FieldEvents::lostFocus, this, &frmWorvane::txtWKYMD_LostFocus);

    connect(events(txtWSTIME), &FieldEvents::keyPress, this, [this](int &code) {
        DigitKeyFilter(code);
        EnterToTab(code, txtWSTIME);
    });
    connect(events(txtWSTIME), &FieldEvents::lostFocus, this,
            [this] { txtWSTIME->setText(formatTime(txtWSTIME->text())); });
    connect(events(txtWETIME), &FieldEvents::keyPress, this, &frmWorvane::txtWETIME_KeyPress);
    connect(events(txtWETIME), &FieldEvents::lostFocus, this, &frmWorvane::txtWETIME_LostFocus);

    connect(fgdWKCONT, &FlexGrid::dblClick, this, &frmWorvane::fgdWKCONT_Pick);
    connect(fgdWKCONT, &FlexGrid::keyPress, this, [this](int &code) {
        if (code == KeyEnter)
            fgdWKCONT_Pick();
    });
    connect(events(txtWKHEAD), &FieldEvents::keyPress, this,
            [this](int &code) { EnterToTab(code, txtWKHEAD); });
    connect(events(txtDETAIL), &FieldEvents::keyDown, this, [this](int key, Qt::KeyboardModifiers modifiers) {
        if (key == Qt::Key_A && modifiers == Qt::ControlModifier)
            txtDETAIL->selectAll();
    });

    connect(cmdCallPJViewer, &QPushButton::clicked, this, &frmWorvane::cmdCallPJViewer_Click);
    connect(cmdCallCalendar, &QPushButton::clicked, this, &frmWorvane::cmdCallCalendar_Click);
    connect(cmdSerch, &QPushButton::clicked, this, &frmWorvane::cmdSerch_Click);
    connect(cmdAddWork, &QPushButton::clicked, this, &frmWorvane::cmdAddWork_Click);
    connect(cmdUpdWork, &QPushButton::clicked, this, &frmWorvane::cmdUpdWork_Click);
    connect(cmdDelWork, &QPushButton::clicked, this, &frmWorvane::cmdDelWork_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmWorvane::cmdUpdate_Click);
    connect(cmdOutput, &QPushButton::clicked, this, &frmWorvane::cmdOutput_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmWorvane::cmdCancel_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmWorvane::cmdClose_Click);
}

// ---- Load, unload and the screen's states ------------------------------------------------------------

void frmWorvane::ApplyInputLimits()
{
    SetByteLimit(txtPJCODE, 8);
    SetByteLimit(txtWKYMD, 10, Accepts::Digits);
    SetByteLimit(txtWSTIME, 4, Accepts::Digits);
    SetByteLimit(txtWETIME, 4, Accepts::Digits);
    SetByteLimit(txtWKCODE, 2, Accepts::Digits);
    SetByteLimit(txtWKHEAD, 80);
    SetByteLimit(txtDETAIL, 255);
}

void frmWorvane::ResetScreen()
{
    txtPJCODE->setText(m_settings.defaultCode);
    for (QLineEdit *field : {txtWKYMD, txtWSTIME, txtWETIME, txtWKCODE})
        field->clear();
    txtWKHEAD->clear();
    txtDETAIL->clear();
    lblPJNAME->clear();
    txtWKYMD->setText(ymdText(Clock::today()));
    InitWorkGrid();
    SetPanelEnabled(false);
}

void frmWorvane::InitWorkGrid()
{
    m_items->clear();
    fgdWKCONT->setColumnWidthsTwips({500, 4000});
    fgdWKCONT->setMode(FlexGrid::Mode::Empty);
}

void frmWorvane::SetPanelEnabled(bool enabled)
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{fraPanel, cmdAddWork, cmdUpdWork, cmdDelWork, cmdUpdate, cmdOutput})
        w->setEnabled(enabled);
}


void frmWorvane::DispatchFunctionKey(int key)
{
    if (!fraPanel->isEnabled())
        return;
    for (const FunctionKey &f : FunctionKeys) {
        if (f.key == key && f.needsPanel)
            (this->*f.click)();
    }
}

void frmWorvane::cmdCancel_Click()
{
    ResetScreen();
    focusField(txtPJCODE);
}

void frmWorvane::cmdClose_Click()
{
    close();
}

// ---- Header fields ----------------------------------------------------------------------------------

void frmWorvane::txtPJCODE_LostFocus()
{
    txtPJCODE->setText(TrimBlanks(txtPJCODE->text()).toUpper());
    LookupProjectName();
}

frmWorvane::Lookup frmWorvane::lookupProject()
{
    if (TrimBlanks(txtPJCODE->text()).isEmpty())
        return Lookup::NotFound;
    const NameLookup lookup = store().lookupProjectName(txtPJCODE->text());
    if (!lookup.ok)
        return Lookup::Failed;
    if (!lookup.found)
        return Lookup::NotFound;
    lblPJNAME->setText(lookup.name);
    return Lookup::Found;
}

bool frmWorvane::LookupProjectName()
{
    // A database that cannot be read leaves the name display as it was; the search that follows reports
    // it, once.
    return lookupProject() == Lookup::Found;
}

void frmWorvane::txtWKYMD_KeyDown(int key)
{
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return;
    if (const auto stepped = stepYmd(txtWKYMD->text(), key == Qt::Key_Up ? -1 : 1))
        txtWKYMD->setText(*stepped);
}

void frmWorvane::txtWKYMD_LostFocus()
{
    txtWKYMD->setText(formatYmd(txtWKYMD->text()));
}

void frmWorvane::txtWETIME_KeyPress(int &keyCode)
{
    DigitKeyFilter(keyCode);
    if (keyCode != KeyEnter)
        return;
    if (m_items->isEmpty()) {
        keyCode = KeyNone;
        MoveFocus(txtWKCODE);
    } else {
        EnterToTab(keyCode, txtWETIME);
    }
}

void frmWorvane::txtWETIME_LostFocus()
{
    txtWETIME->setText(formatTime(txtWETIME->text()));
    // After Cancel the times are empty and the panel is shut: nothing to check, nowhere to go. When the
    // program moves the focus after a message of its own, one message is enough. The focus going to
    // キャンセル or 閉じる is on its way to discard the day: no check stands in its way.
    const QWidget *to = QApplication::focusWidget();
    if (!fraPanel->isEnabled() || m_movingFocus || to == cmdCancel || to == cmdClose)
        return;
    if (!timesInOrder(txtWSTIME->text(), txtWETIME->text()))
        showFault(Fault{msg::HoursOutOfOrder, Field::StartTime});
}

void frmWorvane::cmdCallPJViewer_Click()
{
    if (const std::optional<ProjectRow> project = frmPJViewer::pick(m_settings.databasePath, this)) {
        txtPJCODE->setText(project->code);
        lblPJNAME->setText(project->name);
    }
    ReturnFocusTo(this);
    MoveFocus(txtWKYMD);
}

void frmWorvane::cmdCallCalendar_Click()
{
    if (const auto date = frmCalendar::pick(this)) {
        txtWKYMD->setText(ymdText(*date));
        MoveFocus(cmdSerch);
    } else {
        MoveFocus(cmdCallCalendar);
    }
}

// ---- Search and load --------------------------------------------------------------------------------

void frmWorvane::cmdSerch_Click()
{
    if (const auto fault = checkSearch(header())) {
        showFault(*fault);
        return;
    }

    WaitCursor hourglass;
    const Lookup project = lookupProject();
    if (project == Lookup::NotFound) {
        say(msg::ProjectUnknown);
        hourglass.restore();
        focusField(txtPJCODE);
        return;
    }
    // The day is read before anything on the screen changes: a failure leaves the window as it was.
    const DayLoad day =
        project == Lookup::Found ? store().loadDay(txtPJCODE->text(), txtWKYMD->text()) : DayLoad{};
    if (project == Lookup::Failed || !day.ok) {
        hourglass.restore();
        say(msg::LoadFailed);
        return;
    }

    txtWSTIME->clear();
    txtWETIME->clear();
    InitWorkGrid();
    txtWKCODE->clear();
    txtWKHEAD->clear();
    txtDETAIL->clear();
    LoadDayReport(day);
    SetPanelEnabled(true);
    hourglass.restore();
    focusField(txtWSTIME);
}

bool frmWorvane::LoadDayReport(const DayLoad &day)
{
    if (!day.hasTimeRow)
        return false;
    txtWSTIME->setText(day.startTime);
    txtWETIME->setText(day.endTime);
    if (day.items.isEmpty())
        return false;

    fgdWKCONT->setVisible(false);
    m_items->setItems(day.items);
    fgdWKCONT->setMode(FlexGrid::Mode::List);
    fgdWKCONT->selectRow(0);
    fgdWKCONT->setVisible(true);
    return true;
}

// ---- The work-item list and its editor --------------------------------------------------------------

void frmWorvane::fgdWKCONT_Pick()
{
    const int r = fgdWKCONT->currentRow();
    if (r < 0)
        return;
    const WorkItem &item = m_items->at(r);
    txtWKCODE->setText(item.code);
    txtWKHEAD->setText(item.head);
    txtDETAIL->setTextCrLf(item.detail);
    fgdWKCONT->selectRow(r);
    focusField(txtWKCODE);
}

bool frmWorvane::CheckWorkItem()
{
    const auto fault = checkItem(editorItem());
    if (fault)
        showFault(*fault);
    return !fault;
}

void frmWorvane::cmdAddWork_Click()
{
    if (!CheckWorkItem())
        return;
    // The first equal number is left current.
    if (const int found = m_items->firstRowOf(txtWKCODE->text()); found >= 0) {
        fgdWKCONT->setCurrentCell(found, WorkItemModel::Number);
        say(msg::ItemDuplicate);
        return;
    }
    const int row = m_items->add(editorItem());
    fgdWKCONT->setMode(FlexGrid::Mode::List);
    fgdWKCONT->selectRow(row);
    focusField(txtWKCODE);
}

void frmWorvane::cmdUpdWork_Click()
{
    if (!CheckWorkItem())
        return;
    // The last equal number is the one changed.
    const int found = m_items->lastRowOf(txtWKCODE->text());
    if (found >= 0) {
        m_items->replace(found, editorItem());
        fgdWKCONT->selectRow(found);
    } else {
        // The search ran to the end of the list: the last row is left current.
        fgdWKCONT->setCurrentCell(m_items->rowCount() - 1, WorkItemModel::Number);
        say(msg::ItemMissing);
    }
    focusField(txtWKCODE);
}

void frmWorvane::cmdDelWork_Click()
{
    if (m_items->isEmpty()) {
        say(msg::NothingToDelete);
        return;
    }
    if (m_items->rowCount() == 1) {
        InitWorkGrid();
        return;
    }
    const int row = fgdWKCONT->currentRow();
    if (row < 0)
        return;
    m_items->remove(row);
    focusField(txtWKCODE);
}

QList<WorkItem> frmWorvane::listItems() const
{
    return m_items->items();
}

// ---- Save and report file ---------------------------------------------------------------------------

bool frmWorvane::CheckReportHeader()
{
    const auto fault = checkHeader(header());
    if (fault)
        showFault(*fault);
    return !fault;
}

bool frmWorvane::SaveReport()
{
    const DaySave day{txtPJCODE->text(), txtWKYMD->text(), TrimBlanks(txtWSTIME->text()),
                      TrimBlanks(txtWETIME->text()), listItems()};
    if (!store().saveDay(day).ok)
        return false;
    fgdWKCONT->selectRow(0);
    return true;
}

void frmWorvane::cmdUpdate_Click()
{
    if (!CheckReportHeader())
        return;
    if (!say(msg::ConfirmSave))
        return;
    WaitCursor hourglass;
    const bool saved = SaveReport();
    hourglass.restore();
    if (saved) {
        say(msg::Saved);
        WriteDefaultPJCode(m_settings, txtPJCODE->text());
    } else {
        say(msg::SaveFailed);
    }
}

void frmWorvane::cmdOutput_Click()
{
    if (!CheckReportHeader())
        return;
    // The dialog reads each filter's pattern from the parentheses of its caption; "*" is every file here.
    const SaveDialogRequest request{{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral("CSVﾌｧｲﾙ(*.csv)"),
                                     QStringLiteral("全てのﾌｧｲﾙ(*)")},
                                    QString(txtWKYMD->text()).remove(u'/')};
    const std::optional<QString> path = SaveFileDialog::choose(this, request);
    if (!path)
        return;
    const std::optional<ReportFileError> error = WriteDayReport(*path, header(), listItems());
    fgdWKCONT->selectRow(0);
    say(error ? msg::ReportFileError(error->number, error->source) : msg::ReportWritten);
}

// ---- Helpers ----------------------------------------------------------------------------------------

ReportStore frmWorvane::store() const
{
    return ReportStore(m_settings.databasePath);
}

DayHeader frmWorvane::header() const
{
    return DayHeader{txtPJCODE->text(), txtWKYMD->text(), txtWSTIME->text(), txtWETIME->text()};
}

WorkItem frmWorvane::editorItem() const
{
    return WorkItem{txtWKCODE->text(), txtWKHEAD->text(), txtDETAIL->textCrLf()};
}

void frmWorvane::showFault(const Fault &fault)
{
    say(fault.message);
    QWidget *const fields[] = {txtPJCODE, txtWKYMD, txtWSTIME, txtWETIME, txtWKCODE, txtWKHEAD, txtDETAIL};
    focusField(fields[int(fault.field)]);
}

void frmWorvane::focusField(QWidget *field)
{
    const bool moving = std::exchange(m_movingFocus, true);
    MoveFocus(field);
    m_movingFocus = moving;
    if (auto *line = qobject_cast<QLineEdit *>(field))
        SelectAllOnFocus(line);
}

bool frmWorvane::say(const Message &message)
{
    return MessagePresenter::show(this, caption::Main, message);
}

} // namespace worvane
