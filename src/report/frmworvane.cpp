#include "report/frmworvane.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "store/storerules.h"
#include "app/savefiledialog.h"
#include "app/startup.h"
#include "calendar/frmcalendar.h"
#include "month/frmmonthview.h"
#include "search/frmsearch.h"
#include "widgets/bytelimit.h"
#include "core/clock.h"
#include "widgets/fieldrules.h"
#include "widgets/flexgrid.h"
#include "core/modcommon.h"
#include "widgets/screen.h"
#include "widgets/waitcursor.h"
#include "models/workitemmodel.h"
#include "project/frmpjviewer.h"
#include "report/reportfile.h"
#include "history/frmhistory.h"
#include "submission/frmsubmission.h"
#include "core/dayrules.h"
#include "core/holidays.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTimer>

namespace worvane
{

// The function-key map: the key, whether it needs the entry panel, whether it changes the day, what it
// does and the button that shows it.
const frmWorvane::FunctionKey frmWorvane::FunctionKeys[] = {
    {Qt::Key_F1, true, true, &frmWorvane::cmdUpdate_Click, &frmWorvaneUi::cmdUpdate},
    {Qt::Key_F2, true, false, &frmWorvane::cmdOutput_Click, &frmWorvaneUi::cmdOutput},
    {Qt::Key_F3, false, false, &frmWorvane::cmdCancel_Click, &frmWorvaneUi::cmdCancel},
    {Qt::Key_F4, false, false, &frmWorvane::cmdClose_Click, &frmWorvaneUi::cmdClose},
    {Qt::Key_F5, true, true, &frmWorvane::cmdAddWork_Click, &frmWorvaneUi::cmdAddWork},
    {Qt::Key_F6, true, true, &frmWorvane::cmdUpdWork_Click, &frmWorvaneUi::cmdUpdWork},
    {Qt::Key_F9, true, true, &frmWorvane::cmdDelWork_Click, &frmWorvaneUi::cmdDelWork},
    {Qt::Key_F7, false, false, &frmWorvane::openMonthView, &frmWorvaneUi::cmdMonth},
    {Qt::Key_F8, false, false, &frmWorvane::openSearch, &frmWorvaneUi::cmdSearch},
    {Qt::Key_F10, true, false, &frmWorvane::showHistory, &frmWorvaneUi::cmdHistory},
    {Qt::Key_F11, true, true, &frmWorvane::copyLastDay, &frmWorvaneUi::cmdCopyLast},
    {Qt::Key_F12, false, false, &frmWorvane::openSubmission, &frmWorvaneUi::cmdSubmission},
};

frmWorvane::frmWorvane(Settings settings, Store &store, QWidget *parent)
    : QWidget(parent), m_settings(std::move(settings)), m_store(store)
{
    setupUi(this);
    m_items = new WorkItemModel(this);
    fgdWKCONT->setModel(m_items);
    connectFields();

    // Key preview: every key of the map, and the second row's buttons, which press their keys.
    InstallFunctionKeys(this, [this](int key) { return pressFunctionKey(key); });
    const QList<QPushButton *> secondRow{cmdMonth, cmdSearch, cmdHistory, cmdCopyLast, cmdSubmission};
    for (const FunctionKey &f : FunctionKeys)
        if (secondRow.contains(this->*f.button))
            connect(this->*f.button, &QPushButton::clicked, this,
                    [this, key = f.key] { pressFunctionKey(key); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ApplyInputLimits();
    ResetScreen();
    txtPJCODE->setFocus(Qt::OtherFocusReason);
    m_daysOff = DaysOff::load(m_settings.companyHolidays);
    // Once the window is up: a server out of reach then says so over a window the user sees.
    QTimer::singleShot(0, this, &frmWorvane::showMissingDays);
}

void frmWorvane::showMissingDays()
{
    // The reader's saved days of the month so far; the working days without one are named.
    const QDate today = Clock::today();
    const QDate first(today.year(), today.month(), 1);
    m_missingAsOf = today;
    m_missingDays.clear();
    if (today == first) {
        m_missingText.clear();
        return showStanding();
    }
    const RangeSelection month{ymdText(first), ymdText(today.addDays(-1)), std::nullopt, {}};
    const Result<QList<DaySummary>> days =
        CallStore(this, m_store, [&] { return m_store.summarizeRange(month, Store::ItemCounts::NotCounted); });
    if (!days.ok())
        return; // the window's own calls say what is wrong
    QList<QDate> saved;
    for (const DaySummary &day : days.value)
        saved << QDate::fromString(day.date, QStringLiteral("yyyy/MM/dd"));
    m_missingDays = MissingDays(m_daysOff, today, saved);
    m_missingText = msg::MissingDays(m_missingDays);
    showStanding();
}

void frmWorvane::daySaved(const QString &date)
{
    // A save only ever adds a saved day: the list read at start loses it, unless the date has turned since.
    if (Clock::today() != m_missingAsOf)
        return showMissingDays();
    if (m_missingDays.removeAll(QDate::fromString(date, QStringLiteral("yyyy/MM/dd"))) == 0)
        return;
    m_missingText = msg::MissingDays(m_missingDays);
    showStanding();
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
    showDayReview({});
}

void frmWorvane::InitWorkGrid()
{
    m_items->clear();
    fgdWKCONT->setColumnWidthsTwips({500, 4000});
    fgdWKCONT->setMode(FlexGrid::Mode::Empty);
}

void frmWorvane::SetPanelEnabled(bool enabled)
{
    fraPanel->setEnabled(enabled);
    // cmdAddWork, cmdUpdWork, cmdDelWork, cmdUpdate, cmdOutput and the second row follow their keys.
    showKeyButtons();
}

const frmWorvane::FunctionKey *frmWorvane::functionKey(int key)
{
    for (const FunctionKey &f : FunctionKeys)
        if (f.key == key)
            return &f;
    return nullptr;
}

bool frmWorvane::keyActs(const FunctionKey &f) const
{
    return !f.needsPanel || (fraPanel->isEnabled() && !(m_dayLocked && f.changesDay));
}

void frmWorvane::showKeyButtons()
{
    for (const FunctionKey &f : FunctionKeys)
        (this->*f.button)->setEnabled(keyActs(f));
}

bool frmWorvane::pressFunctionKey(int key)
{
    const FunctionKey *f = functionKey(key);
    if (!f)
        return false;
    // F3, F4, F7, F8 and F12 act in any state, the others through DispatchFunctionKey.
    f->needsPanel ? DispatchFunctionKey(key) : (this->*f->click)();
    return true;
}

void frmWorvane::DispatchFunctionKey(int key)
{
    const FunctionKey *f = functionKey(key);
    if (!f || !f->needsPanel || !fraPanel->isEnabled())
        return;
    // A day approved or closed is read, written out and its versions seen, but not changed.
    if (m_dayLocked && f->changesDay) {
        say(msg::DayLocked);
        return;
    }
    (this->*f->click)();
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
    const QString code = txtPJCODE->text();
    const Result<std::optional<QString>> lookup =
        CallStore(this, m_store, [&] { return m_store.lookupProjectName(code); });
    if (!lookup.ok())
        return Lookup::Failed;
    if (!lookup.value)
        return Lookup::NotFound;
    lblPJNAME->setText(*lookup.value);
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
    if (const std::optional<ProjectRow> project = frmPJViewer::pick(m_store, this)) {
        txtPJCODE->setText(project->code);
        lblPJNAME->setText(project->name);
    }
    ReturnFocusTo(this);
    MoveFocus(txtWKYMD);
}

void frmWorvane::openSubmission()
{
    const QDate date = QDate::fromString(txtWKYMD->text(), QStringLiteral("yyyy/MM/dd"));
    frmSubmission::open(m_store, m_daysOff, date.isValid() ? date : Clock::today(), this);
}

void frmWorvane::openMonthView()
{
    // The month of the date field, or this month when the field holds no date.
    const QDate date = QDate::fromString(QString(txtWKYMD->text()).remove(u'/'), QStringLiteral("yyyyMMdd"));
    if (const auto pick = frmMonthView::open(m_store, m_settings, date.isValid() ? date : Clock::today(), this))
        openDay(pick->code, pick->date);
}

bool frmWorvane::holdsUnsavedInput() const
{
    const DaySave screen = screenDay();
    if (screen.startTime.isEmpty() && screen.endTime.isEmpty() && screen.items.isEmpty())
        return false;
    // The day as it was loaded or saved last, unchanged since, is nothing to lose.
    return !screen.loadedStamp ||
           DayStamp(true, screen.startTime, screen.endTime, screen.items) != *screen.loadedStamp;
}

bool frmWorvane::openDay(const QString &code, const QString &date)
{
    if (holdsUnsavedInput() && !say(msg::ConfirmOpenDay(code, date)))
        return false;
    // As if typed and searched.
    txtPJCODE->setText(code);
    txtWKYMD->setText(date);
    LookupProjectName();
    cmdSerch_Click();
    return true;
}

void frmWorvane::openSearch()
{
    const auto pick = frmSearch::open(m_store, this);
    if (!pick)
        return;
    // The day opens with the item found current in the list.
    if (!openDay(pick->code, pick->date) || !fraPanel->isEnabled())
        return;
    if (const int row = m_items->firstRowOf(pick->itemCode); row >= 0) {
        fgdWKCONT->selectRow(row);
        focusField(fgdWKCONT);
    }
}

void frmWorvane::copyLastDay()
{
    WaitCursor hourglass;
    const QString code = txtPJCODE->text(), date = txtWKYMD->text();
    const Result<std::optional<EarlierDay>> found =
        CallStore(this, m_store, [&] { return m_store.loadLatestDayBefore(code, date); });
    hourglass.restore();
    if (!found.ok()) {
        say(FailureMessage(*found.error, m_store.name(), msg::LoadFailed));
        return;
    }
    if (!found.value) {
        say(msg::NoEarlierDay);
        return;
    }
    const EarlierDay &earlier = *found.value;
    const bool screenHoldsDay = !TrimBlanks(txtWSTIME->text()).isEmpty() ||
                                !TrimBlanks(txtWETIME->text()).isEmpty() || !m_items->isEmpty();
    if (screenHoldsDay && !say(msg::ConfirmCopyDay(earlier.date)))
        return;
    putOnScreen(earlier.day.startTime, earlier.day.endTime, earlier.day.items, msg::DayCopied(earlier.date));
}

void frmWorvane::showHistory()
{
    const DayVersion screen{{}, {}, txtWSTIME->text(), txtWETIME->text(), m_items->items()};
    const std::optional<DayVersion> version =
        frmHistory::pick(m_store, txtPJCODE->text(), txtWKYMD->text(), screen, !m_dayLocked, this);
    if (version)
        putOnScreen(version->startTime, version->endTime, version->items, msg::VersionRestored(version->savedAt));
}

void frmWorvane::putOnScreen(const QString &startTime, const QString &endTime, const QList<WorkItem> &items,
                             const QString &said)
{
    // Only the screen changes: the day is stored by 更新 (F1), as any other.
    txtWSTIME->setText(startTime);
    txtWETIME->setText(endTime);
    InitWorkGrid();
    txtWKCODE->clear();
    txtWKHEAD->clear();
    txtDETAIL->clear();
    if (!items.isEmpty()) {
        m_items->setItems(items);
        fgdWKCONT->setMode(FlexGrid::Mode::List);
        fgdWKCONT->selectRow(0);
    }
    QStatusTipEvent tip(said);
    QApplication::sendEvent(this, &tip);
    focusField(txtWSTIME);
}

void frmWorvane::cmdCallCalendar_Click()
{
    if (const auto date = frmCalendar::pick(this, m_daysOff)) {
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
    // The project's name and the day in one visit, read before anything on the screen changes: a failure
    // leaves the window as it was.
    const QString code = txtPJCODE->text(), date = txtWKYMD->text();
    const Result<DayLoad> loaded = CallStore(this, m_store, [&] { return m_store.loadDay(code, date); });
    if (!loaded.ok()) {
        hourglass.restore();
        say(FailureMessage(*loaded.error, m_store.name(), msg::LoadFailed));
        return;
    }
    const DayLoad &day = loaded.value;
    if (!day.projectName) {
        say(msg::ProjectUnknown);
        hourglass.restore();
        focusField(txtPJCODE);
        return;
    }
    lblPJNAME->setText(*day.projectName);
    m_loaded = LoadedDay{txtPJCODE->text(), txtWKYMD->text(), day.stamp};

    txtWSTIME->clear();
    txtWETIME->clear();
    InitWorkGrid();
    txtWKCODE->clear();
    txtWKHEAD->clear();
    txtDETAIL->clear();
    LoadDayReport(day);
    SetPanelEnabled(true);
    const DayReview review = readDayReview(date);
    showDayReview(review);
    hourglass.restore();
    focusField(txtWSTIME);
    // A returned day's comments are said before anything is typed into it.
    if (review.state == msg::DayStateReturned && !review.comments.isEmpty())
        say(msg::DayReturned(review.comments));
}

DayReview frmWorvane::readDayReview(const QString &date)
{
    // A day whose state cannot be read is shown as any other: the server refuses a change all the same.
    const Result<DayReview> review = CallStore(this, m_store, [&] { return m_store.dayReview(date); });
    return review.ok() ? review.value : DayReview{};
}

void frmWorvane::showDayReview(const DayReview &review)
{
    m_dayLocked = review.locked;
    for (QLineEdit *field : {txtWSTIME, txtWETIME, txtWKCODE, txtWKHEAD})
        field->setReadOnly(review.locked);
    txtDETAIL->setReadOnly(review.locked);
    showKeyButtons();
    m_dayText = msg::DayStateLine(review.state, review.locked,
                                  review.comments.isEmpty() ? std::nullopt : std::optional(review.comments.last()));
    showStanding();
}

void frmWorvane::showStanding()
{
    QStringList parts;
    for (const QString &part : {m_dayText, m_missingText, m_notice})
        if (!part.isEmpty())
            parts << part;
    SetStandingStatus(lblStatus, parts.join(QStringLiteral("　")));
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

DaySave frmWorvane::screenDay() const
{
    // The day loaded is checked for changes made since; a day saved under other keys than it was loaded
    // with was never seen, and is written as it always was.
    const bool sameDay = m_loaded && m_loaded->code.compare(txtPJCODE->text(), Qt::CaseInsensitive) == 0 &&
                         m_loaded->date == txtWKYMD->text();
    return DaySave{txtPJCODE->text(), txtWKYMD->text(), TrimBlanks(txtWSTIME->text()),
                   TrimBlanks(txtWETIME->text()), listItems(),
                   sameDay ? std::optional(m_loaded->stamp) : std::nullopt};
}

Outcome frmWorvane::SaveReport()
{
    const DaySave day = screenDay();
    const Result<QString> saved = CallStore(this, m_store, [&] { return m_store.saveDay(day); });
    if (!saved.ok())
        return Outcome::failure(saved);
    // The day stored is now the one on the screen.
    m_loaded = LoadedDay{day.code, day.date, saved.value};
    fgdWKCONT->selectRow(0);
    return {};
}

void frmWorvane::cmdUpdate_Click()
{
    if (!CheckReportHeader())
        return;
    if (!say(msg::ConfirmSave))
        return;
    WaitCursor hourglass;
    const Outcome saved = SaveReport();
    hourglass.restore();
    if (saved.ok()) {
        say(msg::Saved);
        WriteDefaultPJCode(m_settings, txtPJCODE->text());
        showDayReview(readDayReview(txtWKYMD->text()));
        daySaved(txtWKYMD->text());
    } else if (const auto where = saved.failedAs(StoreError::Kind::Refused) &&
                                          saved.error->rule == StoreError::Rule::UnstorableCharacter
                                      ? FindUnstorable(screenDay())
                                      : std::nullopt) {
        say(UnstorableMessage(*where));
    } else {
        say(FailureMessage(*saved.error, m_store.name(), msg::SaveFailed));
    }
}

void frmWorvane::cmdOutput_Click()
{
    if (!CheckReportHeader())
        return;
    // The dialog reads each filter's pattern from the parentheses of its caption; "*" is every file here.
    const SaveDialogRequest request{{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral("CSVﾌｧｲﾙ(*.csv)"),
                                     QStringLiteral("全てのﾌｧｲﾙ(*)")},
                                    QString(txtWKYMD->text()).remove(u'/'), QStringLiteral("Report"),
                                    m_settings.iniPath, {}};
    const std::optional<SaveChoice> chosen = SaveFileDialog::choose(this, request);
    if (!chosen)
        return;
    const std::optional<ReportFileError> error = WriteDayReport({chosen->path, FilesInUse(m_settings.databasePath, m_settings.iniPath)}, header(), listItems());
    fgdWKCONT->selectRow(0);
    say(error ? msg::ReportFileError(error->number, error->source) : msg::ReportWritten);
}

// ---- Helpers ----------------------------------------------------------------------------------------

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
