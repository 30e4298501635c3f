#include "submission/frmsubmission.h"

#include "app/messagepresenter.h"
#include "app/storecall.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/dayrules.h"
#include "models/submissionmodel.h"
#include "submission/frmdayview.h"
#include "widgets/fieldrules.h"
#include "widgets/frozentable.h"
#include "widgets/screen.h"
#include "widgets/waitcursor.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace worvane
{

frmSubmission::frmSubmission(Store &store, const DaysOff &daysOff, const QDate &month, QWidget *parent)
    : QDialog(parent), m_store(store), m_daysOff(daysOff), m_model(new SubmissionModel(this))
{
    setObjectName(QStringLiteral("frmSubmission"));
    setWindowTitle(caption::Submission);
    setFont(ScreenFont(9));
    setFixedSize(Twips(16500), Twips(7200));

    lblMonth = MakeLabel(this, "lblMonth", QString(), {6000, 120, 4500, 240});
    lblMonth->setAlignment(Qt::AlignCenter);
    lblMonth->setFont(ScreenFont(11, true));
    auto *previous = MakeButton(this, "cmdPrevious", QStringLiteral("◀ 前月[PgUp]"), {4200, 90, 1650, 315}, 9, false);
    auto *next = MakeButton(this, "cmdNext", QStringLiteral("翌月[PgDn] ▶"), {10650, 90, 1650, 315}, 9, false);

    auto *grid = Make<FrozenTableView>(this, "fgdSTATUS");
    fgdSTATUS = grid;
    fgdSTATUS->setAccessibleName(caption::Submission);
    fgdSTATUS->setModel(m_model);
    fgdSTATUS->setSelectionMode(QAbstractItemView::SingleSelection);
    fgdSTATUS->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fgdSTATUS->setTabKeyNavigation(false);
    fgdSTATUS->verticalHeader()->hide();
    fgdSTATUS->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    fgdSTATUS->horizontalHeader()->setHighlightSections(false);
    PlaceTwips(fgdSTATUS, 105, 525, 16290, 5900);
    // The person, and the counts, stay in view.
    grid->setFrozen(SubmissionModel::FirstDay, int(SubmissionModel::Counted.size()), 0);

    auto *close = MakeButton(this, "cmdClose", QStringLiteral("閉じる"), {14700, 6600, 1650, 345}, 9.75, false);
    // A lead approves every submitted day of the current row's person in the month shown.
    cmdApproveMonth = MakeButton(this, "cmdApproveMonth", QStringLiteral("月を承認"), {105, 6600, 1650, 345}, 9, false);
    cmdApproveMonth->hide();
    connect(cmdApproveMonth, &QPushButton::clicked, this, [this] {
        const QModelIndex current = fgdSTATUS->currentIndex();
        const QString person = m_model->personAt(current.row());
        if (person.isEmpty() ||
            !MessagePresenter::show(this, caption::Submission, msg::ConfirmApproveMonth(person, m_model->month())))
            return;
        const QString shown = ymdText(m_model->month()).left(7);
        const Result<int> approved = CallStore(this, m_store, [&] { return m_store.approveMonth(person, shown); });
        MessagePresenter::show(this, caption::Submission,
                               approved.ok() ? msg::ApprovedDays(approved.value)
                                             : FailureMessage(*approved.error, m_store.name(), msg::SaveFailed));
        showMonth(m_model->month());
        fgdSTATUS->setCurrentIndex(current);
        fgdSTATUS->setFocus();
    });
    connect(previous, &QPushButton::clicked, this, [this] { showMonth(m_model->month().addMonths(-1)); });
    connect(next, &QPushButton::clicked, this, [this] { showMonth(m_model->month().addMonths(1)); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    InstallFunctionKeys(this, [previous, next](int key) {
        if (key == Qt::Key_PageUp)
            previous->click();
        else if (key == Qt::Key_PageDown)
            next->click();
        else
            return false;
        return true;
    });
    // Enter or a double-click on a day opens it (日報参照).
    const auto openDay = [this](const QModelIndex &index) {
        const QDate date = m_model->dateAt(index.column());
        if (date.isValid())
            frmDayView::open(m_store, m_model->personAt(index.row()), ymdText(date), m_lead, this);
        showMonth(m_model->month()); // a lead's verdict shows at once
        fgdSTATUS->setCurrentIndex(index);
    };
    connect(fgdSTATUS, &QTableView::activated, this, openDay);
    connect(fgdSTATUS, &QTableView::doubleClicked, this, openDay);
    showMonth(month);
    fgdSTATUS->setFocus();
}

void frmSubmission::open(Store &store, const DaysOff &daysOff, const QDate &month, QWidget *parent)
{
    frmSubmission window(store, daysOff, month, parent);
    window.exec();
    ReturnFocusTo(parent);
}

void frmSubmission::showMonth(const QDate &month)
{
    const QDate first(month.year(), month.month(), 1);
    const QString from = ymdText(first), to = ymdText(first.addDays(first.daysInMonth() - 1));
    // Who, and their saved days with the days' states, in one visit of the store.
    struct Read {
        Result<TeamPeople> team;
        Result<QList<DayState>> states;
    };
    WaitCursor hourglass;
    const Read read = CallStore(this, m_store, [&] {
        Read r;
        r.team = m_store.teamPeople();
        const People people = r.team.value.lead ? People::everyone() : People{};
        r.states = m_store.dayStates({from, to, std::nullopt, people});
        return r;
    });
    hourglass.restore();
    for (const std::optional<StoreError> &error : {read.team.error, read.states.error})
        if (error) {
            MessagePresenter::show(this, caption::Submission, FailureMessage(*error, m_store.name(), msg::LoadFailed));
            break;
        }
    m_lead = read.team.value.lead;
    cmdApproveMonth->setVisible(m_lead);
    const QStringList people = read.team.value.lead ? read.team.value.names : QStringList{read.team.value.self};
    m_model->setMonth(first, people, read.states.value, m_daysOff, Clock::today());
    lblMonth->setText(QStringLiteral("%1年%2月").arg(first.year()).arg(first.month()));
    fitColumns();
    fgdSTATUS->horizontalScrollBar()->setValue(0);
    if (m_model->rowCount() > 0)
        fgdSTATUS->setCurrentIndex(m_model->index(0, SubmissionModel::FirstDay));
}

// Each column as wide as its widest text: a day's column and a count's hold a few known words, so only the
// people's names are measured one by one (a team's month is thousands of cells).
void frmSubmission::fitColumns()
{
    const QFontMetrics metrics(fgdSTATUS->font());
    const int padding = 2 * (fgdSTATUS->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, fgdSTATUS) + 1) + 1;
    const auto widest = [&metrics](const QStringList &texts) {
        int width = 0;
        for (const QString &text : texts)
            width = std::max(width, metrics.horizontalAdvance(text));
        return width;
    };
    QHeaderView *header = fgdSTATUS->horizontalHeader();
    const auto fit = [&](int column, int cells) {
        header->resizeSection(column, std::max(cells + padding, header->sectionSizeHint(column)));
    };
    QStringList names;
    for (int row = 0; row < m_model->rowCount(); ++row)
        names << m_model->index(row, SubmissionModel::Person).data().toString();
    fit(SubmissionModel::Person, widest(names));
    const int status = widest(SubmissionModel::Counted);
    for (int column = SubmissionModel::FirstDay; column < m_model->firstCount(); ++column)
        fit(column, status);
    const int count = metrics.horizontalAdvance(QStringLiteral("99"));
    for (int column = m_model->firstCount(); column < m_model->columnCount(); ++column)
        fit(column, count);
}

} // namespace worvane
