#include "report/frmworvane.h"

#include "app/globals.h"
#include "app/messagepresenter.h"
#include "app/savefiledialog.h"
#include "app/startup.h"
#include "calendar/frmcalendar.h"
#include "common/bytelimit.h"
#include "common/clock.h"
#include "common/fieldrules.h"
#include "common/flexgrid.h"
#include "common/modcommon.h"
#include "common/screen.h"
#include "common/waitcursor.h"
#include "models/workitemmodel.h"
#include "project/frmpjviewer.h"
#include "report/reportfile.h"

#include <QApplication>
#include <QCloseEvent>
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

template <class W> W *make(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, int l, int t, int w, int h)
{
    auto *lbl = make<QLabel>(parent, name);
    lbl->setText(caption);
    PlaceTwips(lbl, l, t, w, h);
    return lbl;
}

QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &accessible, int l, int t, int w, int h)
{
    auto *field = make<QLineEdit>(parent, name);
    field->setAccessibleName(accessible);
    PlaceTwips(field, l, t, w, h);
    return field;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int l, int t, int w, int h,
                    qreal points = 9)
{
    auto *b = make<QPushButton>(parent, name);
    b->setText(caption);
    b->setAccessibleName(caption);
    b->setFont(ScreenFont(points, true));
    b->setAutoDefault(true); // Enter on the focused button presses it, as Space does
    PlaceTwips(b, l, t, w, h);
    return b;
}

// A control inside the disabled panel keeps its colours: unusable, but not greyed.
void keepColoursWhenDisabled(QWidget *w)
{
    QPalette palette = w->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = QPalette::ColorRole(role);
        palette.setColor(QPalette::Disabled, r, palette.color(QPalette::Active, r));
    }
    w->setPalette(palette);
}

QString withoutChar(QString text, QChar c)
{
    return text.remove(c);
}

// The "00:00" pattern: digits written with at least four places and a ":" before the last two; a text
// that is not a number is left as it is.
QString formatTime(const QString &text)
{
    const QString digits = TrimBlanks(text);
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return text;
    QString number = digits;
    while (number.size() > 1 && number.startsWith(QLatin1Char('0')))
        number.remove(0, 1);
    number = number.rightJustified(4, QLatin1Char('0'));
    return number.left(number.size() - 2) + QLatin1Char(':') + number.right(2);
}
} // namespace

frmWorvane::frmWorvane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmWorvane"));
    setWindowTitle(MainCaption);
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

    // Key preview: the function keys are seen at window level before the focused control gets them.
    qApp->installEventFilter(this);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmWorvane::buildHeader()
{
    lblPJCode = label(this, "lblPJCode", QStringLiteral("PJコード"), 105, 135, 795, 195);
    txtPJCODE = lineEdit(this, "txtPJCODE", QStringLiteral("PJコード"), 1050, 100, 950, 285);
    cmdCallPJViewer = button(this, "cmdCallPJViewer", QStringLiteral("…"), 2085, 105, 285, 285);
    cmdCallPJViewer->setAccessibleName(QStringLiteral("プロジェクト検索"));
    // The name runs the length of its underline, so that a long name is not cut at a quarter of it.
    lblPJNAME = label(this, "lblPJNAME", QString(), 2715, 135, 6495 - 2715, 195);
    Line1 = make<QFrame>(this, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setGeometry(Twips(2715), Twips(375) - 1, Twips(6495 - 2715), 1);
    lblDate = label(this, "lblDate", QStringLiteral("日付"), 105, 510, 390, 195);
    txtWKYMD = lineEdit(this, "txtWKYMD", QStringLiteral("日付"), 1050, 480, 1150, 285);
    cmdCallCalendar = button(this, "cmdCallCalendar", QStringLiteral("…"), 2295, 480, 285, 285);
    cmdCallCalendar->setAccessibleName(QStringLiteral("カレンダー"));
    cmdSerch = button(this, "cmdSerch", QStringLiteral("検索"), 2850, 465, 705, 315);
}

void frmWorvane::buildPanel()
{
    fraPanel = make<QFrame>(this, "fraPanel");
    fraPanel->setFrameShape(QFrame::StyledPanel);
    PlaceTwips(fraPanel, 105, 780, 9255, 4410);
    QWidget *p = fraPanel;

    lblWorkTime = label(p, "lblWorkTime", QStringLiteral("就労時間"), PanelLabelLeft, 120, 780, 195);
    txtWSTIME = lineEdit(p, "txtWSTIME", QStringLiteral("就労時間 開始"), 945, 90, 630, 285);
    lblTo = label(p, "lblTo", QStringLiteral("～"), 1650, 120, 195, 195);
    txtWETIME = lineEdit(p, "txtWETIME", QStringLiteral("就労時間 終了"), 1920, 90, 630, 285);
    fgdWKCONT = make<FlexGrid>(p, "fgdWKCONT");
    fgdWKCONT->setAccessibleName(QStringLiteral("作業項目一覧"));
    m_items = new WorkItemModel(this);
    fgdWKCONT->setModel(m_items);
    fgdWKCONT->setMode(FlexGrid::Mode::Empty); // until items come in
    PlaceTwips(fgdWKCONT, 0, 435, 9210, 2010);
    lblWorkCode = label(p, "lblWorkCode", QStringLiteral("作業項目№"), PanelLabelLeft, 2550, 975, 195);
    txtWKCODE = lineEdit(p, "txtWKCODE", QStringLiteral("作業項目№"), 1080, 2505, 315, 285);
    cmdAddWork = button(p, "cmdAddWork", QStringLiteral("行追加[F5]"), 1590, 2490, 1200, 315);
    cmdUpdWork = button(p, "cmdUpdWork", QStringLiteral("行変更[F6]"), 2940, 2490, 1200, 315);
    cmdDelWork = button(p, "cmdDelWork", QStringLiteral("行削除[F9]"), 4290, 2490, 1200, 315);
    lblWorkHeader = label(p, "lblWorkHeader", QStringLiteral("作業項目"), PanelLabelLeft, 2910, 780, 195);
    // 80 bytes are 40 full-width characters: the field runs as far as the detail field so that the 40th
    // is not cut off.
    txtWKHEAD = lineEdit(p, "txtWKHEAD", QStringLiteral("作業項目"), 1080, 2880, 8150, 285);
    lblDetail = label(p, "lblDetail", QStringLiteral("作業内容"), PanelLabelLeft, 3270, 780, 195);
    txtDETAIL = make<LimitedTextEdit>(p, "txtDETAIL");
    txtDETAIL->setAccessibleName(QStringLiteral("作業内容"));
    txtDETAIL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDETAIL->setTabChangesFocus(true);
    PlaceTwips(txtDETAIL, 1080, 3270, 8150, 1065);

    for (QWidget *w :
         std::initializer_list<QWidget *>{lblWorkTime, txtWSTIME, lblTo, txtWETIME, fgdWKCONT, lblWorkCode,
                                          txtWKCODE, lblWorkHeader, txtWKHEAD, lblDetail, txtDETAIL})
        keepColoursWhenDisabled(w);
    keepColoursWhenDisabled(fgdWKCONT->viewport());
    keepColoursWhenDisabled(fgdWKCONT->horizontalHeader());
}

void frmWorvane::buildActionRow()
{
    auto functionLabel = [this](const char *name, const QString &caption, int left) {
        QLabel *lbl = label(this, name, caption, left, 5235, 1350, 180);
        lbl->setAlignment(Qt::AlignCenter);
        lbl->setFont(ScreenFont(9, true));
        lbl->setAutoFillBackground(true);
        QPalette palette = lbl->palette();
        palette.setColor(QPalette::Window, FunctionKeyColour);
        lbl->setPalette(palette);
        return lbl;
    };
    lblF1 = functionLabel("lblF1", QStringLiteral("Ｆ１"), 900);
    cmdUpdate = button(this, "cmdUpdate", QStringLiteral("更　新"), 907, 5430, 1350, 500);
    lblF2 = functionLabel("lblF2", QStringLiteral("Ｆ２"), 3015);
    cmdOutput = button(this, "cmdOutput", QStringLiteral("レポート出力"), 3022, 5430, 1350, 500);
    lblF3 = functionLabel("lblF3", QStringLiteral("Ｆ３"), 5115);
    cmdCancel = button(this, "cmdCancel", QStringLiteral("キャンセル"), 5122, 5430, 1350, 500);
    lblF4 = functionLabel("lblF4", QStringLiteral("Ｆ４"), 7230);
    cmdClose = button(this, "cmdClose", QStringLiteral("閉じる"), 7237, 5430, 1350, 500);

    lblStatus = label(this, "lblStatus", QString(), 105, 6000, 9285, StatusLineTwips);
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
    for (QLabel *lbl : findChildren<QLabel *>())
        lbl->setFocusPolicy(Qt::NoFocus);
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
            [this] { txtWSTIME->setText(formatTime(withoutChar(txtWSTIME->text(), QLatin1Char(':')))); });
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

bool frmWorvane::load()
{
    if (!StartUp())
        return false;
    ApplyInputLimits();
    ResetScreen();
    txtPJCODE->setFocus(Qt::OtherFocusReason);
    return true;
}

void frmWorvane::closeEvent(QCloseEvent *event)
{
    // The unload is never cancelled; the database is compacted once, on the way out.
    if (!m_unloaded) {
        m_unloaded = true;
        CompactMdb();
    }
    event->accept();
}

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
    txtPJCODE->setText(globals::DefaultPJCode);
    for (QLineEdit *field : {txtWKYMD, txtWSTIME, txtWETIME, txtWKCODE})
        field->clear();
    txtWKHEAD->clear();
    txtDETAIL->clear();
    lblPJNAME->clear();
    txtWKYMD->setText(Clock::today().toString(QStringLiteral("yyyy/MM/dd")));
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

// The function-key map: the key, whether it needs the entry panel, and the button it presses.
const frmWorvane::FunctionKey frmWorvane::FunctionKeys[] = {
    {Qt::Key_F1, true, &frmWorvane::cmdUpdate_Click},  {Qt::Key_F2, true, &frmWorvane::cmdOutput_Click},
    {Qt::Key_F3, false, &frmWorvane::cmdCancel_Click}, {Qt::Key_F4, false, &frmWorvane::cmdClose_Click},
    {Qt::Key_F5, true, &frmWorvane::cmdAddWork_Click}, {Qt::Key_F6, true, &frmWorvane::cmdUpdWork_Click},
    {Qt::Key_F9, true, &frmWorvane::cmdDelWork_Click},
};

bool frmWorvane::eventFilter(QObject *watched, QEvent *event)
{
    // The window-level key map looks at the key alone (Shift, Ctrl and Alt do not matter). A key acts
    // once, where it first arrives: at the window's focus widget, or at the window itself when none of
    // its widgets has the focus. It is then taken, so that it does not travel on up to the window, where
    // it would act a second time when the action has shown a box: after the box closes and before the
    // window is active again, no widget has the focus. The focused field has no use for these keys.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QWidget::eventFilter(watched, event);
    QWidget *firstReceiver = focusWidget() ? focusWidget() : this;
    if (watched != firstReceiver)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    for (const FunctionKey &f : FunctionKeys) {
        if (f.key != key)
            continue;
        if (f.needsPanel)
            DispatchFunctionKey(key);
        else
            (this->*f.click)();
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
    const QString text = txtWKYMD->text();
    const QString digits = withoutChar(text, QLatin1Char('/'));
    if (TrimBlanks(text).isEmpty() || digits.size() != 8)
        return;
    bool isNumber = false;
    const qlonglong number = digits.toLongLong(&isNumber);
    if (!isNumber)
        return; // pasted text that is not a date: nothing to step
    if (key == Qt::Key_Up)
        txtWKYMD->setText(RollBackYmd(QString::number(number - 1)));
    else
        txtWKYMD->setText(RollForwardYmd(QString::number(number + 1)));
}

void frmWorvane::txtWKYMD_LostFocus()
{
    const QString digits = withoutChar(txtWKYMD->text(), QLatin1Char('/'));
    if (!digits.isEmpty())
        txtWKYMD->setText(digits.left(4) + QLatin1Char('/') + digits.mid(4, 2) + QLatin1Char('/') +
                          digits.right(2));
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
    txtWETIME->setText(formatTime(withoutChar(txtWETIME->text(), QLatin1Char(':'))));
    // After Cancel the times are empty and the panel is shut: nothing to check, nowhere to go. When the
    // program moves the focus after a message of its own, one message is enough. The focus going to
    // キャンセル or 閉じる is on its way to discard the day: no check stands in its way.
    const QWidget *to = QApplication::focusWidget();
    if (!fraPanel->isEnabled() || m_movingFocus || to == cmdCancel || to == cmdClose)
        return;
    if (txtWSTIME->text() >= txtWETIME->text()) {
        warn(QStringLiteral("就労時間の開始～終了時刻が不正です。"));
        focusField(txtWSTIME);
    }
}

void frmWorvane::cmdCallPJViewer_Click()
{
    if (const std::optional<ProjectRow> project = frmPJViewer::pick(globals::MdbPath, this)) {
        txtPJCODE->setText(project->code);
        lblPJNAME->setText(project->name);
    }
    ReturnFocusTo(this);
    MoveFocus(txtWKYMD);
}

void frmWorvane::cmdCallCalendar_Click()
{
    globals::CalendarDate.clear();
    {
        frmCalendar calendar(this);
        calendar.exec();
        ReturnFocusTo(this);
    }
    if (!globals::CalendarDate.isEmpty()) {
        txtWKYMD->setText(globals::CalendarDate);
        MoveFocus(cmdSerch);
    } else {
        MoveFocus(cmdCallCalendar);
    }
}

// ---- Search and load --------------------------------------------------------------------------------

void frmWorvane::cmdSerch_Click()
{
    if (TrimBlanks(txtPJCODE->text()).isEmpty()) {
        warn(QStringLiteral("PJコードは必須入力です。"));
        focusField(txtPJCODE);
        return;
    }
    if (TrimBlanks(txtWKYMD->text()).isEmpty()) {
        warn(QStringLiteral("日付は必須入力です。"));
        focusField(txtWKYMD);
        return;
    }
    if (!IsValidYmd(withoutChar(txtWKYMD->text(), QLatin1Char('/')))) {
        warn(QStringLiteral("日付が不正です。"));
        focusField(txtWKYMD);
        return;
    }

    WaitCursor hourglass;
    const Lookup project = lookupProject();
    if (project == Lookup::NotFound) {
        warn(QStringLiteral("入力されたプロジェクトは存在しません。"));
        hourglass.restore();
        focusField(txtPJCODE);
        return;
    }
    // The day is read before anything on the screen changes: a failure leaves the window as it was.
    const DayLoad day =
        project == Lookup::Found ? store().loadDay(txtPJCODE->text(), txtWKYMD->text()) : DayLoad{};
    if (project == Lookup::Failed || !day.ok) {
        hourglass.restore();
        fail(QStringLiteral("データベースの読み込みに失敗しました。"));
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
    const QString number = TrimBlanks(txtWKCODE->text());
    if (number.isEmpty()) {
        warn(QStringLiteral("作業項目№は必須入力です。"));
        focusField(txtWKCODE);
        return false;
    }
    if (number == QLatin1String("0") || number == QLatin1String("00")) {
        warn(QStringLiteral("作業項目№は1～99までの値を入力して下さい。"));
        focusField(txtWKCODE);
        return false;
    }
    if (TrimBlanks(txtWKHEAD->text()).isEmpty()) {
        warn(QStringLiteral("作業項目は必須入力です。"));
        focusField(txtWKHEAD);
        return false;
    }
    if (TrimBlanks(txtDETAIL->textCrLf()).isEmpty()) {
        warn(QStringLiteral("作業内容は必須入力です。"));
        focusField(txtDETAIL);
        return false;
    }
    return true;
}

WorkItem frmWorvane::editedItem() const
{
    return WorkItem{txtWKCODE->text(), txtWKHEAD->text(), txtDETAIL->textCrLf()};
}

void frmWorvane::cmdAddWork_Click()
{
    if (!CheckWorkItem())
        return;
    // The first equal number is left current.
    if (const int found = m_items->firstRowOf(txtWKCODE->text()); found >= 0) {
        fgdWKCONT->setCurrentCell(found, WorkItemModel::Number);
        warn(QStringLiteral("作業項目№が重複しています。"));
        return;
    }
    const int row = m_items->add(editedItem());
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
        m_items->replace(found, editedItem());
        fgdWKCONT->selectRow(found);
    } else {
        // The search ran to the end of the list: the last row is left current.
        fgdWKCONT->setCurrentCell(m_items->rowCount() - 1, WorkItemModel::Number);
        warn(QStringLiteral("変更対象の作業項目№が存在しません。"));
    }
    focusField(txtWKCODE);
}

void frmWorvane::cmdDelWork_Click()
{
    if (m_items->isEmpty()) {
        warn(QStringLiteral("削除できる作業情報がありません。"));
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
    struct Check {
        bool failed;
        const char *message;
        QWidget *field;
    };
    const Check checks[] = {
        {TrimBlanks(txtPJCODE->text()).isEmpty(), "PJコードは必須入力です。", txtPJCODE},
        {TrimBlanks(txtWKYMD->text()).isEmpty(), "日付は必須入力です。", txtWKYMD},
        {!IsValidYmd(withoutChar(txtWKYMD->text(), QLatin1Char('/'))), "日付が不正です。", txtWKYMD},
        {TrimBlanks(txtWSTIME->text()).isEmpty(), "就労時間は必須入力です。", txtWSTIME},
        {TrimBlanks(txtWETIME->text()).isEmpty(), "就労時間は必須入力です。", txtWETIME},
        {!(txtWSTIME->text() < txtWETIME->text()), "就労時間の開始～終了時刻が不正です。", txtWSTIME},
    };
    for (const Check &check : checks) {
        if (check.failed) {
            warn(QString::fromUtf8(check.message));
            focusField(check.field);
            return false;
        }
    }
    return true;
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
    if (!MessagePresenter::ask(
            this, MainCaption,
            QStringLiteral("入力内容でデータベースを更新します。\r\n処理を実行してよろしいですか？")))
        return;
    WaitCursor hourglass;
    const bool saved = SaveReport();
    hourglass.restore();
    if (saved) {
        inform(QStringLiteral("データベースの更新が完了しました。"));
        WriteDefaultPJCode(txtPJCODE->text());
    } else {
        fail(QStringLiteral("データベースの更新に失敗しました。"));
    }
}

void frmWorvane::cmdOutput_Click()
{
    if (!CheckReportHeader())
        return;
    // The dialog reads each filter's pattern from the parentheses of its caption; "*" is every file here.
    const SaveDialogRequest request{{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral("CSVﾌｧｲﾙ(*.csv)"),
                                     QStringLiteral("全てのﾌｧｲﾙ(*)")},
                                    withoutChar(txtWKYMD->text(), QLatin1Char('/'))};
    const std::optional<QString> path = SaveFileDialog::choose(this, request);
    if (!path)
        return;
    const QList<WorkItem> items = listItems();
    const QString text = BuildReportText(txtWKYMD->text(), txtWSTIME->text(), txtWETIME->text(), items);
    fgdWKCONT->selectRow(0);
    if (const auto unwritable =
            FindUnwritableCharacter(txtWKYMD->text(), txtWSTIME->text(), txtWETIME->text(), items)) {
        fail(QStringLiteral("実行時ｴﾗｰ: '5'\r\nｴﾗｰｵﾌﾞｼﾞｪｸﾄ: Worvane (Shift-JIS で表せない文字があります: %1)")
                 .arg(*unwritable));
        return;
    }
    if (const auto error = WriteReportFile(*path, text)) {
        fail(QStringLiteral("実行時ｴﾗｰ: '%1'\r\nｴﾗｰｵﾌﾞｼﾞｪｸﾄ: %2").arg(error->number).arg(error->source));
        return;
    }
    inform(QStringLiteral("レポート出力が完了しました。"));
}

// ---- Helpers ----------------------------------------------------------------------------------------

ReportStore frmWorvane::store() const
{
    return ReportStore(globals::MdbPath);
}

void frmWorvane::focusField(QWidget *field)
{
    const bool moving = std::exchange(m_movingFocus, true);
    MoveFocus(field);
    m_movingFocus = moving;
    if (auto *line = qobject_cast<QLineEdit *>(field))
        SelectAllOnFocus(line);
}

void frmWorvane::warn(const QString &text)
{
    MessagePresenter::show(this, MessageKind::Warning, MainCaption, text);
}

void frmWorvane::inform(const QString &text)
{
    MessagePresenter::show(this, MessageKind::Information, MainCaption, text);
}

void frmWorvane::fail(const QString &text)
{
    MessagePresenter::show(this, MessageKind::Critical, MainCaption, text);
}

} // namespace worvane
